#include "screens/grading.hpp"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace kal {
namespace {

constexpr std::string_view k_letters = "ABCDEFGS";

char letter_of(int total) {
    return k_letters[static_cast<std::size_t>(grade_for(total).letter)];
}

RankTable table_of(const std::array<int, 5>& scores) {
    RankTable table{};
    for (std::size_t i = 0; i < scores.size(); ++i) {
        table[i].score = scores[i];
    }
    return table;
}

TEST(Grading, GradeFollowsTheTotalOnBothSidesOfEveryBoundary) {
    struct Case {
        int total;
        char letter;
    };
    constexpr std::array<Case, 14> cases{{{19, 'G'},
                                          {20, 'F'},
                                          {43, 'F'},
                                          {44, 'E'},
                                          {59, 'E'},
                                          {60, 'D'},
                                          {77, 'D'},
                                          {78, 'C'},
                                          {99, 'C'},
                                          {100, 'B'},
                                          {173, 'B'},
                                          {174, 'A'},
                                          {299, 'A'},
                                          {300, 'S'}}};
    for (const Case& c : cases) {
        EXPECT_EQ(letter_of(c.total), c.letter) << "total " << c.total;
    }
}

TEST(Grading, EachLetterHasItsPhraseColumnAndColour) {
    EXPECT_EQ(grade_for(404).phrase, "神の眼");
    EXPECT_EQ(grade_for(404).phrase_column, 68);
    EXPECT_EQ(grade_for(404).colour, 6);
    EXPECT_EQ(grade_for(200).phrase, "超人的な動体視力");
    EXPECT_EQ(grade_for(200).colour, 12);
    EXPECT_EQ(grade_for(30).phrase, "激ヤバかも･･･");
    EXPECT_EQ(grade_for(30).phrase_column, 64);
    EXPECT_EQ(grade_for(30).colour, 8);
    EXPECT_EQ(grade_for(16).phrase, "最悪かも･･････");
    EXPECT_EQ(grade_for(16).colour, 0);
}

TEST(Grading, TotalAddsFivePointsForEveryWholeSecondLeft) {
    EXPECT_EQ(total_score(354, 10), 404);
    EXPECT_EQ(total_score(16, 0), 16);
    EXPECT_EQ(total_score(0, 3), 15);
}

TEST(Grading, TotalTakesTheFirstPlaceWhoseScoreItReaches) {
    const RankTable defaults = table_of({150, 120, 90, 60, 30});
    struct Case {
        int total;
        int place;
    };
    constexpr std::array<Case, 8> cases{
        {{151, 1}, {150, 1}, {149, 2}, {90, 3}, {61, 4}, {31, 5}, {30, 5}, {29, 0}}};
    for (const Case& c : cases) {
        EXPECT_EQ(rank_in_place(defaults, c.total), c.place) << "total " << c.total;
    }
}

TEST(Grading, TotalBelowTheFifthPlaceOfAnUnsortedFileDoesNotRankIn) {
    EXPECT_EQ(rank_in_place(table_of({150, 20, 90, 60, 30}), 25), 0);
    EXPECT_EQ(rank_in_place(table_of({150, 20, 90, 60, 30}), 30), 2);
}

TEST(Grading, LargeNumbersShowAsTheMostTheGlyphsCanSay) {
    EXPECT_EQ(shown_seconds(9), 9);
    EXPECT_EQ(shown_seconds(99), 99);
    EXPECT_EQ(shown_seconds(100), 99);
    EXPECT_EQ(shown_total(999), 999);
    EXPECT_EQ(shown_total(1000), 999);
    EXPECT_EQ(shown_total(85), 85);
}

struct NameCase {
    std::string_view typed;
    bool taken;
    std::string_view stored;  // code page 932 bytes before the zero byte
};

TEST(Grading, NameIsTakenUpToFourteenBytesOfCodePage932) {
    const std::array<NameCase, 6> cases{{
        {"ABCDEFGHIJKLMN", true, "ABCDEFGHIJKLMN"},
        {"ABCDEFGHIJKLMNO", false, ""},
        {"あいうえおかき", true, "\x82\xa0\x82\xa2\x82\xa4\x82\xa6\x82\xa8\x82\xa9\x82\xab"},
        {"あいうえおかきく", false, ""},
        {"AB😀", false, ""},
        {"ｶﾅ", true, "\xb6\xc5"},
    }};
    for (const NameCase& c : cases) {
        RankEntry entry{30, {}};
        entry.name.fill('x');
        EXPECT_EQ(set_entry_name(c.typed, entry), c.taken) << c.typed;
        if (c.taken) {
            EXPECT_EQ(std::string(entry.name.data(), c.stored.size()), c.stored) << c.typed;
            EXPECT_EQ(entry.name[c.stored.size()], '\0') << c.typed;
        } else {
            EXPECT_EQ(std::string(entry.name.data(), 3), "xxx") << c.typed;
        }
    }
}

TEST(Grading, NameLeavesTheBytesAfterItsEndAsTheyWere) {
    RankEntry entry{30, {}};
    entry.name.fill('\0');
    std::string_view old_name = "Silverthistle";
    std::copy(old_name.begin(), old_name.end(), entry.name.begin());
    ASSERT_TRUE(set_entry_name("NAME", entry));
    EXPECT_EQ(std::string(entry.name.data(), 14), std::string("NAME\0rthistle\0", 14));
}

}  // namespace
}  // namespace kal
