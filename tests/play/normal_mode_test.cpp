#include "play/normal_mode.hpp"

#include <gtest/gtest.h>

#include <algorithm>

#include "play/play_state.hpp"
#include "play_fixture.hpp"

namespace kal::test {
namespace {

using NormalModeTest = PlayTest;

// The clock the player should have at the last confirmation: 20 seconds, 7 for each of the
// first 39 answers, less the time spent answering.
int expected_whole_seconds(const std::vector<Turn>& turns,
                           const std::vector<std::uint64_t>& confirms) {
    double left = 20.0 + 7.0 * static_cast<double>(turns.size() - 1);
    for (std::size_t i = 0; i < turns.size(); ++i) {
        left -= static_cast<double>(confirms[i] - turns[i].cursor_ms) / 1000.0;
    }
    return static_cast<int>(left);
}

TEST_F(NormalModeTest, PerfectGameEndsInTheAllClearWithAllPointsAndTheTimeLeft) {
    PlayBot& bot = add_bot(answer_right);
    std::vector<Sighting> all_clear{{28, 7, "オールステージ　クリア！"}};
    watch_for(all_clear);

    EXPECT_EQ(start_normal_mode(), Screen::result);

    ASSERT_EQ(bot.turns.size(), 40U);
    EXPECT_EQ(play.score, 354);
    EXPECT_EQ(play.correct_by_level, (std::array<int, 7>{0, 6, 6, 6, 6, 6, 10}));
    const std::vector<std::uint64_t> confirms = sim.sim_audio().starts_of("kettei.wav");
    ASSERT_EQ(confirms.size(), 40U);
    for (std::size_t i = 0; i < confirms.size(); ++i) {
        EXPECT_LT(confirms[i] - bot.turns[i].cursor_ms, 500U) << "question " << i + 1;
    }
    EXPECT_EQ(play.whole_seconds_left, expected_whole_seconds(bot.turns, confirms));
    EXPECT_TRUE(all_clear[0].seen);
    EXPECT_EQ(all_clear[0].fg, 12);
    EXPECT_EQ(sim.sim_audio().count(AudioEvent::Kind::start, "kuria.wav"), 5U + 3U * 5U);
    EXPECT_EQ(read_digit(sim, 9, 24), 1);
    EXPECT_EQ(read_digit(sim, 15, 24), 0);
}

TEST_F(NormalModeTest, MissingDigitIsNeverAmongTheScrolledOnes) {
    for (const unsigned seed : {2U, 3U, 4U}) {
        SCOPED_TRACE(seed);
        std::srand(seed);
        PlayBot bot(sim, answer_right);
        sim.on_wait([&bot](SimPlatform&) { bot.look(); });
        start_normal_mode();
        ASSERT_EQ(bot.turns.size(), 40U);
        for (const Turn& turn : bot.turns) {
            ASSERT_EQ(turn.candidates.size(), turn.scrolled.size() + 1);
            EXPECT_GE(turn.missing_index(), 0);
        }
        sim.clear_wait_looks();
    }
}

TEST_F(NormalModeTest, UnansweredGameRunsOutTwentySecondsAfterTheFirstAnswerPhaseStarts) {
    PlayBot& bot = add_bot([](const Turn&) { return std::optional<Choice>{}; });
    std::vector<Sighting> over{{34, 12, "タイムオーバー"}};
    watch_for(over);

    EXPECT_EQ(start_normal_mode(), Screen::result);

    ASSERT_EQ(bot.turns.size(), 1U);
    const std::uint64_t t0 = bot.turns[0].cursor_ms;
    EXPECT_EQ(sim.sim_audio().starts_of("over.wav"), std::vector<std::uint64_t>{t0 + 20000});
    EXPECT_EQ(over[0].first_ms, t0 + 20000);
    EXPECT_EQ(over[0].fg, 12);
    EXPECT_EQ(now(), t0 + 20000 + 15 * 500);
    EXPECT_EQ(play.whole_seconds_left, 0);
    EXPECT_EQ(read_time(sim), "00.00");
}

TEST_F(NormalModeTest, ClockRunningOutWhileAnArrowIsHeldEndsTheGame) {
    PlayBot& bot = add_bot([this](const Turn& turn) {
        sim.press(k_key_right, turn.cursor_ms + 10);
        sim.release(k_key_right, turn.cursor_ms + 30000);
        return std::optional<Choice>{};
    });

    EXPECT_EQ(start_normal_mode(), Screen::result);

    ASSERT_EQ(bot.turns.size(), 1U);
    // The held key is polled every millisecond; the pass after the clock reads zero ends it.
    EXPECT_EQ(sim.sim_audio().starts_of("over.wav"),
              std::vector<std::uint64_t>{bot.turns[0].cursor_ms + 20001});
    EXPECT_EQ(play.whole_seconds_left, 0);
}

TEST_F(NormalModeTest, TimeOnVerdictBannersCountdownAndScrollingIsNotCharged) {
    struct Case {
        std::uint64_t reaction_ms;
        const char* readout_at_second_question;
    };
    for (const Case c : {Case{4500, "15.50"}, Case{500, "22.50"}, Case{3999, "17.00"}}) {
        SCOPED_TRACE(c.reaction_ms);
        reset_play_state();
        sim.sim_audio().log.clear();
        PlayBot bot(sim, [&c](const Turn& turn) -> std::optional<Choice> {
            if (turn.candidates.size() == 3) {  // the first question has two digits
                return Choice{turn.missing_index(), c.reaction_ms};
            }
            return std::nullopt;
        });
        sim.on_wait([&bot](SimPlatform&) { bot.look(); });
        start_normal_mode();
        ASSERT_EQ(bot.turns.size(), 2U);
        EXPECT_GT(bot.turns[1].cursor_ms - bot.turns[0].cursor_ms, c.reaction_ms + 8000);
        EXPECT_EQ(bot.turns[1].readout, c.readout_at_second_question);
        sim.clear_wait_looks();
    }
}

TEST_F(NormalModeTest, WrongAnswerWithThreeSecondsOrLessLeftEndsTheGame) {
    struct Case {
        std::uint64_t reaction_ms;
        bool game_ends_there;
    };
    for (const Case c : {Case{17000, true}, Case{18500, true}, Case{16990, false}}) {
        SCOPED_TRACE(c.reaction_ms);
        reset_play_state();
        sim.sim_audio().log.clear();
        std::vector<std::string> readouts_after_penalty;
        PlayBot bot(sim, [&c](const Turn& turn) -> std::optional<Choice> {
            if (turn.candidates.size() != 3) {
                return std::nullopt;
            }
            const int wrong = turn.missing_index() == 0 ? 1 : 0;
            return Choice{wrong, c.reaction_ms};
        });
        sim.on_wait([&bot](SimPlatform&) { bot.look(); });
        sim.on_wait([this, &readouts_after_penalty](SimPlatform&) {
            if (sim.text(60, 22, 19) == "Penalty! Time -3sec") {
                readouts_after_penalty.push_back(read_time(sim));
            }
        });

        EXPECT_EQ(start_normal_mode(), Screen::result);

        const std::vector<std::uint64_t> confirms = sim.sim_audio().starts_of("kettei.wav");
        ASSERT_EQ(confirms.size(), 1U);
        ASSERT_FALSE(readouts_after_penalty.empty());
        EXPECT_EQ(readouts_after_penalty.back(), "00.00");
        const std::vector<std::uint64_t> over = sim.sim_audio().starts_of("over.wav");
        ASSERT_EQ(over.size(), 1U);
        if (c.game_ends_there) {
            EXPECT_EQ(bot.turns.size(), 1U);
            EXPECT_EQ(over[0], confirms[0] + 3000);
            EXPECT_EQ(sim.text(37, 22, 6), "間違い");
        } else {
            ASSERT_EQ(bot.turns.size(), 2U);
            EXPECT_GT(over[0], bot.turns[1].cursor_ms);
        }
        EXPECT_EQ(play.whole_seconds_left, 0);
        sim.clear_wait_looks();
    }
}

TEST_F(NormalModeTest, LiveVoicesStayFewThroughAWholeGame) {
    add_bot(answer_right);
    std::size_t most = 0;
    sim.on_wait(
        [this, &most](SimPlatform&) { most = std::max(most, sim.sim_audio().live.size()); });
    start_normal_mode();
    EXPECT_LE(most, 12U);
    EXPECT_GE(most, 4U);
}

TEST_F(NormalModeTest, SecondGameOpensAgainFromTwentySeconds) {
    PlayBot& bot = add_bot([](const Turn&) { return std::optional<Choice>{}; });
    start_normal_mode();
    start_normal_mode();
    ASSERT_EQ(bot.turns.size(), 2U);
    EXPECT_EQ(bot.turns[1].readout, "20.00");
    EXPECT_EQ(sim.sim_audio().count(AudioEvent::Kind::start, "start.wav"), 2U);
}

}  // namespace
}  // namespace kal::test
