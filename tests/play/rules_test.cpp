#include "play/rules.hpp"

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>

#include "play/play_state.hpp"

namespace kal {
namespace {

TEST(Rules, TimeBonusFollowsTheReactionOnBothSidesOfEveryBand) {
    struct Case {
        std::uint64_t reaction_ms;
        int seconds;  // 0: no bonus
    };
    // 1200 ms is read as a float just above 1.2 and 2300 ms just below 2.3.
    constexpr Case cases[] = {{0, 7},    {499, 7},  {500, 3},  {1199, 3}, {1200, 2},
                              {2300, 2}, {2301, 1}, {3999, 1}, {4000, 0}, {60000, 0}};
    for (const Case& c : cases) {
        const std::optional<std::size_t> band = bonus_band_for(c.reaction_ms);
        EXPECT_EQ(band ? k_bonus_bands[*band].seconds : 0, c.seconds) << c.reaction_ms << " ms";
    }
}

TEST(Rules, ARightAnswerScoresByItsLevelAndPutsItsBonusOnTheClock) {
    struct Case {
        int level;
        std::uint64_t reaction_ms;
        float seconds_left;
        int points;
        std::optional<std::size_t> band;
        float shown;      // the clock after the judgement
        float time_left;  // the clock the next question starts from, 15 before
    };
    const Case cases[] = {
        {1, 0, 12.5F, 4, 0, 19.5F, 22.0F},
        {3, 1200, 8.25F, 6, 2, 10.25F, 17.0F},
        {5, 3999, 0.5F, 9, 3, 1.5F, 16.0F},
        {6, 4000, 12.5F, 18, std::nullopt, 12.5F, 15.0F},
        {2, 60000, 3.0F, 4, std::nullopt, 3.0F, 15.0F},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.level);
        PlayState state;
        state.level = c.level;
        state.score = 10;
        state.time_left = 15.0F;
        state.whole_seconds_left = 12;
        const Judgement judged = judge_right_answer(state, c.seconds_left, c.reaction_ms);
        EXPECT_EQ(judged.bonus_band, c.band);
        EXPECT_FLOAT_EQ(judged.seconds_left, c.shown);
        EXPECT_FALSE(judged.clock_ran_out());
        EXPECT_FLOAT_EQ(state.time_left, c.time_left);
        EXPECT_EQ(state.score, 10 + c.points);
        std::array<int, 7> correct{};
        correct[static_cast<std::size_t>(c.level)] = 1;
        EXPECT_EQ(state.correct_by_level, correct);
        EXPECT_EQ(state.whole_seconds_left, 12) << "the bonus does not count for the result";
    }
}

TEST(Rules, AWrongAnswerTakesThePenaltyOffTheClockAndEndsTheGameWhenNothingIsLeft) {
    struct Case {
        float seconds_left;
        float shown;
        bool ran_out;
    };
    constexpr Case cases[] = {
        {10.5F, 7.5F, false}, {3.25F, 0.25F, false}, {3.0F, 0.0F, true}, {1.0F, -2.0F, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.seconds_left);
        PlayState state;
        state.score = 10;
        state.time_left = 15.0F;
        state.whole_seconds_left = static_cast<int>(c.seconds_left);
        const Judgement judged = judge_wrong_answer(state, c.seconds_left);
        EXPECT_EQ(judged.bonus_band, std::nullopt);
        EXPECT_FLOAT_EQ(judged.seconds_left, c.shown);
        EXPECT_EQ(judged.clock_ran_out(), c.ran_out);
        EXPECT_FLOAT_EQ(state.time_left, 12.0F);
        EXPECT_EQ(state.whole_seconds_left, static_cast<int>(c.seconds_left) - 3);
        EXPECT_EQ(state.score, 10);
        EXPECT_EQ(state.correct_by_level, (std::array<int, 7>{}));
    }
}

// The answer screen and the tutorial show these labels, built from the bands and the penalty.
TEST(Rules, BonusAndPenaltyReadAsThePlayerIsToldThem) {
    constexpr std::array<const char*, k_bonus_bands.size()> labels{
        "Excellent! +7sec", "Marvelous +3sec", "Great +2sec", "Good +1sec"};
    for (std::size_t band = 0; band < k_bonus_bands.size(); ++band) {
        EXPECT_EQ(bonus_label(k_bonus_bands[band]), labels[band]) << "band " << band;
    }
    EXPECT_EQ(penalty_label(), "Penalty! Time -3sec");
}

TEST(Rules, LevelRisesAtTheFirstQuestionOfEveryLevelAfterTheFirst) {
    for (int question = 1; question <= k_question_count + 1; ++question) {
        const bool first_of_later_level =
            question == 7 || question == 13 || question == 19 || question == 25 || question == 31;
        EXPECT_EQ(level_rises_at(question), first_of_later_level) << "question " << question;
    }
}

TEST(Rules, LevelOfEveryQuestionOnBothSidesOfEachRise) {
    struct Case {
        int question;
        int level;
    };
    constexpr Case cases[] = {{1, 1},  {6, 1},  {7, 2},  {12, 2}, {13, 3}, {18, 3}, {19, 4},
                              {24, 4}, {25, 5}, {30, 5}, {31, 6}, {40, 6}, {41, 6}};
    for (const Case& c : cases) {
        EXPECT_EQ(level_of_question(c.question), c.level) << "question " << c.question;
    }
}

}  // namespace
}  // namespace kal
