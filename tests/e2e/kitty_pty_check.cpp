// The real game binary on a pseudo-terminal that answers as kitty does: the start-up queries
// get kitty's answers (keyboard flags before the device attributes), keys go in as kitty's
// press, repeat and release events, and the screen is read back through libvterm. This is the
// exact-release path of the keyboard that tmux cannot show, checked without an X display.

#include <signal.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "pty_terminal.hpp"
#include "screen_model.hpp"
#include "temp_directory.hpp"

namespace kal::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr std::string_view k_kitty_flags_query = "\x1b[?u";
constexpr std::string_view k_device_attributes_query = "\x1b[c";
// kitty's answers: no keyboard flags pushed yet; the probe character drawn one column wide;
// its device attributes.
constexpr std::string_view k_kitty_answers = "\x1b[?0u\x1b[2;2R\x1b[?62;c";
constexpr std::string_view k_push_flags = "\x1b[>11u";
constexpr std::string_view k_pop_flags = "\x1b[<u";
constexpr std::string_view k_leave_alternate_screen = "\x1b[?1049l";
constexpr std::string_view k_right_press = "\x1b[1;1:1C";
constexpr std::string_view k_right_repeat = "\x1b[1;1:2C";
constexpr std::string_view k_right_release = "\x1b[1;1:3C";
constexpr std::string_view k_ctrl_c = "\x1b[99;5u";
constexpr std::string_view k_ctrl_z = "\x1b[122;5u";
constexpr auto k_repeat_delay = 500ms;
constexpr auto k_repeat_interval = 40ms;
// Longer than the title menu's 100 ms between two looks at the keys: the menu reads key state,
// not a queue of presses, so a shorter tap can begin and end unseen.
constexpr auto k_tap_length = 150ms;

// The game on a pseudo-terminal of 80 x 25 that answers as kitty, in a fresh working directory.
class KittyPty {
public:
    KittyPty()
        : directory_("kaleidron-pty"),
          term_({{KALEIDRON_GAME},
                 directory_.path().string(),
                 {"TERM=xterm-kitty", "LC_ALL=C.UTF-8", "ALSOFT_DRIVERS=nosuch"}}) {}

    void send(std::string_view bytes) { term_.send(bytes); }

    // Reads what the game writes for the given time, answering its start-up queries.
    void pump(Clock::duration how_long) {
        const Clock::time_point until = Clock::now() + how_long;
        const std::int64_t until_ns =
            now_ns() + std::chrono::duration_cast<std::chrono::nanoseconds>(how_long).count();
        while (const std::optional<Chunk> chunk = term_.read_until(until_ns)) {
            output += chunk->bytes;
            screen_.feed(chunk->bytes);
            answer_queries();
        }
        std::this_thread::sleep_until(until);  // the game may have closed its side early
    }

    // Pumps until the condition holds or the time is up; tells whether it held.
    bool pump_until(const std::function<bool()>& condition, Clock::duration timeout = 10s) {
        const Clock::time_point until = Clock::now() + timeout;
        while (Clock::now() < until) {
            pump(20ms);
            if (condition()) {
                return true;
            }
        }
        return false;
    }

    // The character in the cell at (x, y), 1-based.
    [[nodiscard]] char32_t char_at(int x, int y) const {
        return screen_.row_cells(y)[static_cast<std::size_t>(x - 1)];
    }

    // The column of the title menu's cursor mark "▽" on row 18; 0 for none.
    [[nodiscard]] int cursor_column() const {
        for (const int x : {9, 29, 49, 69}) {
            if (char_at(x, 18) == U'▽') {
                return x;
            }
        }
        return 0;
    }

    bool title_shown() {
        return pump_until([this] { return cursor_column() == 9 && char_at(3, 16) == U'|'; });
    }

    // Waits for the game to end; its status as waitpid gives it.
    std::optional<int> wait_exit(Clock::duration timeout = 5s) {
        pump_until([this] { return term_.exit_status().has_value(); }, timeout);
        return term_.exit_status();
    }

    std::string output;

private:
    void answer_queries() {
        if (!answered_ && output.find(k_device_attributes_query) != std::string::npos) {
            answered_ = true;
            EXPECT_NE(output.find(k_kitty_flags_query), std::string::npos);
            send(k_kitty_answers);
        }
    }

    TempDirectory directory_;
    PtyTerminal term_;
    ScreenModel screen_;
    bool answered_ = false;
};

// Holds Right as kitty reports it: a press, repeats once auto-repeat sets in, a release.
void hold_right(KittyPty& pty, Clock::duration how_long) {
    const Clock::time_point start = Clock::now();
    pty.send(k_right_press);
    pty.pump(k_repeat_delay);
    while (Clock::now() - start < how_long) {
        pty.send(k_right_repeat);
        pty.pump(k_repeat_interval);
    }
    pty.send(k_right_release);
}

void tap_right(KittyPty& pty) {
    pty.send(k_right_press);
    pty.pump(k_tap_length);
    pty.send(k_right_release);
}

TEST(KittyKeyboardOnAPty, TheGamePushesTheProtocolWhenTheTerminalAnswersAsKitty) {
    KittyPty pty;
    ASSERT_TRUE(pty.title_shown());
    EXPECT_NE(pty.output.find(k_push_flags), std::string::npos);
}

TEST(KittyKeyboardOnAPty, HoldingRightWithRepeatsMovesTheMenuCursorOneItem) {
    KittyPty pty;
    ASSERT_TRUE(pty.title_shown());
    hold_right(pty, 1500ms);
    EXPECT_TRUE(pty.pump_until([&pty] { return pty.cursor_column() == 29; }, 2s));
    pty.pump(300ms);
    EXPECT_EQ(pty.cursor_column(), 29);
}

TEST(KittyKeyboardOnAPty, EachTapOnRightMovesTheMenuCursorOneItem) {
    KittyPty pty;
    ASSERT_TRUE(pty.title_shown());
    tap_right(pty);
    EXPECT_TRUE(pty.pump_until([&pty] { return pty.cursor_column() == 29; }, 2s));
    pty.pump(150ms);
    tap_right(pty);
    EXPECT_TRUE(pty.pump_until([&pty] { return pty.cursor_column() == 49; }, 2s));
    pty.pump(300ms);
    EXPECT_EQ(pty.cursor_column(), 49);
}

TEST(KittyKeyboardOnAPty, CtrlCSentAsAKeyEndsTheGameAndGivesTheTerminalBack) {
    KittyPty pty;
    ASSERT_TRUE(pty.title_shown());
    const std::size_t before_quit = pty.output.size();
    pty.send(k_ctrl_c);
    const std::optional<int> status = pty.wait_exit();
    ASSERT_TRUE(status.has_value()) << "the game did not end";
    EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == SIGINT)
        << "it should end as the interrupt signal would";
    const std::string_view goodbye = std::string_view(pty.output).substr(before_quit);
    const std::size_t pop = goodbye.find(k_pop_flags);
    ASSERT_NE(pop, std::string_view::npos) << "the keyboard protocol was not popped";
    EXPECT_NE(goodbye.find(k_leave_alternate_screen, pop), std::string_view::npos)
        << "the main screen did not come back after the pop";
}

// The game is the leader of its own session here, where the system stops no process for Ctrl-Z:
// what shows is the terminal given back and taken again, as for the stop key's signal.
TEST(KittyKeyboardOnAPty, CtrlZSentAsAKeySuspendsWithTheTerminalGivenBack) {
    KittyPty pty;
    ASSERT_TRUE(pty.title_shown());
    const std::size_t before_stop = pty.output.size();
    pty.send(k_ctrl_z);
    const auto taken_again = [&pty, before_stop] {
        const std::string_view after = std::string_view(pty.output).substr(before_stop);
        const std::size_t leave = after.find(k_leave_alternate_screen);
        return after.find(k_pop_flags) < leave && leave != std::string_view::npos &&
               after.find(k_push_flags, leave) != std::string_view::npos;
    };
    EXPECT_TRUE(pty.pump_until(taken_again, 3s))
        << "the terminal was not given back and taken again with the keyboard protocol";
    EXPECT_FALSE(pty.wait_exit(200ms).has_value()) << "Ctrl-Z ended the game";
}

}  // namespace
}  // namespace kal::test
