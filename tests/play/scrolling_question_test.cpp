#include "play/scrolling_question.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "play/play_state.hpp"
#include "play_fixture.hpp"

namespace kal::test {
namespace {

using ScrollingQuestionTest = PlayTest;

// The white play area as normal mode draws it.
void draw_white_screen() {
    console.cls(0, 15);
}

TEST_F(ScrollingQuestionTest, SpeedFigureChoosesTheCueThatSoundsAsTheRowStarts) {
    struct Case {
        int speed;
        const char* cue;
    };
    const Case cases[] = {{30, "-60.wav"},   {40, "-60.wav"},   {60, "-60.wav"},
                          {80, "-60.wav"},   {99, "-60.wav"},   {100, "-200.wav"},
                          {150, "-200.wav"}, {200, "-200.wav"}, {299, "-200.wav"},
                          {300, "-100.wav"}, {500, "-100.wav"}, {700, "-100.wav"},
                          {800, "-100.wav"}, {900, "-100.wav"}, {999, "-100.wav"}};
    play.stage = 1;
    play.question_no = 2;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.speed);
        sim.sim_audio().log.clear();
        draw_white_screen();

        EXPECT_EQ(run_question({2, c.speed, 4, 5}), BannerEnd::question_follows);

        for (const char* cue : {"-60.wav", "-100.wav", "-200.wav"}) {
            EXPECT_EQ(sim.sim_audio().starts_of(cue).size(), std::string(cue) == c.cue ? 1U : 0U)
                << cue;
        }
        const std::vector<std::uint64_t> count_one = sim.sim_audio().starts_of("1.wav");
        ASSERT_EQ(count_one.size(), 1U);
        EXPECT_EQ(sim.sim_audio().starts_of(c.cue)[0], count_one[0] + 930);
    }
}

TEST_F(ScrollingQuestionTest, EachTickComesDelayMillisecondsAfterItsDrawingStepColumnsOn) {
    struct Case {
        QuestionSpec question;
        std::size_t ticks;
    };
    const Case cases[] = {{{2, 30, 1, 25}, 133},
                          {{3, 40, 1, 20}, 133},
                          {{8, 100, 2, 15}, 67},
                          {{4, 500, 3, 15}, 45},
                          {{8, 999, 4, 5}, 34}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.question.step);
        draw_white_screen();
        play.digit_pool = {7, 3, 8, 0, 9, 5, 6, 2, 1, 4};
        struct Frame {
            std::uint64_t at;
            int first_digit;  // the glyph at the first digit's place, -1 for none
        };
        std::vector<Frame> frames;
        const std::uint64_t started = now();
        int x = 83;
        sim.on_wait([&](SimPlatform&) {
            frames.push_back({now(), x >= 1 && x <= 75 ? read_digit(sim, x, 7) : -1});
            x -= c.question.step;
        });

        scroll_row(c.question);

        ASSERT_EQ(frames.size(), c.ticks);
        EXPECT_EQ(now(), started + c.ticks * static_cast<std::uint64_t>(c.question.delay_ms));
        int tick_x = 83;
        for (std::size_t n = 0; n < frames.size(); ++n, tick_x -= c.question.step) {
            EXPECT_EQ(frames[n].at, started + n * static_cast<std::uint64_t>(c.question.delay_ms));
            if (tick_x >= 1 && tick_x <= 75) {
                EXPECT_EQ(frames[n].first_digit, 7) << "x " << tick_x;
            }
        }
        EXPECT_GT(tick_x + c.question.step, -50);
        EXPECT_LE(tick_x, -50);
        sim.clear_wait_looks();
    }
}

TEST_F(ScrollingQuestionTest, RowDrawsNothingOutsideTheScrollingRowsAndLeavesThemBlank) {
    for (const int step : {1, 2, 3, 4}) {
        SCOPED_TRACE(step);
        draw_white_screen();
        play.digit_pool = {5, 0, 8, 6, 9, 2, 4, 1, 3, 7};
        std::set<int> stray_rows;
        sim.on_wait([&](SimPlatform&) {
            for (const int y : {1, 2, 3, 5, 9, 11, 12, 13, 15, 16, 17, 18, 19, 20, 21, 22, 23}) {
                if (sim.row(y) != std::string(80, ' ')) {
                    stray_rows.insert(y);
                }
            }
        });

        scroll_row({8, 999, step, 5});

        EXPECT_TRUE(stray_rows.empty()) << *stray_rows.begin();
        for (const int y : {6, 7, 8}) {
            EXPECT_EQ(sim.row(y), std::string(80, ' ')) << "row " << y;
        }
        EXPECT_EQ(sim.text(24, 14, 32), "-上の数字に無い物を選んで下さい-");
        EXPECT_EQ(sim.cell(1, 4).bg, 1);
        EXPECT_EQ(sim.cell(80, 10).bg, 1);
        sim.clear_wait_looks();
    }
}

TEST_F(ScrollingQuestionTest, CandidatesAreTheScrolledDigitsAndTheOneThatDidNotScroll) {
    for (unsigned seed = 1; seed <= 60; ++seed) {
        std::srand(seed);
        for (int digits = 2; digits <= 8; ++digits) {
            SCOPED_TRACE(testing::Message() << "seed " << seed << ", digits " << digits);
            shuffle_pool();
            const DigitRow scrolled = play.row_copy;

            const int missing = show_candidates(digits);
            console.flush();

            EXPECT_EQ(missing, scrolled[static_cast<std::size_t>(digits)]);
            std::vector<int> shown;
            for (int k = 0; k <= digits; ++k) {
                shown.push_back(read_digit(sim, 37 - 3 * digits + 6 * k, 17));
            }
            std::vector<int> expected(scrolled.begin(), scrolled.begin() + digits + 1);
            std::sort(shown.begin(), shown.end());
            std::sort(expected.begin(), expected.end());
            EXPECT_EQ(shown, expected);
            DigitRow pool = play.digit_pool;
            std::sort(pool.begin(), pool.end());
            EXPECT_EQ(pool, (DigitRow{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
        }
    }
}

}  // namespace
}  // namespace kal::test
