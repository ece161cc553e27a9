// The real game binary on a pseudo-terminal that answers as kitty does: the start-up queries
// get kitty's answers (keyboard flags before the device attributes), keys go in as kitty's
// press, repeat and release events, and the screen is read back through libvterm. This is the
// exact-release path of the keyboard that tmux cannot show, checked without an X display.

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vterm.h>

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

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
constexpr auto k_repeat_delay = 500ms;
constexpr auto k_repeat_interval = 40ms;
// Longer than the title menu's 100 ms between two looks at the keys: the menu reads key state,
// not a queue of presses, so a shorter tap can begin and end unseen.
constexpr auto k_tap_length = 150ms;

// The game on the master side of a pseudo-terminal of 80 x 25, in a fresh working directory.
class KittyPty {
public:
    KittyPty() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "kaleidron-pty-XXXXXX").string();
        dir_ = mkdtemp(pattern.data());
        winsize size{};
        size.ws_row = 25;
        size.ws_col = 80;
        pid_ = forkpty(&master_, nullptr, nullptr, &size);
        if (pid_ == 0) {
            if (chdir(dir_.c_str()) != 0) {
                _exit(127);
            }
            setenv("TERM", "xterm-kitty", 1);
            setenv("LC_ALL", "C.UTF-8", 1);
            setenv("ALSOFT_DRIVERS", "nosuch", 1);
            execl(KALEIDRON_GAME, KALEIDRON_GAME, static_cast<char*>(nullptr));
            _exit(127);
        }
        fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
        vt_ = vterm_new(25, 80);
        vterm_set_utf8(vt_, 1);
        screen_ = vterm_obtain_screen(vt_);
        vterm_screen_enable_altscreen(screen_, 1);
        vterm_screen_reset(screen_, 1);
    }

    ~KittyPty() {
        if (pid_ > 0 && !exit_status_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        close(master_);
        vterm_free(vt_);
        std::filesystem::remove_all(dir_);
    }
    KittyPty(const KittyPty&) = delete;
    KittyPty& operator=(const KittyPty&) = delete;

    void send(std::string_view bytes) {
        ASSERT_EQ(write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    // Reads what the game writes for the given time, answering its start-up queries.
    void pump(Clock::duration how_long) {
        const Clock::time_point until = Clock::now() + how_long;
        do {
            pollfd fd{master_, POLLIN, 0};
            poll(&fd, 1, 10);
            std::array<char, 4096> buffer{};
            for (ssize_t n; (n = read(master_, buffer.data(), buffer.size())) > 0;) {
                output.append(buffer.data(), static_cast<std::size_t>(n));
                vterm_input_write(vt_, buffer.data(), static_cast<std::size_t>(n));
            }
            answer_queries();
        } while (Clock::now() < until);
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

    // The character in the cell at (x, y), 1-based; 0 for none.
    [[nodiscard]] std::uint32_t char_at(int x, int y) const {
        VTermScreenCell cell{};
        vterm_screen_get_cell(screen_, VTermPos{y - 1, x - 1}, &cell);
        return cell.chars[0];
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
        pump_until(
            [this] {
                int status = 0;
                if (waitpid(pid_, &status, WNOHANG) == pid_) {
                    exit_status_ = status;
                }
                return exit_status_.has_value();
            },
            timeout);
        return exit_status_;
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

    std::filesystem::path dir_;
    pid_t pid_ = -1;
    int master_ = -1;
    VTerm* vt_ = nullptr;
    VTermScreen* screen_ = nullptr;
    bool answered_ = false;
    std::optional<int> exit_status_;
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

}  // namespace
