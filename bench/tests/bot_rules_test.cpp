#include "bot_rules.hpp"

#include <gtest/gtest.h>

#include <string>

namespace kal::bench {
namespace {

const std::string k_instruction = "-上の数字に無い物を選んで下さい-";

TEST(BotRules, ARowTakesTheTicksFromColumn83ToBeyondMinus50) {
    struct Case {
        int step;
        int ticks;
    };
    for (const Case c : {Case{1, 133}, {2, 67}, {3, 45}, {4, 34}}) {
        EXPECT_EQ(ticks_per_question(c.step), c.ticks) << c.step;
    }
}

TEST(BotRules, TheCandidateRowIsCentredAndTheCountsShortenByLevel) {
    EXPECT_EQ(candidate_column(2), 31);
    EXPECT_EQ(candidate_column(8), 13);
    EXPECT_EQ(count_ms(1), 930);
    EXPECT_EQ(count_ms(6), 580);
}

TEST(BotRules, ScrollTicksAreTheFramesThatRedrawTheInstructionWithoutClearing) {
    struct Case {
        std::string frame;
        int ticks;
    };
    const Case cases[] = {
        {"\x1b[10;1H    \x1b[14;24H" + k_instruction, 1},
        {"\x1b[14;24H" + k_instruction + "\x1b[14;24H" + k_instruction, 2},
        {"\x1b[2J\x1b[14;24H" + k_instruction, 0},  // the play screen being drawn
        {"\x1b[22;54HTIME", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(scroll_ticks_in(c.frame), c.ticks) << c.frame;
        EXPECT_EQ(is_scroll_tick(c.frame), c.ticks > 0);
    }
    EXPECT_TRUE(is_announcement("\x1b[7;27Hソクド"));
    EXPECT_FALSE(is_announcement(k_instruction));
}

TEST(BotRules, TheCandidateToPickIsTheOnlyOneThatDidNotScroll) {
    struct Case {
        std::vector<int> candidates;
        std::set<int> scrolled;
        std::optional<int> pick;
    };
    const Case cases[] = {
        {{4, 7, 1}, {1, 4}, 1},
        {{0, 5, 9, 3}, {9, 3, 5}, 0},
        {{4, 7, 1}, {1, 4, 7}, std::nullopt},  // every candidate scrolled
        {{4, 7, 1}, {1}, std::nullopt},        // two did not: the row was misread
        {{4, -1, 1}, {1, 4}, std::nullopt},    // a candidate could not be read
    };
    for (const Case& c : cases) {
        EXPECT_EQ(missing_candidate(c.candidates, c.scrolled), c.pick);
    }
}

}  // namespace
}  // namespace kal::bench
