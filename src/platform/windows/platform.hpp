#pragma once

// The game on Windows. With its standard output on a console, the console is set up for the
// run (input without line editing or echo, window and mouse events on, Ctrl-C to our handler,
// output code page 932) and the game draws on a screen buffer of its own, 80 x 25; on every way
// out (a normal exit, the end of its input, Ctrl-C, Ctrl-Break, the window closed, logoff or
// shutdown) the player's buffer is shown again, its text, history and size untouched, and the
// input mode and code page are given back as they were found. Otherwise (a pipe, as under a
// terminal emulator of its own) the game speaks escape sequences as on POSIX. The clock is the
// 1 ms multimedia clock for the whole run, widened to 64 bits.

#include "platform/platform.hpp"
#include "platform/windows/system.hpp"

namespace kal {

// The console screen buffer the game draws on: its own while a session runs, otherwise the
// standard output.
HANDLE game_screen_buffer();

// The part of a console screen buffer the player can see: its window, held to the largest
// window the console can show (Wine's console in a terminal reports a window as large as asked
// for, but can show no more than the terminal's size). The game's 80 x 25 at the buffer's first
// cell when it cannot be read.
struct ConsoleWindow {
    int left = 0;  // the window's first cell in the buffer, 0-based
    int top = 0;
    TermSize size;
};
ConsoleWindow visible_window(HANDLE screen);

class WindowsPlatform final : public Platform {
public:
    explicit WindowsPlatform(AudioDevice& audio);
    ~WindowsPlatform() override;
    WindowsPlatform(const WindowsPlatform&) = delete;
    WindowsPlatform& operator=(const WindowsPlatform&) = delete;

    // Prints the system's message once for each standard handle that is invalid, then sets up
    // the console, the control handler and the timer resolution for the run.
    void begin_session();
    // Gives the console back as it was found. Safe to call more than once.
    static void end_session();

    std::uint64_t now_ms() override;
    std::time_t calendar_time() override;
    unsigned random_seed() override;
    void wait_input(std::uint64_t deadline_ms) override;
    std::size_t read_input(std::span<char> buffer) override;
    void write_output(std::string_view bytes) override;
    TermSize terminal_size() override;
    bool take_redraw_request() override { return false; }
    void set_keyboard_protocol(bool pushed) override;
    void set_line_input(bool on) override;
    void discard_input() override;
    void interrupt() override;
    std::optional<JoystickPosition> joystick(unsigned number) override;
    AudioDevice& audio() override { return audio_; }

private:
    AudioDevice& audio_;
};

}  // namespace kal
