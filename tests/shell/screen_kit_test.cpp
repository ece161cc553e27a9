#include "shell/screen_kit.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "console/console.hpp"
#include "game_fixture.hpp"
#include "screen_reading.hpp"
#include "shell/draw.hpp"

namespace kal::test {
namespace {

const std::string k_six_blanks(6, ' ');

class ScreenKitTest : public GameTest {
protected:
    void SetUp() override {
        GameTest::SetUp();
        reset_screen_kit();
        console.color(0, 15);
        console.cls(k_keep, k_keep);
    }
    void TearDown() override {
        reset_screen_kit();
        GameTest::TearDown();
    }

    // The digit whose glyph stands at column x around centre row y; -1 when none does.
    int glyph_at(int x, int y) {
        console.flush();
        return read_digit(sim, x, y);
    }

    // The TIME readout as it stands on the screen, "?" where no glyph is.
    std::string readout() {
        console.flush();
        return read_time(sim);
    }

    bool rows_blank(int first_row, int last_row) {
        console.flush();
        for (int y = first_row; y <= last_row; ++y) {
            if (sim.row(y) != std::string(80, ' ')) {
                return false;
            }
        }
        return true;
    }
};

TEST_F(ScreenKitTest, DigitGlyphsAreThreeRowsOfBoxDrawing) {
    struct Case {
        int digit;
        const char* rows[3];
    };
    const Case cases[] = {
        {0, {"┏━┓", "┃　┃", "┗━┛"}},   {1, {"　┫　", "　┃　", "　┻　"}}, {2, {"┏━┓", "┏━┛", "┗━┛"}},
        {3, {"　━┓", "　━┫", "　━┛"}}, {4, {"┃　┃", "┗━┫", "　　┃"}},    {5, {"┏━━", "┗━┓", "━━┛"}},
        {6, {"┏━━", "┣━┓", "┗━┛"}},    {7, {"┏━┓", "　　┃", "　　┃"}},   {8, {"┏━┓", "┣━┫", "┗━┛"}},
        {9, {"┏━┓", "┗━┫", "━━┛"}},
    };
    for (const Case& c : cases) {
        console.cls(k_keep, k_keep);
        draw_y = 7;
        draw_digit(c.digit, 20);
        console.flush();
        for (int row = 0; row < 3; ++row) {
            EXPECT_EQ(sim.text(20, 6 + row, 6), c.rows[row]) << c.digit << " row " << row + 1;
        }
        EXPECT_EQ(sim.text(20, 5, 6), k_six_blanks) << c.digit;
        EXPECT_EQ(sim.text(20, 9, 6), k_six_blanks) << c.digit;
        EXPECT_EQ(sim.text(14, 7, 6), k_six_blanks) << c.digit;
        EXPECT_EQ(sim.text(26, 7, 6), k_six_blanks) << c.digit;
    }
}

TEST_F(ScreenKitTest, DigitAtAnExplicitRowIgnoresTheSharedDrawingRow) {
    draw_y = 7;
    draw_digit_at(3, 10, 12);
    EXPECT_EQ(glyph_at(10, 12), 3);
    EXPECT_TRUE(rows_blank(1, 10));
    EXPECT_TRUE(rows_blank(14, 25));
}

TEST_F(ScreenKitTest, DigitsAreDrawnInTheCurrentColours) {
    console.color(4, 14);
    draw_digit_at(8, 30, 5);
    console.flush();
    for (const int y : {4, 5, 6}) {
        EXPECT_EQ(sim.cell(30, y).fg, 4) << y;
        EXPECT_EQ(sim.cell(30, y).bg, 14) << y;
    }
}

TEST_F(ScreenKitTest, AValueThatIsNoDigitDrawsNothing) {
    for (const int value : {-1, 10}) {
        draw_y = 12;
        draw_digit(value, 30);
        draw_digit_at(value, 30, 12);
        EXPECT_TRUE(rows_blank(1, 25)) << value;
    }
}

TEST_F(ScreenKitTest, GradeLettersAreFiveRowsOfBlocksInTheirOwnColours) {
    struct Case {
        int index;
        int fg;
        const char* rows[5];
    };
    const Case cases[] = {
        {0, 12, {"  ■■■  ", "■      ■", "■      ■", "■■■■■", "■      ■"}},
        {2, 2, {"  ■■■  ", "■      ■", "■        ", "■      ■", "  ■■■  "}},
        {5, 8, {"■■■■■", "■        ", "■■■■  ", "■        ", "■        "}},
        {6, 0, {"  ■■■■", "■        ", "■    ■■", "■      ■", "  ■■■■"}},
        {7, 6, {"  ■■■■", "■        ", "  ■■■  ", "        ■", "■■■■  "}},
    };
    for (const Case& c : cases) {
        console.color(0, 15);
        console.cls(k_keep, k_keep);
        draw_letter(c.index, 40, 12);
        console.flush();
        for (int row = 0; row < 5; ++row) {
            EXPECT_EQ(sim.text(40, 10 + row, 10), c.rows[row]) << c.index << " row " << row + 1;
        }
        // Row 4 starts with a block in every one of these letters.
        EXPECT_EQ(sim.cell(40, 13).fg, c.fg) << c.index;
        EXPECT_EQ(sim.cell(40, 13).bg, 15) << c.index;
        EXPECT_TRUE(rows_blank(1, 9)) << c.index;
        EXPECT_TRUE(rows_blank(15, 25)) << c.index;
    }
}

TEST_F(ScreenKitTest, TheBlanksOfAGradeLetterOverwriteWhatWasThere) {
    console.color(0, 15);
    for (int y = 10; y <= 14; ++y) {
        print_at(40, y, "XXXXXXXXXX");
    }
    draw_letter(3, 40, 12);
    console.flush();
    for (int y = 10; y <= 14; ++y) {
        EXPECT_EQ(sim.text(40, y, 10).find('X'), std::string::npos) << y;
    }
}

TEST_F(ScreenKitTest, AfterAGradeLetterTextIsBrightBlueOnWhite) {
    for (int index = 0; index < 8; ++index) {
        console.color(4, 0);
        draw_letter(index, 40, 12);
        print_at(1, 1, "x");
        console.flush();
        EXPECT_EQ(sim.cell(1, 1).fg, 9) << index;
        EXPECT_EQ(sim.cell(1, 1).bg, 15) << index;
    }
}

TEST_F(ScreenKitTest, LevelColoursTintTheTextByLevel) {
    struct Case {
        int level;
        int fg_scheme_fg;
        int fg_scheme_bg;
        int bg_scheme_fg;
        int bg_scheme_bg;
    };
    const Case cases[] = {
        {1, 2, 15, 15, 1}, {2, 2, 15, 15, 1},   {3, 6, 15, 15, 6},
        {4, 6, 15, 15, 6}, {5, 12, 15, 15, 12}, {6, 4, 15, 15, 4},
    };
    for (const Case& c : cases) {
        level_fg_color(c.level);
        print_at(1, 1, "x");
        level_bg_color(c.level);
        print_at(2, 1, "x");
        console.flush();
        EXPECT_EQ(sim.cell(1, 1).fg, c.fg_scheme_fg) << c.level;
        EXPECT_EQ(sim.cell(1, 1).bg, c.fg_scheme_bg) << c.level;
        EXPECT_EQ(sim.cell(2, 1).fg, c.bg_scheme_fg) << c.level;
        EXPECT_EQ(sim.cell(2, 1).bg, c.bg_scheme_bg) << c.level;
    }
}

TEST_F(ScreenKitTest, ALevelOutsideOneToSixLeavesTheColoursAsTheyAre) {
    for (const int level : {0, 7, -1}) {
        console.color(5, 3);
        level_fg_color(level);
        print_at(1, 1, "x");
        level_bg_color(level);
        print_at(2, 1, "x");
        console.flush();
        for (const int x : {1, 2}) {
            EXPECT_EQ(sim.cell(x, 1).fg, 5) << level;
            EXPECT_EQ(sim.cell(x, 1).bg, 3) << level;
        }
    }
}

TEST_F(ScreenKitTest, TheReadoutShowsTheTimeTruncatedAtEveryStep) {
    struct Case {
        float seconds;
        const char* shown;
    };
    const Case cases[] = {
        {20.0F, "20.00"}, {10.0F, "10.00"}, {5.0F, "05.00"},  {12.34F, "12.34"}, {19.999F, "19.99"},
        {9.99F, "09.98"}, {3.3F, "03.29"},  {0.7F, "00.69"},  {0.14F, "00.13"},  {0.25F, "00.25"},
        {0.0F, "00.00"},  {0.01F, "00.00"}, {0.02F, "00.01"}, {99.5F, "99.50"},
    };
    for (const Case& c : cases) {
        console.cls(k_keep, k_keep);
        draw_time(c.seconds);
        EXPECT_EQ(readout(), c.shown) << c.seconds;
    }
}

TEST_F(ScreenKitTest, ANegativeTimeReadsZero) {
    for (const float seconds : {-0.004F, -0.5F, -3.0F, -250.0F}) {
        console.cls(k_keep, k_keep);
        draw_time(seconds);
        EXPECT_EQ(readout(), "00.00") << seconds;
    }
}

TEST_F(ScreenKitTest, AHundredSecondsOrMoreHoldTheReadoutAt9999) {
    for (const float seconds : {100.0F, 100.01F, 123.45F, 300.0F, 1.0e9F}) {
        console.cls(k_keep, k_keep);
        draw_time(seconds);
        EXPECT_EQ(readout(), "99.99") << seconds;
        EXPECT_EQ(sim.cell(54, 23).fg, 0) << seconds;
        EXPECT_TRUE(rows_blank(1, 21)) << seconds;
        for (int y = 22; y <= 25; ++y) {
            EXPECT_EQ(sim.text(1, y, 53), std::string(53, ' ')) << seconds << " row " << y;
            EXPECT_EQ(sim.text(80, y, 1), " ") << seconds << " row " << y;
        }
    }
    console.cls(k_keep, k_keep);
    draw_time(std::nextafter(100.0F, 0.0F));
    EXPECT_EQ(readout(), "99.99");
}

TEST_F(ScreenKitTest, TheReadoutTurnsRedBelowTenSeconds) {
    struct Case {
        float seconds;
        int fg;
    };
    const Case cases[] = {
        {20.0F, 0},  {10.0F, 0},  {std::nextafter(10.0F, 0.0F), 12}, {9.99F, 12}, {0.0F, 12},
        {-1.0F, 12}, {150.0F, 0},
    };
    for (const Case& c : cases) {
        console.color(0, 15);
        console.cls(k_keep, k_keep);
        draw_time(c.seconds);
        console.flush();
        // A glyph corner, the caption and the point all take the readout's colour.
        for (const auto& [x, y] : {std::pair{74, 25}, {54, 22}, {66, 25}}) {
            EXPECT_EQ(sim.cell(x, y).fg, c.fg) << c.seconds << " at " << x << "," << y;
            EXPECT_EQ(sim.cell(x, y).bg, 15) << c.seconds << " at " << x << "," << y;
        }
    }
}

TEST_F(ScreenKitTest, TheReadoutHasItsCaptionAndItsPointBetweenUnitsAndTenths) {
    draw_time(12.34F);
    console.flush();
    EXPECT_EQ(sim.text(54, 22, 4), "TIME");
    EXPECT_EQ(sim.text(66, 25, 2), "．");
    EXPECT_EQ(sim.text(66, 23, 2), "  ");
    EXPECT_EQ(sim.text(66, 24, 2), "  ");
}

TEST_F(ScreenKitTest, OneTimeDigitBringsTheCaptionAndThePointWithIt) {
    draw_time_digit(7, 60);
    console.flush();
    EXPECT_EQ(glyph_at(60, 24), 7);
    EXPECT_EQ(sim.text(54, 22, 4), "TIME");
    EXPECT_EQ(sim.text(66, 25, 2), "．");
    EXPECT_EQ(sim.text(54, 23, 6), k_six_blanks);
    EXPECT_EQ(sim.text(68, 23, 12), std::string(12, ' '));
}

TEST_F(ScreenKitTest, ClearingThePanelBlanksRowsFiveToNineUpToColumn79) {
    console.color(0, 15);
    for (int y = 4; y <= 10; ++y) {
        print_at(1, y, std::string(80, 'X'));
    }
    console.color(2, 15);
    clear_panel();
    console.flush();
    for (int y = 5; y <= 9; ++y) {
        EXPECT_EQ(sim.text(1, y, 79), std::string(79, ' ')) << y;
        EXPECT_EQ(sim.text(80, y, 1), "X") << y;
        EXPECT_EQ(sim.cell(1, y).bg, 15) << y;
    }
    EXPECT_EQ(sim.row(4), std::string(80, 'X'));
    EXPECT_EQ(sim.row(10), std::string(80, 'X'));
}

}  // namespace
}  // namespace kal::test
