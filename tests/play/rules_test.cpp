#include "play/rules.hpp"

#include <gtest/gtest.h>

#include <optional>

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
