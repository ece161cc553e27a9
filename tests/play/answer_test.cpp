#include "play/answer.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "auto_repeat.hpp"
#include "play/play_state.hpp"
#include "play/scrolling_question.hpp"
#include "play_fixture.hpp"

namespace kal::test {
namespace {

class AnswerTest : public PlayTest {
protected:
    // A first question of level 1 with its candidates on the screen.
    void set_up_question(int digits) {
        console.cls(0, 15);
        play.question_no = 1;
        play.level = 1;
        play.stage = 1;
        digits_ = digits;
        shuffle_pool();
        missing_ = show_candidates(digits);
        const auto* at = std::find(play.digit_pool.begin(), play.digit_pool.end(), missing_);
        missing_index_ = static_cast<int>(at - play.digit_pool.begin());
    }

    [[nodiscard]] int wrong_index() const { return missing_index_ == 0 ? 1 : 0; }

    std::optional<Answer> answer() { return choose_answer(digits_); }

    Judged judge(const Answer& given) { return judge_answer(given, missing_, digits_); }

    int digits_ = 0;
    int missing_ = -1;
    int missing_index_ = -1;
};

TEST_F(AnswerTest, ReactionTimeChoosesTheTimeBonus) {
    struct Case {
        std::uint64_t reaction_ms;
        const char* text;  // nullptr: no bonus
        int x;
        int fg;
        int seconds;
        int whole_seconds_left;  // the bonus does not count here
    };
    const Case cases[] = {
        {499, "Excellent! +7sec", 61, 13, 7, 19}, {500, "Marvelous +3sec", 62, 10, 3, 19},
        {1199, "Marvelous +3sec", 62, 10, 3, 18}, {1200, "Great +2sec", 61, 6, 2, 18},
        {2300, "Great +2sec", 61, 6, 2, 17},      {2301, "Good +1sec", 64, 9, 1, 17},
        {3999, "Good +1sec", 64, 9, 1, 16},       {4000, nullptr, 0, 0, 0, 16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reaction_ms);
        reset_play_state();
        set_up_question(4);
        std::set<std::string> verdict_texts;
        std::vector<Sighting> bonus{{c.x, 22, c.text == nullptr ? "" : c.text}};
        sim.clear_wait_looks();
        watch_for(bonus);
        sim.on_wait([&](SimPlatform&) { verdict_texts.insert(sim.text(60, 22, 20)); });
        script_answer(sim, now(), missing_index_, c.reaction_ms);

        const std::optional<Answer> given = answer();
        ASSERT_TRUE(given);
        EXPECT_EQ(given->reaction_ms, c.reaction_ms);
        EXPECT_EQ(judge(*given), Judged::next_question);
        console.flush();

        EXPECT_EQ(play.time_left, 20.0F + static_cast<float>(c.seconds));
        EXPECT_EQ(play.whole_seconds_left, c.whole_seconds_left);
        if (c.text != nullptr) {
            EXPECT_TRUE(bonus[0].seen);
            EXPECT_EQ(bonus[0].fg, c.fg);
            EXPECT_EQ(bonus[0].bg, 15);
        } else {
            EXPECT_EQ(verdict_texts, std::set<std::string>{std::string(20, ' ')});
        }
        EXPECT_EQ(sim.text(60, 22, 20), std::string(20, ' '));
    }
}

TEST_F(AnswerTest, CorrectAnswerScoresByLevelAndTidiesTheScreen) {
    struct Case {
        int level;
        int points;
    };
    for (const Case c : {Case{1, 4}, Case{2, 4}, Case{3, 6}, Case{4, 6}, Case{5, 9}, Case{6, 18}}) {
        SCOPED_TRACE(c.level);
        reset_play_state();
        set_up_question(3);
        play.level = c.level;
        play.score = 100;
        std::vector<Sighting> verdict{{38, 22, "正解"}};
        sim.clear_wait_looks();
        watch_for(verdict);
        script_answer(sim, now(), missing_index_, 300);

        EXPECT_EQ(judge(*answer()), Judged::next_question);
        console.flush();
        console.flush();

        EXPECT_EQ(play.score, 100 + c.points);
        EXPECT_EQ(play.correct_by_level[static_cast<std::size_t>(c.level)], 1);
        EXPECT_EQ(verdict[0].fg, 9);
        EXPECT_EQ(sim.text(1, 3, 9), "SCORE:" + std::to_string(100 + c.points));
        for (const int y : {6, 7, 8, 16, 17, 18, 22}) {
            EXPECT_EQ(as_read(sim.text(1, y, 52)), std::string(52, ' ')) << "row " << y;
        }
        for (const int y : {15, 19}) {
            EXPECT_EQ(sim.row(y), std::string(80, ' ')) << "row " << y;
            EXPECT_EQ(sim.cell(40, y).bg, 7);
        }
    }
}

TEST_F(AnswerTest, WrongChoiceShowsInRedWhereItScrolledAndCostsThreeSeconds) {
    set_up_question(5);
    const int chosen = play.digit_pool[static_cast<std::size_t>(wrong_index())];
    std::vector<Sighting> seen{{37, 22, "間違い"}, {60, 22, "Penalty! Time -3sec"}};
    std::vector<int> row_colours;
    sim.on_wait([&](SimPlatform&) {
        if (row_colours.empty() && read_digit(sim, 25, 7) >= 0) {
            for (int i = 0; i < 5; ++i) {
                row_colours.push_back(sim.cell(25 + 6 * i, 6).fg);
            }
        }
    });
    watch_for(seen);
    script_answer(sim, now(), wrong_index(), 2000);

    EXPECT_EQ(judge(*answer()), Judged::next_question);
    console.flush();

    ASSERT_EQ(row_colours.size(), 5U);
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(row_colours[i], play.row_copy[i] == chosen ? 12 : 9) << i;
    }
    EXPECT_EQ(sim.sim_audio().starts_of("hazure0.wav").size(), 1U);
    EXPECT_EQ(seen[0].fg, 12);
    EXPECT_EQ(seen[1].fg, 12);
    EXPECT_EQ(play.score, 0);
    EXPECT_EQ(play.time_left, 17.0F);
    EXPECT_EQ(play.whole_seconds_left, 18 - 3);
}

TEST_F(AnswerTest, SpaceStillHeldConfirmsAtOnceOnTheLeftmostCandidate) {
    set_up_question(2);
    sim.press(k_key_space, now());
    const std::uint64_t started = now();

    const std::optional<Answer> given = answer();
    console.flush();

    ASSERT_TRUE(given);
    EXPECT_EQ(given->index, 0);
    EXPECT_EQ(given->reaction_ms, 0U);
    EXPECT_EQ(now(), started);
    EXPECT_EQ(sim.text(33, 19, 2), "▲");
    EXPECT_EQ(sim.text(33, 15, 2), "▼");
    EXPECT_EQ(sim.cell(33, 19).fg, 0);
}

TEST_F(AnswerTest, HoldingAnArrowMovesTheCursorOnePlaceWhileTheClockRuns) {
    set_up_question(4);
    std::vector<std::string> readouts;
    sim.on_wait([&](SimPlatform&) { readouts.push_back(read_time(sim)); });
    const std::uint64_t t0 = now();
    sim.press(k_key_right, t0 + 10);
    sim.release(k_key_right, t0 + 2010);
    sim.tap(k_key_space, t0 + 2100, 10);

    const std::optional<Answer> given = answer();
    console.flush();

    ASSERT_TRUE(given);
    EXPECT_EQ(given->index, 1);
    EXPECT_EQ(sim.sim_audio().starts_of("kasoru.wav"), std::vector<std::uint64_t>{t0 + 10});
    EXPECT_EQ(sim.text(33, 19, 2), "▲");
    EXPECT_EQ(as_read(sim.text(27, 19, 2)), "  ");
    EXPECT_NE(std::find(readouts.begin(), readouts.end(), "19.00"), readouts.end());
}

// Wherever in the readout's 10 ms pass an arrow comes, the cursor steps as it comes, and the
// readout keeps its pace.
TEST_F(AnswerTest, TheCursorStepsAsTheArrowComesWhereverInThePass) {
    for (const std::uint64_t offset : {1, 4, 7, 9}) {
        SCOPED_TRACE(offset);
        reset_play_state();
        sim.sim_audio().log.clear();
        set_up_question(4);
        const std::uint64_t pressed = now() + 200 + offset;
        sim.tap(k_key_right, pressed, 30);
        sim.tap(k_key_space, pressed + 300, 30);

        const std::optional<Answer> given = answer();

        ASSERT_TRUE(given);
        EXPECT_EQ(given->index, 1);
        EXPECT_EQ(sim.sim_audio().starts_of("kasoru.wav"), std::vector<std::uint64_t>{pressed});
        console.wait(100);  // SPACE comes up before the next question
    }
}

// Four seconds with the terminal too small, the notice over the screen: the readout goes on
// from where it stood, and the reaction time leaves those seconds out.
TEST_F(AnswerTest, TheClockStandsStillWhileTheNoticeCoversTheScreen) {
    if (on_system_console()) {
        GTEST_SKIP() << "the notice of a terminal too small for the game";
    }
    set_up_question(4);
    const std::uint64_t t0 = now();
    std::string before_shrinking;
    std::string after_growing;
    bool shrunk = false;
    bool grown = false;
    sim.on_wait([&](SimPlatform& s) {
        if (!shrunk && s.now_ms() >= t0 + 1000) {
            before_shrinking = read_time(s);
            s.resize(40, 10);
            shrunk = true;
        } else if (shrunk && !grown && s.now_ms() >= t0 + 5000) {
            s.resize(80, 25);
            grown = true;
        } else if (grown && after_growing.empty() && s.now_ms() >= t0 + 5100) {
            after_growing = read_time(s);
        }
    });
    sim.tap(k_key_space, t0 + 6000, 10);

    const std::optional<Answer> given = answer();

    ASSERT_TRUE(given);
    EXPECT_EQ(before_shrinking, "19.00");
    EXPECT_EQ(after_growing, "18.89");  // 1.1 s played, as the readout truncates it
    EXPECT_EQ(given->reaction_ms, 2000U);
}

// On every kind of terminal and with every auto-repeat setting: a hold of 1.5 s is one place,
// two taps however close are two.
TEST_F(AnswerTest, AHoldIsOnePlaceAndTwoTapsAreTwoWhateverTheAutoRepeat) {
    if (on_system_console()) {
        GTEST_SKIP() << "a terminal's key bytes; the console gives key events";
    }
    struct Case {
        std::string what;
        std::vector<std::pair<std::uint64_t, std::uint64_t>> strokes;  // Right: at, held
        int index;
    };
    std::vector<Case> cases{{"a hold of 1.5 s", {{0, 1500}}, 1}};
    for (const std::uint64_t gap : {40, 60, 90, 130, 200, 300, 600}) {
        cases.push_back({"two taps " + std::to_string(gap) + " ms apart", {{0, 30}, {gap, 30}}, 2});
    }
    for (const Case& c : cases) {
        for (const bool kitty : {false, true}) {
            for (const auto& [delay, interval] : k_auto_repeat_profiles) {
                SCOPED_TRACE(c.what + (kitty ? ", kitty" : ", releases inferred") + ", repeat " +
                             std::to_string(delay) + "/" + std::to_string(interval));
                console.attach(sim, sim.terminal());
                reset_play_state();
                sim.set_kitty(kitty);
                sim.set_auto_repeat(delay, interval);
                console.set_traits({AmbiguousWidth::narrow, kitty, false});
                set_up_question(4);
                const std::uint64_t t0 = now() + 20;
                for (const auto& [at, held] : c.strokes) {
                    sim.tap(k_key_right, t0 + at, held);
                }
                sim.tap(k_key_space, t0 + 2000, 30);
                const std::optional<Answer> given = answer();
                ASSERT_TRUE(given);
                EXPECT_EQ(given->index, c.index);
            }
        }
    }
}

TEST_F(AnswerTest, ArrowsStopAtTheEndsWithoutASound) {
    set_up_question(3);
    const std::uint64_t t0 = now();
    sim.tap(k_key_left, t0 + 10, 10);
    for (std::uint64_t i = 0; i < 5; ++i) {
        sim.tap(k_key_right, t0 + 40 + 30 * i, 10);
    }
    sim.tap(k_key_space, t0 + 300, 10);

    const std::optional<Answer> given = answer();
    console.flush();

    ASSERT_TRUE(given);
    EXPECT_EQ(given->index, 3);
    EXPECT_EQ(sim.sim_audio().starts_of("kasoru.wav").size(), 3U);
    EXPECT_EQ(sim.text(30 + 18, 19, 2), "▲");
}

TEST_F(AnswerTest, SpaceWithAnArrowConfirmsAtTheNewPlace) {
    set_up_question(6);
    const std::uint64_t t0 = now();
    sim.tap(k_key_right, t0 + 20, 10);
    sim.tap(k_key_space, t0 + 20, 50);

    const std::optional<Answer> given = answer();
    console.flush();

    ASSERT_TRUE(given);
    EXPECT_EQ(given->index, 1);
    // Confirmed in the pass that moved: the clock was last read while Right was still held.
    EXPECT_EQ(given->reaction_ms, 29U);
}

TEST_F(AnswerTest, AnArrowAndSpaceInOneReadBothCountInTheOrderTheyCame) {
    if (on_system_console()) {
        GTEST_SKIP() << "a terminal's key sequences in one read; the console gives key events";
    }
    struct Later {
        std::uint64_t after_ms;
        const char* bytes;
    };
    struct Case {
        const char* what;
        bool kitty;
        const char* together;  // written in one piece
        std::vector<Later> later;
        int index;
    };
    const Case cases[] = {
        {"Right then Space", false, "\x1b[C ", {}, 1},
        {"Right then Space, application form", false, "\x1bOC ", {}, 1},
        // An arrow pressed together with Space moves first, whichever came first.
        {"Space then Right", false, " \x1b[C", {}, 1},
        {"Right, Left, then Space", false, "\x1b[C\x1b[D ", {}, 0},
        {"kitty: Right then Space, Space let go first",
         true,
         "\x1b[C\x1b[32u",
         {{40, "\x1b[32;1:3u"}, {60, "\x1b[1;1:3C"}},
         1},
        {"kitty: both tapped within one read",
         true,
         "\x1b[C\x1b[32u\x1b[1;1:3C\x1b[32;1:3u",
         {},
         1},
        {"kitty: Space then Right", true, "\x1b[32u\x1b[C", {{60, "\x1b[32;1:3u\x1b[1;1:3C"}}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        console.attach(sim, sim.terminal());
        reset_play_state();
        sim.set_kitty(c.kitty);
        console.set_traits({AmbiguousWidth::narrow, c.kitty, false});
        set_up_question(4);
        const std::uint64_t t0 = now();
        sim.send(c.together, t0 + 20);
        for (const Later& later : c.later) {
            sim.send(later.bytes, t0 + 20 + later.after_ms);
        }
        // Should the keys be lost, the clock runs out and there is no answer.
        const std::optional<Answer> given = answer();
        ASSERT_TRUE(given);
        EXPECT_EQ(given->index, c.index);
        EXPECT_LT(given->reaction_ms, 300U);
    }
}

}  // namespace
}  // namespace kal::test
