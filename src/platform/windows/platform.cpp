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
    // The buffer the player saw when the game started, and the game's own.
    HANDLE player_screen = INVALID_HANDLE_VALUE;
    HANDLE game_screen = INVALID_HANDLE_VALUE;
    DWORD saved_in_mode = 0;
    UINT saved_output_cp = 0;
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

bool is_valid(HANDLE handle) {
    return handle != INVALID_HANDLE_VALUE && handle != nullptr;
}

void close_screen(HANDLE& screen) {
    if (is_valid(screen)) {
        CloseHandle(screen);
    }
    screen = INVALID_HANDLE_VALUE;
}

// 80 x 25, the window as well as the buffer. A window never stands larger than its buffer, so
// it shrinks to a cell first; where the console cannot show 80 x 25, the window stays smaller
// and the game shows its notice.
void size_game_screen(HANDLE screen) {
    constexpr TermSize k_game{};
    constexpr SMALL_RECT k_one_cell{0, 0, 0, 0};
    constexpr SMALL_RECT k_game_window{0, 0, k_game.cols - 1, k_game.rows - 1};
    SetConsoleWindowInfo(screen, TRUE, &k_one_cell);
    SetConsoleScreenBufferSize(screen, COORD{k_game.cols, k_game.rows});
    SetConsoleWindowInfo(screen, TRUE, &k_game_window);
}

// The game draws on a buffer of its own, as a terminal's alternate screen: the player's, with
// its text, its history and its size, stays underneath. CONOUT$ names the buffer shown now,
// where the standard handle may follow whichever is shown (it does under Wine), so the player's
// is held by that name to be shown again at the end. Text in the last column of the bottom row
// must not scroll the game's screen.
void open_game_screen() {
    constexpr DWORD k_access = GENERIC_READ | GENERIC_WRITE;
    constexpr DWORD k_sharing = FILE_SHARE_READ | FILE_SHARE_WRITE;
    session.player_screen =
        CreateFileW(L"CONOUT$", k_access, k_sharing, nullptr, OPEN_EXISTING, 0, nullptr);
    session.game_screen =
        CreateConsoleScreenBuffer(k_access, k_sharing, nullptr, CONSOLE_TEXTMODE_BUFFER, nullptr);
    if (!is_valid(session.player_screen) || !is_valid(session.game_screen)) {
        close_screen(session.game_screen);
        return;
    }
    size_game_screen(session.game_screen);
    SetConsoleMode(session.game_screen, ENABLE_PROCESSED_OUTPUT);
    if (SetConsoleActiveScreenBuffer(session.game_screen) == 0) {
        close_screen(session.game_screen);
    }
}

void take_console_output() {
    DWORD mode = 0;
    session.console_out = GetConsoleMode(session.out, &mode) != 0;
    if (!session.console_out) {
        write_bytes(k_enter_sequence);
        return;
    }
    GetConsoleCursorInfo(session.out, &session.saved_cursor);
    session.saved_output_cp = GetConsoleOutputCP();
    SetConsoleOutputCP(k_cp932);
    open_game_screen();
}

// The player's buffer is shown again as it was, and the game's goes. Where the game had no
// buffer of its own, it drew on the player's, whose cursor then comes back as it was found.
void give_console_output_back() {
    if (!session.console_out) {
        if (session.keyboard_pushed) {
            write_bytes(k_pop_keyboard);
        }
        write_bytes(k_leave_sequence);
        return;
    }
    if (is_valid(session.game_screen)) {
        SetConsoleActiveScreenBuffer(session.player_screen);
        close_screen(session.game_screen);
    } else {
        SetConsoleCursorInfo(session.out, &session.saved_cursor);
    }
    close_screen(session.player_screen);
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

HANDLE game_screen_buffer() {
    return is_valid(session.game_screen) ? session.game_screen : GetStdHandle(STD_OUTPUT_HANDLE);
}

ConsoleWindow visible_window(HANDLE screen) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (GetConsoleScreenBufferInfo(screen, &info) == 0) {
        return {};
    }
    const COORD largest = GetLargestConsoleWindowSize(screen);
    const int cols = info.srWindow.Right - info.srWindow.Left + 1;
    const int rows = info.srWindow.Bottom - info.srWindow.Top + 1;
    return {info.srWindow.Left, info.srWindow.Top,
            TermSize{largest.X > 0 ? std::min<int>(cols, largest.X) : cols,
                     largest.Y > 0 ? std::min<int>(rows, largest.Y) : rows}};
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
    write_parting_words();
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
    return session.console_out ? visible_window(game_screen_buffer()).size : TermSize{};
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
