#include "console/console.hpp"

#include <gtest/gtest.h>

#include "game_fixture.hpp"

namespace kal::test {
namespace {

class ConsoleTest : public GameTest {
protected:
    // The bytes the console writes for one call, flushed.
    template <typename Call>
    std::string bytes_of(Call call) {
        console.flush();
        const std::size_t before = sim.written.size();
        call();
        console.flush();
        return sim.written.substr(before);
    }
};

TEST_F(ConsoleTest, ColourPairsWriteResetForegroundBackgroundWithBrightCodes) {
    struct Case {
        int fg;
        int bg;
        const char* expected;
    };
    const Case cases[] = {
        {15, 0, "\x1b[0;97;40m"},  {12, 15, "\x1b[0;91;107m"}, {1, 7, "\x1b[0;34;47m"},
        {0, 15, "\x1b[0;30;107m"}, {9, 15, "\x1b[0;94;107m"},  {6, 14, "\x1b[0;33;103m"},
        {4, 12, "\x1b[0;31;101m"}, {8, 7, "\x1b[0;90;47m"},    {3, 5, "\x1b[0;36;45m"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(bytes_of([&] { console.color(c.fg, c.bg); }), c.expected) << c.fg << "/" << c.bg;
    }
}

TEST_F(ConsoleTest, SixteenKeepsAColourAndTwoSixteensWriteNothing) {
    console.color(15, 0);
    EXPECT_EQ(bytes_of([] { console.color(16, 16); }), "");
    EXPECT_EQ(bytes_of([] { console.color(16, 4); }), "\x1b[0;97;41m");
    EXPECT_EQ(bytes_of([] { console.bgcolor(15); }), "\x1b[0;97;107m");
    EXPECT_EQ(bytes_of([] { console.color(0, 16); }), "\x1b[0;30;107m");
    EXPECT_EQ(console.fg(), 0);
    EXPECT_EQ(console.bg(), 15);
}

TEST_F(ConsoleTest, ClsClearsWithoutPositioning) {
    EXPECT_EQ(bytes_of([] { console.cls(16, 16); }), "\x1b[2J");
    EXPECT_EQ(bytes_of([] { console.cls(0, 15); }), "\x1b[0;30;107m\x1b[2J");
}

TEST_F(ConsoleTest, ClsPaintsTheWholeScreenInTheColoursJustSet) {
    console.color(0, 15);
    console.cls(16, 16);
    console.flush();
    for (const auto& [x, y] : {std::pair{1, 1}, {80, 1}, {40, 13}, {1, 25}, {80, 25}}) {
        EXPECT_EQ(sim.cell(x, y).bg, 15) << x << "," << y;
    }
}

TEST_F(ConsoleTest, LocateWritesRowThenColumn) {
    EXPECT_EQ(bytes_of([] { console.locate(34, 12); }), "\x1b[12;34H");
    EXPECT_EQ(bytes_of([] { console.locate(1, 1); }), "\x1b[1;1H");
}

TEST_F(ConsoleTest, CursorSizeChangesOnlyWithinOneToNinetyNine) {
    EXPECT_EQ(console.cursor_info().size, 8U);
    EXPECT_TRUE(console.cursor_info().visible);
    struct Case {
        std::uint32_t size;
        std::uint32_t expected;
    };
    for (const Case c : {Case{0, 8}, {99, 99}, {100, 99}, {1, 1}, {50, 50}}) {
        console.set_cursor(true, c.size);
        EXPECT_EQ(console.cursor_info().size, c.expected) << c.size;
    }
    EXPECT_EQ(bytes_of([] { console.set_cursor(false, 0); }), "\x1b[?25l");
    EXPECT_FALSE(console.cursor_info().visible);
    EXPECT_EQ(bytes_of([] { console.set_cursor(true, 0); }), "\x1b[?25h");
}

TEST_F(ConsoleTest, BoxDrawingTakesCodePage932ColumnsOnANarrowTerminal) {
    console.color(0, 15);
    console.locate(10, 5);
    console.print("┏━┓X");
    console.flush();
    EXPECT_EQ(sim.text(10, 5, 6), "┏━┓");
    EXPECT_EQ(sim.cell(10, 5).text, "┏");
    EXPECT_EQ(sim.cell(11, 5).text, "━");
    EXPECT_EQ(sim.cell(14, 5).text, "┓");
    EXPECT_EQ(sim.cell(15, 5).text, " ");
    EXPECT_EQ(sim.cell(16, 5).text, "X");
}

TEST_F(ConsoleTest, BoxDrawingIsSentAsItIsToAWideTerminal) {
    console.set_traits({AmbiguousWidth::wide, true, false});
    console.locate(10, 5);
    const std::string bytes = bytes_of([] { console.print("┏━┓X"); });
    EXPECT_EQ(bytes, "┏━┓X");
    EXPECT_EQ(console.screen().at(10, 5).ch, U'┏');
    EXPECT_EQ(console.screen().at(12, 5).ch, U'━');
    EXPECT_EQ(console.screen().at(14, 5).ch, U'┓');
    EXPECT_EQ(console.screen().at(16, 5).ch, U'X');
    EXPECT_EQ(console.cursor_x(), 17);
}

TEST_F(ConsoleTest, JapaneseTextTakesTheColumnsCodePage932GivesIt) {
    console.locate(36, 7);
    console.printf("レベル %d", 3);
    EXPECT_EQ(console.cursor_x(), 36 + 6 + 1 + 1);
    console.locate(30, 7);
    console.print("　");
    EXPECT_EQ(console.cursor_x(), 32);
    console.locate(1, 1);
    console.print("ｱｲｳ･");  // half-width katakana: one column each
    EXPECT_EQ(console.cursor_x(), 5);
    console.flush();
    EXPECT_EQ(sim.text(36, 7, 8), "レベル 3");
    EXPECT_EQ(sim.cell(38, 7).text, "ベ");
}

TEST_F(ConsoleTest, NothingIsDrawnBeyondTheScreen) {
    console.color(0, 15);
    console.cls(16, 16);
    console.locate(78, 3);
    console.print("ABCDE");
    console.locate(-3, 4);
    console.print("■■■X");
    console.locate(79, 5);
    console.print("■");  // fits exactly
    console.locate(80, 6);
    console.print("■");  // half would hang over the edge
    console.flush();
    EXPECT_EQ(sim.text(78, 3, 3), "ABC");
    EXPECT_EQ(sim.text(1, 4, 6), "■X   ");
    EXPECT_EQ(sim.text(1, 4, 2), "■");
    EXPECT_EQ(sim.text(79, 5, 2), "■");
    EXPECT_EQ(sim.text(79, 6, 2), "  ");
    EXPECT_EQ(sim.row(7), std::string(80, ' '));  // nothing wrapped onto the next row
}

TEST_F(ConsoleTest, ControlBytesNeverReachTheTerminal) {
    const std::string bytes = bytes_of([] {
        console.locate(1, 1);
        console.print("A\x1b[2JB\nC\x07");
        console.print_cp932(std::string("N\x1b]0;x\x07", 8));
    });
    EXPECT_EQ(bytes, "\x1b[1;1HA[2JBCN?]0;x?");
}

TEST_F(ConsoleTest, ANameIsReadOnlyToItsTerminatorAndNeverBeyondItsField) {
    console.locate(1, 1);
    // "柊木" in code page 932, a terminator, then bytes that are not part of the name.
    console.print_cp932(std::string("\x95\x41\x96\xd8\0junk", 9));
    console.locate(1, 2);
    const std::string unterminated(52, 'A');
    console.print_cp932(unterminated);
    console.locate(1, 3);
    console.print_cp932(std::string("\x81\xff\xa0Z", 4));  // invalid code page 932
    console.flush();
    EXPECT_EQ(sim.text(1, 1, 6), "柊木  ");
    EXPECT_EQ(sim.text(1, 2, 53), unterminated + " ");
    EXPECT_EQ(sim.text(1, 3, 4), "???Z");
}

TEST_F(ConsoleTest, APrintIsOnTheScreenBeforeAWaitBegins) {
    console.locate(5, 5);
    console.print("SCORE:0");
    const int writes_before = sim.writes;
    sim.set_time_limit(sim.now_ms() + 10);
    console.wait(5);
    EXPECT_EQ(sim.writes, writes_before + 1);
    EXPECT_EQ(sim.text(5, 5, 7), "SCORE:0");
}

TEST_F(ConsoleTest, AFrameOfDrawingIsOneWrite) {
    console.flush();
    const int writes_before = sim.writes;
    for (int y = 6; y <= 8; ++y) {
        console.color(9, 15);
        console.locate(10, y);
        console.print("┏━┓");
    }
    console.inkey(k_key_space);
    console.inkey(k_key_left);
    EXPECT_EQ(sim.writes, writes_before + 1);
}

TEST_F(ConsoleTest, WaitsLastExactlyTheirLength) {
    const std::uint64_t start = console.now();
    console.wait(25);
    EXPECT_EQ(console.now(), start + 25);
}

TEST_F(ConsoleTest, KeysReadDownFromPressToRelease) {
    const std::uint64_t t = sim.now_ms();
    sim.press(k_key_right, t + 10);
    sim.release(k_key_right, t + 200);
    EXPECT_EQ(console.inkey(k_key_right), 0);
    console.wait(15);
    EXPECT_EQ(console.inkey(k_key_right), 1);
    EXPECT_EQ(console.inkey(k_key_left), 0);
    console.wait(100);
    EXPECT_EQ(console.inkey(k_key_right), 1);
    console.wait(100);
    EXPECT_EQ(console.inkey(k_key_right), 0);
}

TEST_F(ConsoleTest, CodesOutsideTheKeysReadAsTheirLowByteOrTheirSource) {
    sim.press(k_key_space, sim.now_ms());
    EXPECT_EQ(console.inkey(32), 1);
    EXPECT_EQ(console.inkey(256 + 32), 1);
    EXPECT_EQ(console.inkey(-224), 1);  // -224 AND 255 is 32
    EXPECT_EQ(console.inkey(275), 0);   // key 19
    EXPECT_EQ(console.inkey(257), 0);   // mouse column before any mouse event
    EXPECT_EQ(console.inkey(258), 0);
    for (const int joystick : {272, 273, 274, 279, 280, 281, 282, 287}) {
        EXPECT_EQ(console.inkey(joystick), -1) << joystick;
    }
}

TEST_F(ConsoleTest, AJoystickQueryLeavesTheKeyQueueAlone) {
    sim.tap(k_key_space, sim.now_ms(), 100);
    EXPECT_EQ(console.inkey(272), -1);
    EXPECT_EQ(console.inkey(32), 1);
}

TEST_F(ConsoleTest, KittyCtrlCEndsTheGameLikeAnInterrupt) {
    sim.send("\x1b[99;5u", sim.now_ms());
    console.inkey(k_key_space);
    EXPECT_TRUE(sim.interrupted);
}

TEST_F(ConsoleTest, KittyCtrlZSuspendsLikeTheStopKey) {
    sim.send("\x1b[122;5u", sim.now_ms());
    console.inkey(k_key_space);
    EXPECT_EQ(sim.suspends, 1);
    EXPECT_FALSE(sim.interrupted);
}

TEST_F(ConsoleTest, StartUpQueriesFindAKittyTerminalThatDrawsAmbiguousCharactersWide) {
    sim.send("\x1b[?0u\x1b[2;3R\x1b[?62c", sim.now_ms() + 20);
    const std::uint64_t start = sim.now_ms();
    console.query_terminal();
    EXPECT_TRUE(console.traits().kitty_keyboard);
    EXPECT_EQ(console.traits().ambiguous, AmbiguousWidth::wide);
    EXPECT_TRUE(sim.keyboard_pushed);
    EXPECT_EQ(sim.now_ms(), start + 20);
    EXPECT_NE(sim.written.find("\x1b[?u"), std::string::npos);
    EXPECT_NE(sim.written.find("\x1b[6n"), std::string::npos);
}

TEST_F(ConsoleTest, ATerminalThatNeverAnswersIsTakenAsNarrowWithoutKittyAfter200Ms) {
    const std::uint64_t start = sim.now_ms();
    console.query_terminal();
    EXPECT_FALSE(console.traits().kitty_keyboard);
    EXPECT_EQ(console.traits().ambiguous, AmbiguousWidth::narrow);
    EXPECT_FALSE(sim.keyboard_pushed);
    EXPECT_EQ(sim.now_ms(), start + 200);
}

// A device attributes answer with the given number of parameters.
std::string device_attributes_of(int parameters) {
    std::string answer = "\x1b[?64";
    for (int field = 1; field < parameters; ++field) {
        answer += ";" + std::to_string(field);
    }
    return answer + "c";
}

TEST_F(ConsoleTest, EveryShapeOfDeviceAttributesAnswerEndsTheStartUpWaitAtOnce) {
    const std::string answers[] = {
        "\x1b[?64;1;2;6;9;15;16;17;18;21;22;28c",  // xterm
        "\x1b[?6c",
        "\x1b[?1;2c",     // tmux
        "\x1b[?62;c",     // kitty: an empty field
        "\x1b[?65;1;9c",  // VTE
        device_attributes_of(15),
        device_attributes_of(30),
    };
    for (const std::string& answer : answers) {
        SCOPED_TRACE(testing::PrintToString(answer));
        console.attach(sim, sim.terminal());
        sim.send("\x1b[2;3R" + answer, sim.now_ms() + 3);
        const std::uint64_t start = sim.now_ms();
        console.query_terminal();
        EXPECT_EQ(sim.now_ms(), start + 3);
        EXPECT_EQ(console.traits().ambiguous, AmbiguousWidth::wide);
    }
}

TEST_F(ConsoleTest, AKittyFlagsAnswerAfterTheDeviceAttributesDoesNotCount) {
    sim.send("\x1b[2;2R\x1b[?62c", sim.now_ms() + 5);
    sim.send("\x1b[?0u", sim.now_ms() + 6);
    console.query_terminal();
    EXPECT_FALSE(console.traits().kitty_keyboard);
}

// A slow link: the answers come after the start-up wait, which ended on its 200 ms or on the
// device attributes. They change nothing for the rest of the run, a name entry included.
TEST_F(ConsoleTest, AnAnswerAfterTheStartUpWaitChangesNothingForTheRestOfTheRun) {
    struct Case {
        const char* what;
        const char* in_time;
        const char* late;
    };
    const Case cases[] = {
        {"nothing in time", "", "\x1b[?0u\x1b[2;3R\x1b[?62c"},
        {"the device attributes in time", "\x1b[2;2R\x1b[?62c", "\x1b[?0u\x1b[2;3R"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        console.attach(sim, sim.terminal());
        sim.set_kitty(false);
        sim.keyboard_pushed = false;
        if (*c.in_time != '\0') {
            sim.send(c.in_time, sim.now_ms() + 5);
        }
        sim.send(c.late, sim.now_ms() + 350);
        console.query_terminal();
        console.wait(400);
        EXPECT_EQ(console.inkey(k_key_space), 0);
        sim.add_line("ABC");
        std::string word;
        ASSERT_TRUE(console.read_word(word));
        EXPECT_FALSE(console.traits().kitty_keyboard);
        EXPECT_EQ(console.traits().ambiguous, AmbiguousWidth::narrow);
        EXPECT_FALSE(sim.keyboard_pushed);
    }
}

TEST_F(ConsoleTest, ASmallTerminalShowsANoticeAndTheGameComesBackWhenItGrows) {
    console.color(0, 15);
    console.cls(16, 16);
    console.locate(30, 12);
    console.print("タイムオーバー");
    console.flush();
    sim.resize(40, 10);
    console.locate(1, 1);
    console.print("SCORE:4");
    console.flush();
    EXPECT_TRUE(sim.shows("80x25"));
    EXPECT_FALSE(sim.shows("SCORE:4"));
    sim.resize(80, 25);
    console.flush();
    EXPECT_FALSE(sim.shows("80x25"));
    EXPECT_EQ(sim.text(30, 12, 14), "タイムオーバー");
    EXPECT_EQ(sim.text(1, 1, 7), "SCORE:4");
    EXPECT_EQ(sim.cell(1, 25).bg, 15);
}

// Started in a terminal too small for the game, it shows the notice from the first frame on,
// not the game wrapped over the small screen, and the start-up questions are asked all the same.
TEST_F(ConsoleTest, ATerminalTooSmallFromTheStartShowsTheNoticeFromTheFirstFrame) {
    sim.start_at_size(70, 20);
    sim.send("\x1b[?0u\x1b[2;3R\x1b[?62c", sim.now_ms() + 20);
    console.cls(16, 16);
    console.locate(1, 1);
    console.print(std::string(80, '#'));
    console.query_terminal();
    EXPECT_EQ(sim.text(24, 10, 24), "80x25 以上に広げて下さい");
    EXPECT_FALSE(sim.shows("#"));
    EXPECT_FALSE(sim.shows("━"));
    EXPECT_EQ(console.traits().ambiguous, AmbiguousWidth::wide);
    sim.resize(80, 25);
    console.flush();
    EXPECT_EQ(sim.row(1), std::string(80, '#'));
    EXPECT_FALSE(sim.shows("80x25"));
}

TEST_F(ConsoleTest, AKeyHeldWhenTheNameIsTypedIsUpAfterwards) {
    sim.press(k_key_space, sim.now_ms());
    EXPECT_EQ(console.inkey(k_key_space), 1);
    sim.add_line("NAME");
    std::string word;
    ASSERT_TRUE(console.read_word(word));
    EXPECT_EQ(console.inkey(k_key_space), 0);
}

TEST_F(ConsoleTest, ReadWordTakesOneWordAndKeepsTheRestOfTheLine) {
    sim.add_line("  ABC  DEF ");
    sim.add_line("");
    sim.add_line("GHI");
    std::string word;
    ASSERT_TRUE(console.read_word(word));
    EXPECT_EQ(word, "ABC");
    ASSERT_TRUE(console.read_word(word));
    EXPECT_EQ(word, "DEF");
    ASSERT_TRUE(console.read_word(word));
    EXPECT_EQ(word, "GHI");
    EXPECT_FALSE(console.read_word(word));
}

// Blank lines give no word, and the next line is echoed in the same field: at the name prompt
// ten blanks and then twelve used to push the field to the last column, where nothing showed.
TEST_F(ConsoleTest, TheNameFieldStaysInItsPlaceAfterBlankLines) {
    console.locate(58, 24);
    sim.add_line(std::string(10, ' '));
    sim.add_line(std::string(12, ' '));
    sim.add_line("Zed");
    std::string word;
    ASSERT_TRUE(console.read_word(word));
    EXPECT_EQ(word, "Zed");
    EXPECT_EQ(sim.text(58, 24, 23), "Zed" + std::string(20, ' '));
    EXPECT_EQ(console.cursor_x(), 61);
    EXPECT_EQ(console.cursor_y(), 24);
}

TEST_F(ConsoleTest, OnATerminalWithoutReleasesATapReadsDownOnTheNextPoll) {
    sim.set_kitty(false);
    console.set_traits({AmbiguousWidth::narrow, false, false});
    sim.tap(k_key_space, sim.now_ms() + 50);
    console.wait(100);
    EXPECT_EQ(console.inkey(k_key_right), 0);
    EXPECT_EQ(console.inkey(k_key_space), 1);
    console.wait(200);
    EXPECT_EQ(console.inkey(k_key_space), 0);
}

TEST_F(ConsoleTest, OverwritingHalfAFullWidthCharacterKeepsTheOtherHalfInItsColours) {
    console.color(0, 15);
    console.cls(16, 16);
    console.color(2, 15);
    console.locate(26, 17);
    console.print("　　　");  // full-width blanks at 26-27, 28-29, 30-31
    console.color(9, 15);
    console.locate(27, 17);
    console.print("AB");  // splits 26-27 on its left
    console.locate(31, 17);
    console.print("C");  // splits 30-31 on its left
    console.locate(40, 17);
    console.print("ああ");
    console.locate(40, 17);
    console.print("X");  // splits 40-41 on its right
    console.print("Y");  // and covers the rest of it at once
    console.locate(42, 17);
    console.print("Z");  // splits 42-43 on its right
    console.flush();
    for (const int x : {26, 29, 30, 43}) {
        EXPECT_EQ(sim.cell(x, 17).bg, 15) << x;
        EXPECT_EQ(sim.text(x, 17, 1), " ") << x;
    }
    EXPECT_EQ(sim.text(27, 17, 2), "AB");
    EXPECT_EQ(sim.text(31, 17, 1), "C");
    EXPECT_EQ(sim.text(40, 17, 3), "XYZ");
    EXPECT_EQ(sim.cell(31, 17).fg, 9);
    EXPECT_EQ(console.screen().at(26, 17).fg, 2);
}

}  // namespace
}  // namespace kal::test
