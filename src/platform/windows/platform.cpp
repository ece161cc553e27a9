#include "platform/windows/platform.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "platform/windows/system.hpp"

#include <mmsystem.h>

namespace kal {
namespace {

// Everything the control handler needs lives in plain globals. The handler runs on a thread of
// its own, so it only raises a flag and wakes the game, which ends at its next wait or clock
// read; it ends the game itself only when that does not come in time.
struct Session {
    HANDLE in = INVALID_HANDLE_VALUE;
    HANDLE out = INVALID_HANDLE_VALUE;
    bool console_in = false;
    bool console_out = false;
    DWORD saved_in_mode = 0;
    DWORD saved_out_mode = 0;
    UINT saved_output_cp = 0;
    WORD saved_attributes = 0;
    CONSOLE_CURSOR_INFO saved_cursor{};
    bool keyboard_pushed = false;
    bool line_input = false;   // the game reads a line: an ended input reads as Ctrl-D
    bool input_ended = false;  // during a line read; the name entry then ends the game itself
    HANDLE wake = nullptr;     // set by the control handler
    volatile LONG active = 0;
    volatile LONG quit_requested = 0;
    std::uint64_t clock_high = 0;
    DWORD clock_last = 0;
};

Session session;

constexpr UINT k_timer_resolution_ms = 1;
constexpr UINT k_cp932 = 932;
// How long the control handler gives the game to end by itself before ending it from there.
// Windows kills a process whose window was closed about five seconds after asking.
constexpr DWORD k_quit_grace_ms = 2000;
// The exit status of a program ended with Ctrl-C, as Windows gives it.
constexpr UINT k_interrupted_status = 0xC000013AU;
constexpr char k_end_of_input = 0x04;  // Ctrl-D
// With the escape-sequence back-end: the alternate screen for the run, as on POSIX.
constexpr std::string_view k_enter_sequence = "\x1b[?1049h\x1b[H\x1b[2J";
constexpr std::string_view k_leave_sequence = "\x1b[0m\x1b[?25h\x1b[?1049l";
constexpr std::string_view k_push_keyboard = "\x1b[>11u";
constexpr std::string_view k_pop_keyboard = "\x1b[<u";
constexpr std::string_view k_arrow_left = "\x1b[D";
constexpr std::string_view k_arrow_right = "\x1b[C";
// Console input records taken at once when the escape-sequence back-end reads a console.
constexpr DWORD k_records_per_read = 64;

// The input modes of the run: keys one by one without echo, window and mouse events, Ctrl-C
// to the control handler, and the mouse to the game rather than to text selection.
constexpr DWORD k_input_mode_off = ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT | ENABLE_QUICK_EDIT_MODE |
                                   ENABLE_INSERT_MODE | ENABLE_VIRTUAL_TERMINAL_INPUT;
constexpr DWORD k_input_mode_on =
    ENABLE_PROCESSED_INPUT | ENABLE_WINDOW_INPUT | ENABLE_MOUSE_INPUT | ENABLE_EXTENDED_FLAGS;

void write_bytes(std::string_view bytes) {
    while (!bytes.empty()) {
        DWORD put = 0;
        const auto wanted = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1U << 20U));
        if (WriteFile(session.out, bytes.data(), wanted, &put, nullptr) == 0 || put == 0) {
            return;
        }
        bytes.remove_prefix(put);
    }
}

// The system's message for the last error, written as it comes.
void report_last_error() {
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, GetLastError(), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
        reinterpret_cast<LPSTR>(&text), 0, nullptr);
    if (length != 0 && text != nullptr) {
        std::printf("%s", text);
        std::fflush(stdout);
    }
    LocalFree(text);
}

HANDLE standard_handle(DWORD which) {
    const HANDLE handle = GetStdHandle(which);
    if (handle == INVALID_HANDLE_VALUE) {
        report_last_error();
    }
    return handle;
}

void take_console_input() {
    session.console_in = GetConsoleMode(session.in, &session.saved_in_mode) != 0;
    if (session.console_in) {
        SetConsoleMode(session.in, (session.saved_in_mode & ~k_input_mode_off) | k_input_mode_on);
    }
}

// Text in the last column of the bottom row must not scroll the screen.
void take_console_output() {
    session.console_out = GetConsoleMode(session.out, &session.saved_out_mode) != 0;
    if (!session.console_out) {
        write_bytes(k_enter_sequence);
        return;
    }
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (GetConsoleScreenBufferInfo(session.out, &info) != 0) {
        session.saved_attributes = info.wAttributes;
    }
    GetConsoleCursorInfo(session.out, &session.saved_cursor);
    session.saved_output_cp = GetConsoleOutputCP();
    SetConsoleOutputCP(k_cp932);
    SetConsoleMode(session.out, session.saved_out_mode & ~ENABLE_WRAP_AT_EOL_OUTPUT);
}

// The game's last screen goes, in the colours the console had, as a terminal's alternate
// screen goes: the prompt comes back on a clean console with its own colours and cursor.
void give_console_output_back() {
    if (!session.console_out) {
        if (session.keyboard_pushed) {
            write_bytes(k_pop_keyboard);
        }
        write_bytes(k_leave_sequence);
        return;
    }
    SetConsoleTextAttribute(session.out, session.saved_attributes);
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (GetConsoleScreenBufferInfo(session.out, &info) != 0) {
        const auto cells = static_cast<DWORD>(info.dwSize.X) * static_cast<DWORD>(info.dwSize.Y);
        DWORD done = 0;
        FillConsoleOutputAttribute(session.out, session.saved_attributes, cells, COORD{0, 0},
                                   &done);
        FillConsoleOutputCharacterA(session.out, ' ', cells, COORD{0, 0}, &done);
    }
    SetConsoleCursorPosition(session.out, COORD{0, 0});
    SetConsoleCursorInfo(session.out, &session.saved_cursor);
    SetConsoleMode(session.out, session.saved_out_mode);
    if (session.saved_output_cp != 0) {
        SetConsoleOutputCP(session.saved_output_cp);
    }
}

[[noreturn]] void end_with_status(UINT status) {
    WindowsPlatform::end_session();
    ExitProcess(status);
}

void end_if_asked_to_quit() {
    if (session.quit_requested != 0) {
        end_with_status(k_interrupted_status);
    }
}

BOOL WINAPI on_console_control(DWORD /*event*/) {
    // Ctrl-C, Ctrl-Break, the window closed, logoff, shutdown: all end the game.
    InterlockedExchange(&session.quit_requested, 1);
    if (session.wake != nullptr) {
        SetEvent(session.wake);
    }
    Sleep(k_quit_grace_ms);
    end_with_status(k_interrupted_status);
}

// No key can ever come again, so nothing the game waits for can happen: it ends here as it
// ends by itself, the console given back and status 0.
[[noreturn]] void end_for_want_of_input() {
    end_with_status(0);
}

// Outside a line read the game ends here; during one, the line reads Ctrl-D from now on.
void input_has_ended() {
    if (!session.line_input) {
        end_for_want_of_input();
    }
    session.input_ended = true;
}

void append_utf8(std::string& out, std::uint32_t ch) {
    if (ch < 0x80) {
        out += static_cast<char>(ch);
    } else if (ch < 0x800) {
        out += static_cast<char>(0xC0U | (ch >> 6U));
        out += static_cast<char>(0x80U | (ch & 0x3FU));
    } else {
        out += static_cast<char>(0xE0U | (ch >> 12U));
        out += static_cast<char>(0x80U | ((ch >> 6U) & 0x3FU));
        out += static_cast<char>(0x80U | (ch & 0x3FU));
    }
}

// A console read by the escape-sequence back-end (its output redirected): the keys it reads,
// as a terminal would send them.
std::string console_keys_as_bytes() {
    std::string bytes;
    DWORD waiting = 0;
    while (GetNumberOfConsoleInputEvents(session.in, &waiting) != 0 && waiting > 0) {
        INPUT_RECORD records[k_records_per_read];
        DWORD read = 0;
        if (ReadConsoleInputW(session.in, records, k_records_per_read, &read) == 0 || read == 0) {
            break;
        }
        for (DWORD i = 0; i < read; ++i) {
            const KEY_EVENT_RECORD& key = records[i].Event.KeyEvent;
            if (records[i].EventType != KEY_EVENT || key.bKeyDown == 0) {
                continue;
            }
            if (key.wVirtualKeyCode == VK_LEFT) {
                bytes += k_arrow_left;
            } else if (key.wVirtualKeyCode == VK_RIGHT) {
                bytes += k_arrow_right;
            } else if (key.uChar.UnicodeChar != 0) {
                append_utf8(bytes, key.uChar.UnicodeChar);
            }
        }
    }
    return bytes;
}

std::size_t read_pipe_or_file(std::span<char> buffer) {
    DWORD available = 0;
    const DWORD type = GetFileType(session.in);
    if (type == FILE_TYPE_PIPE) {
        if (PeekNamedPipe(session.in, nullptr, 0, nullptr, &available, nullptr) == 0) {
            input_has_ended();
            return 0;
        }
        if (available == 0) {
            return 0;
        }
    }
    const auto wanted = static_cast<DWORD>(
        std::min<std::size_t>(buffer.size(), type == FILE_TYPE_PIPE ? available : buffer.size()));
    DWORD got = 0;
    if (ReadFile(session.in, buffer.data(), wanted, &got, nullptr) == 0 || got == 0) {
        input_has_ended();
        return 0;
    }
    return got;
}

}  // namespace

int print_in_cp932(const std::function<int()>& print) {
    const UINT saved = GetConsoleOutputCP();
    const bool console = saved != 0 && SetConsoleOutputCP(k_cp932) != 0;
    const int status = print();
    std::fflush(stdout);
    if (console) {
        SetConsoleOutputCP(saved);
    }
    return status;
}

WindowsPlatform::WindowsPlatform(AudioDevice& audio) : audio_(audio) {}

WindowsPlatform::~WindowsPlatform() {
    end_session();
}

void WindowsPlatform::begin_session() {
    session.out = standard_handle(STD_OUTPUT_HANDLE);
    session.in = standard_handle(STD_INPUT_HANDLE);
    session.wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    take_console_input();
    take_console_output();
    timeBeginPeriod(k_timer_resolution_ms);
    InterlockedExchange(&session.active, 1);
    SetConsoleCtrlHandler(on_console_control, TRUE);
    std::atexit(end_session);
}

void WindowsPlatform::end_session() {
    if (InterlockedExchange(&session.active, 0) == 0) {
        return;
    }
    if (session.console_in) {
        SetConsoleMode(session.in, session.saved_in_mode);
    }
    give_console_output_back();
    timeEndPeriod(k_timer_resolution_ms);
}

std::uint64_t WindowsPlatform::now_ms() {
    end_if_asked_to_quit();
    const DWORD now = timeGetTime();
    if (now < session.clock_last) {
        session.clock_high += 1ULL << 32U;
    }
    session.clock_last = now;
    return session.clock_high | now;
}

std::time_t WindowsPlatform::calendar_time() {
    return std::time(nullptr);
}

// The calendar's second, as the game has always been seeded.
unsigned WindowsPlatform::random_seed() {
    return static_cast<unsigned>(calendar_time());
}

void WindowsPlatform::wait_input(std::uint64_t deadline_ms) {
    if (session.input_ended) {
        input_has_ended();
        return;
    }
    const std::uint64_t now = now_ms();
    if (deadline_ms <= now) {
        return;
    }
    const auto timeout =
        static_cast<DWORD>(std::min<std::uint64_t>(deadline_ms - now, INFINITE - 1));
    if (session.console_in) {
        const HANDLE handles[] = {session.in, session.wake};
        WaitForMultipleObjects(2, handles, FALSE, timeout);
    } else if (GetFileType(session.in) == FILE_TYPE_PIPE) {
        // A pipe cannot be waited on: look again after a millisecond.
        WaitForSingleObject(session.wake, std::min<DWORD>(timeout, k_timer_resolution_ms));
    } else {
        WaitForSingleObject(session.wake, timeout);
    }
    end_if_asked_to_quit();
}

std::size_t WindowsPlatform::read_input(std::span<char> buffer) {
    end_if_asked_to_quit();
    if (session.input_ended) {
        input_has_ended();
        buffer[0] = k_end_of_input;
        return 1;
    }
    if (session.console_in) {
        const std::string bytes = console_keys_as_bytes();
        const std::size_t count = std::min(bytes.size(), buffer.size());
        std::copy_n(bytes.begin(), count, buffer.begin());
        return count;
    }
    if (session.in == INVALID_HANDLE_VALUE || session.in == nullptr) {
        input_has_ended();
        return 0;
    }
    return read_pipe_or_file(buffer);
}

void WindowsPlatform::write_output(std::string_view bytes) {
    write_bytes(bytes);
}

TermSize WindowsPlatform::terminal_size() {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!session.console_out || GetConsoleScreenBufferInfo(session.out, &info) == 0) {
        return {};
    }
    return {info.srWindow.Right - info.srWindow.Left + 1,
            info.srWindow.Bottom - info.srWindow.Top + 1};
}

void WindowsPlatform::set_keyboard_protocol(bool pushed) {
    if (session.console_out || pushed == session.keyboard_pushed) {
        return;
    }
    write_bytes(pushed ? k_push_keyboard : k_pop_keyboard);
    session.keyboard_pushed = pushed;
}

void WindowsPlatform::set_line_input(bool on) {
    session.line_input = on;
}

void WindowsPlatform::discard_input() {
    if (session.console_in) {
        FlushConsoleInputBuffer(session.in);
    }
}

void WindowsPlatform::interrupt() {
    end_with_status(k_interrupted_status);
}

std::optional<JoystickPosition> WindowsPlatform::joystick(unsigned number) {
    JOYINFO info{};
    if (joyGetPos(number, &info) != JOYERR_NOERROR) {
        return {};
    }
    return JoystickPosition{info.wXpos, info.wYpos, info.wZpos, info.wButtons};
}

}  // namespace kal
