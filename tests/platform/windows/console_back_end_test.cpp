// The console back-end on the real console (Wine's, in a tmux pane): what the game draws is
// read back cell by cell with the console's own functions, and keys and the mouse are put on
// the console's input queue as the system puts them.

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "console/backends/windows/console.hpp"
#include "console/console.hpp"
#include "console/text.hpp"
#include "game_fixture.hpp"
#include "platform/windows/audio.hpp"
#include "platform/windows/platform.hpp"
#include "platform/windows/system.hpp"
#include "play/answer.hpp"
#include "play/normal_mode.hpp"
#include "play/play_state.hpp"
#include "play/question_table.hpp"
#include "play/scrolling_question.hpp"
#include "screens/result_screen.hpp"
#include "shell/title_screen.hpp"

namespace kal::test {
namespace {

HANDLE console_in() {
    return GetStdHandle(STD_INPUT_HANDLE);
}

HANDLE console_out() {
    return GetStdHandle(STD_OUTPUT_HANDLE);
}

void put_key(WORD key, bool down, DWORD control_keys = 0) {
    INPUT_RECORD record{};
    record.EventType = KEY_EVENT;
    record.Event.KeyEvent.bKeyDown = down ? TRUE : FALSE;
    record.Event.KeyEvent.wRepeatCount = 1;
    record.Event.KeyEvent.wVirtualKeyCode = key;
    record.Event.KeyEvent.dwControlKeyState = control_keys;
    DWORD written = 0;
    WriteConsoleInputW(console_in(), &record, 1, &written);
}

// The characters of one row of a console's screen buffer, from its first column.
std::wstring console_row(HANDLE screen, SHORT row, SHORT columns) {
    std::vector<CHAR_INFO> cells(static_cast<std::size_t>(columns));
    SMALL_RECT region{0, row, static_cast<SHORT>(columns - 1), row};
    ReadConsoleOutputW(screen, cells.data(), COORD{columns, 1}, COORD{0, 0}, &region);
    std::wstring text;
    for (const CHAR_INFO& cell : cells) {
        text += cell.Char.UnicodeChar;
    }
    return text;
}

// A record the console puts on its input queue when the window changes.
void put_window_record(WORD type) {
    INPUT_RECORD record{};
    record.EventType = type;
    if (type == WINDOW_BUFFER_SIZE_EVENT) {
        record.Event.WindowBufferSizeEvent.dwSize = COORD{k_screen_cols, k_screen_rows};
    } else {
        record.Event.FocusEvent.bSetFocus = TRUE;
    }
    DWORD written = 0;
    WriteConsoleInputW(console_in(), &record, 1, &written);
}

// The console's window at a size for as long as it lives, then at the game's 80 x 25 again.
class WindowAt {
public:
    WindowAt(SHORT cols, SHORT rows) { show(cols, rows); }
    WindowAt(const WindowAt&) = delete;
    WindowAt& operator=(const WindowAt&) = delete;
    ~WindowAt() { show(k_screen_cols, k_screen_rows); }

    static void show(SHORT cols, SHORT rows) {
        const SMALL_RECT window{0, 0, static_cast<SHORT>(cols - 1), static_cast<SHORT>(rows - 1)};
        SetConsoleWindowInfo(console_out(), TRUE, &window);
    }
};

// Something drawn over the whole console behind the game's back.
void scribble_on_the_console() {
    DWORD done = 0;
    FillConsoleOutputCharacterW(console_out(), L'#', k_screen_cols * k_screen_rows, COORD{0, 0},
                                &done);
    FillConsoleOutputAttribute(console_out(), 0x4E, k_screen_cols * k_screen_rows, COORD{0, 0},
                               &done);
}

void put_mouse(SHORT column, SHORT row, DWORD buttons) {
    INPUT_RECORD record{};
    record.EventType = MOUSE_EVENT;
    record.Event.MouseEvent.dwMousePosition = COORD{column, row};
    record.Event.MouseEvent.dwButtonState = buttons;
    DWORD written = 0;
    WriteConsoleInputW(console_in(), &record, 1, &written);
}

class ConsoleBackEndTest : public GameTest {
protected:
    // Every column of every row as the console shows it against what the console believes it
    // drew: the character, its colours, and where a full-width character stands.
    void expect_console_shows_the_screen() {
        const ScreenBuffer& screen = console.screen();
        for (int y = 1; y <= k_screen_rows; ++y) {
            for (int x = 1; x <= k_screen_cols; ++x) {
                const Cell& drawn = screen.at(x, y);
                const TermCell shown = sim.cell(x, y);
                std::string text;
                if (drawn.width != 0) {
                    append_utf8(text, drawn.ch);
                }
                ASSERT_EQ(shown.text, text) << "at " << x << "," << y;
                ASSERT_EQ(shown.fg, drawn.fg) << "at " << x << "," << y;
                ASSERT_EQ(shown.bg, drawn.bg) << "at " << x << "," << y;
            }
        }
    }

    // Runs until the game next waits with the screen as wanted, then looks at it there.
    void look_once_when(const std::function<bool()>& ready) {
        sim.on_wait([this, ready, looked = false](SimPlatform&) mutable {
            if (!looked && ready()) {
                looked = true;
                expect_console_shows_the_screen();
                seen_ = true;
            }
        });
    }

    bool seen_ = false;
};

TEST_F(ConsoleBackEndTest, TheConsoleChosenOnWindowsIsTheSystemsOwn) {
    EXPECT_TRUE(sim.on_system_console());
}

TEST_F(ConsoleBackEndTest, TheTitleScreenStandsOnTheConsoleCellForCell) {
    look_once_when([this] { return sim.shows("ノーマルモード"); });
    tap(k_key_space, now() + 2000);
    EXPECT_EQ(title_screen(), Screen::normal_mode);
    EXPECT_TRUE(seen_);
    EXPECT_TRUE(sim.shows_at(8, 21, "挑戦"));
    EXPECT_EQ(sim.cell(8, 21).fg, 1);
    EXPECT_EQ(sim.cell(8, 21).bg, 15);
    EXPECT_TRUE(sim.shows_at(51, 25, "[SPACE]…決定  [←][→]…選択"));
}

TEST_F(ConsoleBackEndTest, AQuestionStandsOnTheConsoleCellForCell) {
    // The first question's digits scroll in from the right on row 12.
    // Unanswered, the game runs to time over; the look falls on the first question's row of
    // digits scrolling in from the right.
    look_once_when([] { return play.question_no == 1; });
    EXPECT_EQ(start_normal_mode(), Screen::result);
    EXPECT_TRUE(seen_);
}

TEST_F(ConsoleBackEndTest, TheResultScreenStandsOnTheConsoleCellForCell) {
    reset_play_state();
    play.score = 120;
    play.correct_by_level = {0, 6, 6, 6, 3, 0, 0};
    play.whole_seconds_left = 4;
    look_once_when([this] { return sim.shows("名前をエントリー") || sim.shows("評価"); });
    tap(k_key_space, now() + 9500);
    tap(k_key_space, now() + 12000);
    sim.add_line("WINE");
    result_screen();
    EXPECT_TRUE(seen_);
}

// A frame reaches the console whole: each tick of a scrolling question and each pass of the
// answer's readout is one call, the changed cells with their colours; with the cursor hidden
// nothing else is called, and a frame that changes nothing (the row not yet in sight) calls
// nothing.
TEST_F(ConsoleBackEndTest, EachFrameIsOneConsoleCallAndAnUnchangedFrameNone) {
    struct Case {
        const char* run;
        std::function<void()> play;
    };
    const Case cases[] = {
        {"scroll", [] { scroll_row(question_row(1)); }},
        {"readout", [] { choose_answer(4); }},
    };
    for (const Case& c : cases) {
        reset_play_state();
        play.level = 1;
        play.stage = 1;
        console.set_cursor(false, 0);
        console.cls(0, 15);
        console.flush();
        std::vector<std::uint64_t> calls;
        std::uint64_t before = console_output_calls();
        sim.on_wait([&calls, &before](SimPlatform&) {
            calls.push_back(console_output_calls() - before);
            before = console_output_calls();
        });
        c.play();
        sim.clear_wait_looks();
        // The first frame also holds what the run drew before its first tick.
        ASSERT_GT(calls.size(), 2U) << c.run;
        std::size_t drawn = 0;
        for (std::size_t frame = 1; frame < calls.size(); ++frame) {
            ASSERT_LE(calls[frame], 1U) << c.run << ", frame " << frame;
            drawn += calls[frame];
        }
        EXPECT_GT(2 * drawn, calls.size()) << c.run;
        expect_console_shows_the_screen();
        const std::uint64_t settled = console_output_calls();
        console.flush();
        EXPECT_EQ(console_output_calls(), settled) << c.run;
    }
}

TEST_F(ConsoleBackEndTest, ClearingFillsTheWholeBufferAndHomesTheCursor) {
    console.color(4, 14);
    console.locate(30, 10);
    console.cls(16, 16);
    console.set_cursor(true, 0);
    console.flush();
    CONSOLE_SCREEN_BUFFER_INFO info{};
    ASSERT_NE(GetConsoleScreenBufferInfo(console_out(), &info), 0);
    EXPECT_EQ(info.dwCursorPosition.X, 0);
    EXPECT_EQ(info.dwCursorPosition.Y, 0);
    const SMALL_RECT corners[] = {
        {0, 0, 0, 0},
        {static_cast<SHORT>(info.dwSize.X - 1), static_cast<SHORT>(info.dwSize.Y - 1),
         static_cast<SHORT>(info.dwSize.X - 1), static_cast<SHORT>(info.dwSize.Y - 1)}};
    for (SMALL_RECT corner : corners) {
        CHAR_INFO cell{};
        ReadConsoleOutputW(console_out(), &cell, COORD{1, 1}, COORD{0, 0}, &corner);
        EXPECT_EQ(cell.Char.UnicodeChar, L' ');
        EXPECT_EQ(cell.Attributes & 0xFF, 0xE4);
    }
}

// The game draws on a buffer of its own: the player's, with the text it held and a history
// longer than the window, is shown again as it was when the session ends.
TEST_F(ConsoleBackEndTest, ThePlayersBufferComesBackWithItsTextAndSizeAfterTheGame) {
    const HANDLE player = console_out();
    constexpr SHORT k_history_rows = 300;
    constexpr SHORT k_text_row = 250;
    const std::wstring earlier = L"C:\\> dir  (the player's earlier output)";
    ASSERT_NE(SetConsoleScreenBufferSize(player, COORD{k_screen_cols, k_history_rows}), 0);
    DWORD written = 0;
    WriteConsoleOutputCharacterW(player, earlier.data(), static_cast<DWORD>(earlier.size()),
                                 COORD{0, k_text_row}, &written);
    WriteConsoleOutputCharacterW(player, earlier.data(), static_cast<DWORD>(earlier.size()),
                                 COORD{0, 0}, &written);
    {
        const std::unique_ptr<AudioDevice> audio = make_waveout_audio();
        WindowsPlatform platform(*audio);
        platform.begin_session();
        const std::unique_ptr<ConsoleBackend> game =
            make_system_console(platform, game_screen_buffer());
        ASSERT_NE(game, nullptr);
        console.attach(platform, *game);
        console.cls(15, 1);
        console.locate(1, 1);
        console.print("KALEIDRON");
        console.flush();
        EXPECT_EQ(console_row(game_screen_buffer(), 0, 9), L"KALEIDRON");
        console.detach();
        WindowsPlatform::end_session();
    }
    console.attach(sim, sim.backend());
    CONSOLE_SCREEN_BUFFER_INFO after{};
    ASSERT_NE(GetConsoleScreenBufferInfo(player, &after), 0);
    EXPECT_EQ(after.dwSize.X, k_screen_cols);
    EXPECT_EQ(after.dwSize.Y, k_history_rows);
    const auto columns = static_cast<SHORT>(earlier.size());
    EXPECT_EQ(console_row(player, k_text_row, columns), earlier);
    EXPECT_EQ(console_row(player, 0, columns), earlier);
    SetConsoleScreenBufferSize(player, COORD{k_screen_cols, k_screen_rows});
}

// A window of 70 x 20 shows the notice, centred, from the first frame; the game's clock stands
// still under it. Widened to 80 x 25, the window shows the game's whole screen again.
TEST_F(ConsoleBackEndTest, ASmallWindowShowsTheNoticeFromTheFirstFrameUntilItIsWidened) {
    // Nothing has been drawn yet: the frame below is the back-end's first.
    WindowAt small(70, 20);
    console.cls(15, 1);
    console.locate(1, 1);
    console.print("KALEIDRON");
    console.flush();
    // 23 columns either side of the notice's 24, and the 10th of 20 rows.
    EXPECT_TRUE(sim.shows_at(24, 10, "80x25 以上に広げて下さい")) << sim.row(10);
    EXPECT_FALSE(sim.shows("KALEIDRON"));
    const std::uint64_t covered_at = console.now();
    sim.advance(5000);
    EXPECT_EQ(console.now(), covered_at);

    WindowAt::show(k_screen_cols, k_screen_rows);
    put_window_record(WINDOW_BUFFER_SIZE_EVENT);
    EXPECT_EQ(console.inkey(k_key_space), 0);
    console.flush();
    expect_console_shows_the_screen();
    EXPECT_TRUE(sim.shows_at(1, 1, "KALEIDRON"));
    sim.advance(1000);
    EXPECT_EQ(console.now(), covered_at + 1000);
}

// Whatever the console did to the screen while the window changed, the next frame is the
// game's whole screen.
TEST_F(ConsoleBackEndTest, AResizeOrAChangeOfFocusDrawsTheWholeScreenAgain) {
    for (const WORD record : {WORD{WINDOW_BUFFER_SIZE_EVENT}, WORD{FOCUS_EVENT}}) {
        console.cls(15, 1);
        console.locate(3, 5);
        console.print("ノーマルモード");
        console.flush();
        scribble_on_the_console();
        put_window_record(record);
        EXPECT_EQ(console.inkey(k_key_space), 0);
        console.flush();
        expect_console_shows_the_screen();
    }
}

TEST_F(ConsoleBackEndTest, TheCursorTakesItsSizeFromOneToNinetyNineAndHidesAndShows) {
    struct Case {
        bool visible;
        std::uint32_t size;
        DWORD expected_size;
    };
    const std::array<Case, 5> cases{{
        {true, 99, 99},
        {true, 0, 99},  // 0 keeps the size
        {true, 100, 99},
        {true, 1, 1},
        {false, 50, 50},
    }};
    for (const Case& c : cases) {
        console.set_cursor(c.visible, c.size);
        console.flush();
        CONSOLE_CURSOR_INFO info{};
        ASSERT_NE(GetConsoleCursorInfo(console_out(), &info), 0);
        EXPECT_EQ(info.dwSize, c.expected_size) << c.size;
        EXPECT_EQ(info.bVisible != 0, c.visible) << c.size;
    }
}

TEST_F(ConsoleBackEndTest, KeysFollowTheirOwnDownAndUpEvents) {
    struct Case {
        WORD key;
        bool down;
        int code;
        int expected;
    };
    const std::array<Case, 6> cases{{
        {'A', true, 'A', 1},
        {'A', true, 'A', 1},  // a repeat leaves it down
        {'A', false, 'A', 0},
        {'A', false, 'A', 0},  // up for a key that is up leaves it up
        {VK_F1, true, VK_F1, 1},
        {VK_F1, false, 256 + VK_F1, 0},  // any code reads the key of its low byte
    }};
    for (const Case& c : cases) {
        put_key(c.key, c.down);
        EXPECT_EQ(console.inkey(c.code), c.expected) << c.key << (c.down ? " down" : " up");
    }
}

TEST_F(ConsoleBackEndTest, ShiftCtrlAndAltFollowTheControlKeyStateOfEveryKeyEvent) {
    put_key(VK_SHIFT, true, SHIFT_PRESSED);
    put_key('B', true, SHIFT_PRESSED | LEFT_CTRL_PRESSED);
    EXPECT_EQ(console.inkey(16), 1);
    EXPECT_EQ(console.inkey(17), 1);
    EXPECT_EQ(console.inkey(18), 0);
    put_key('B', false, SHIFT_PRESSED | RIGHT_ALT_PRESSED);
    EXPECT_EQ(console.inkey(16), 1);
    EXPECT_EQ(console.inkey(17), 0);
    EXPECT_EQ(console.inkey(18), 1);
    put_key(VK_SHIFT, false, 0);
    EXPECT_EQ(console.inkey(16), 0);
    EXPECT_EQ(console.inkey(18), 0);
}

TEST_F(ConsoleBackEndTest, TheMouseSetsItsCellAndButtons) {
    EXPECT_EQ(console.inkey(257), 0);
    EXPECT_EQ(console.inkey(258), 0);
    put_mouse(0, 0, FROM_LEFT_1ST_BUTTON_PRESSED | RIGHTMOST_BUTTON_PRESSED);
    EXPECT_EQ(console.inkey(257), 1);
    EXPECT_EQ(console.inkey(258), 1);
    EXPECT_EQ(console.inkey(1), 1);
    EXPECT_EQ(console.inkey(2), 1);
    EXPECT_EQ(console.inkey(4), 0);
    put_mouse(79, 24, FROM_LEFT_2ND_BUTTON_PRESSED);
    EXPECT_EQ(console.inkey(257), 80);
    EXPECT_EQ(console.inkey(258), 25);
    EXPECT_EQ(console.inkey(1), 0);
    EXPECT_EQ(console.inkey(2), 0);
    EXPECT_EQ(console.inkey(4), 1);
}

TEST_F(ConsoleBackEndTest, ATapBetweenTwoPollsReadsDownOnOnePoll) {
    put_key(VK_SPACE, true);
    put_key(VK_SPACE, false);
    EXPECT_EQ(console.inkey(k_key_space), 1);
    EXPECT_EQ(console.inkey(k_key_space), 0);
}

TEST_F(ConsoleBackEndTest, AHeldArrowWithRepeatsIsOneStepInTheMenu) {
    const std::uint64_t t0 = now() + 500;
    sim.press(k_key_right, t0);
    sim.release(k_key_right, t0 + 2000);  // repeats from 500 ms on, every 33 ms
    tap(k_key_space, t0 + 2500);
    EXPECT_EQ(title_screen(), Screen::tutorial);
}

TEST_F(ConsoleBackEndTest, AJoystickThatIsNotThereReadsMinusOne) {
    const std::unique_ptr<AudioDevice> audio = make_waveout_audio();
    WindowsPlatform platform(*audio);
    console.attach(platform, sim.backend());
    for (const int code : {272, 273, 274, 279, 280, 281, 282, 287}) {
        EXPECT_EQ(console.inkey(code), -1) << code;
    }
    console.detach();
    console.attach(sim, sim.backend());
}

}  // namespace
}  // namespace kal::test
