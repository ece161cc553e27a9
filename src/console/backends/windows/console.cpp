#include "console/backends/windows/console.hpp"

#include <array>
#include <string>

#include "console/text.hpp"
#include "platform/code_page.hpp"
#include "platform/windows/system.hpp"

namespace kal {
namespace {

// Input records taken per read: each gives at most one key event and the few bytes of one
// character, so that their events always fit.
constexpr std::size_t k_records_per_read = 12;
constexpr WORD k_largest_key_code = 255;

WORD attribute_of(const Cell& cell) {
    return static_cast<WORD>(((cell.bg & 15U) << 4U) | (cell.fg & 15U));
}

bool same_cell(const Cell& a, const Cell& b) {
    return a.ch == b.ch && a.fg == b.fg && a.bg == b.bg && a.width == b.width;
}

bool is_valid(HANDLE handle) {
    return handle != INVALID_HANDLE_VALUE && handle != nullptr;
}

// Code page 932 bytes of the characters, each that code page 932 lacks as "?" over its columns.
std::string cp932_text(const std::u32string& characters) {
    std::string utf8;
    for (const char32_t ch : characters) {
        append_utf8(utf8, ch);
    }
    std::string bytes;
    if (utf8_to_cp932_bytes(utf8, bytes)) {
        return bytes;
    }
    bytes.clear();
    for (const char32_t ch : characters) {
        std::string one;
        append_utf8(one, ch);
        if (!utf8_to_cp932_bytes(one, bytes)) {
            bytes.append(static_cast<std::size_t>(cp932_width(ch)), '?');
        }
    }
    return bytes;
}

class WindowsConsole final : public ConsoleBackend {
public:
    WindowsConsole() : out_(GetStdHandle(STD_OUTPUT_HANDLE)), in_(GetStdHandle(STD_INPUT_HANDLE)) {}

    // The console needs no questions: it has exact keys and its own widths.
    bool query(const Frame& /*frame*/) override { return false; }
    [[nodiscard]] const TerminalTraits& traits() const override { return traits_; }
    void set_traits(const TerminalTraits& traits) override { traits_ = traits; }
    [[nodiscard]] bool exact_keys() const override { return true; }
    // Characters go to the shadow screen alone; each flush puts on the console what changed.
    void put(ScreenBuffer& screen, int x, int y, char32_t ch, int width, int fg, int bg) override {
        screen.put(x, y, ch, width, fg, bg);
    }
    bool clear(int fg, int bg) override;
    void flush(const Frame& frame) override;
    bool read_events(InputEvents& out, std::uint64_t time_ms) override;

private:
    struct Clear {
        std::uint8_t fg = 0;
        std::uint8_t bg = 0;
        bool pending = false;
    };

    void clear_screen_buffer();
    void write_row(const ScreenBuffer& screen, int y);
    void show_cursor(const CursorInfo& cursor, int x, int y);
    void set_attribute(WORD attribute);
    void add_key(const KEY_EVENT_RECORD& key, InputEvents& out, std::uint64_t time_ms);
    void add_text(wchar_t unit, InputEvents& out, std::uint64_t time_ms);
    Cell& shown(int x, int y) {
        return shown_[static_cast<std::size_t>((y - 1) * k_screen_cols + (x - 1))];
    }

    HANDLE out_;
    HANDLE in_;
    TerminalTraits traits_;
    Clear clear_;
    // What the console shows; until the first show, and after the console's buffer changed
    // size, nothing is known and every row is written.
    std::array<Cell, static_cast<std::size_t>(k_screen_cols* k_screen_rows)> shown_{};
    bool shown_known_ = false;
    WORD attribute_ = 0;
    bool attribute_known_ = false;
    CursorInfo cursor_{};
    bool cursor_known_ = false;
    COORD cursor_at_{-1, -1};
    std::array<INPUT_RECORD, k_records_per_read> records_{};
    wchar_t high_surrogate_ = 0;
};

// The whole screen buffer is cleared in the stored colours at the next flush, before anything
// drawn after it, and the cursor goes to the first cell.
bool WindowsConsole::clear(int fg, int bg) {
    clear_ = Clear{static_cast<std::uint8_t>(fg), static_cast<std::uint8_t>(bg), true};
    return true;
}

// The whole screen buffer, its size and not only the window: every cell's attribute, then every
// cell's character, and the cursor to the first cell.
void WindowsConsole::clear_screen_buffer() {
    clear_.pending = false;
    const Cell blank{U' ', clear_.fg, clear_.bg, 1};
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (GetConsoleScreenBufferInfo(out_, &info) != 0) {
        const auto cells = static_cast<DWORD>(info.dwSize.X) * static_cast<DWORD>(info.dwSize.Y);
        DWORD done = 0;
        FillConsoleOutputAttribute(out_, attribute_of(blank), cells, COORD{0, 0}, &done);
        FillConsoleOutputCharacterA(out_, ' ', cells, COORD{0, 0}, &done);
        shown_.fill(blank);
    }
    SetConsoleCursorPosition(out_, COORD{0, 0});
    cursor_at_ = COORD{0, 0};
}

void WindowsConsole::set_attribute(WORD attribute) {
    if (!attribute_known_ || attribute != attribute_) {
        SetConsoleTextAttribute(out_, attribute);
        attribute_ = attribute;
        attribute_known_ = true;
    }
}

// A changed row is written whole from its first column, one write per run of one colour pair:
// a full-width character then never stands half overwritten, and the writes of a frame stay
// few.
void WindowsConsole::write_row(const ScreenBuffer& screen, int y) {
    SetConsoleCursorPosition(out_, COORD{0, static_cast<SHORT>(y - 1)});
    cursor_at_ = COORD{-1, -1};
    int x = 1;
    std::u32string run;
    while (x <= k_screen_cols) {
        const WORD attribute = attribute_of(screen.at(x, y));
        run.clear();
        for (; x <= k_screen_cols && attribute_of(screen.at(x, y)) == attribute; ++x) {
            const Cell& cell = screen.at(x, y);
            if (cell.width != 0) {
                run += cell.ch;
            }
            shown(x, y) = cell;
        }
        const std::string bytes = cp932_text(run);
        set_attribute(attribute);
        DWORD written = 0;
        WriteConsoleA(out_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }
}

void WindowsConsole::show_cursor(const CursorInfo& cursor, int x, int y) {
    if (!cursor_known_ || cursor.visible != cursor_.visible || cursor.size != cursor_.size) {
        const CONSOLE_CURSOR_INFO info{cursor.size, cursor.visible ? TRUE : FALSE};
        SetConsoleCursorInfo(out_, &info);
        cursor_ = cursor;
        cursor_known_ = true;
    }
    const COORD at{static_cast<SHORT>(x - 1), static_cast<SHORT>(y - 1)};
    const bool on_screen = x >= 1 && x <= k_screen_cols && y >= 1 && y <= k_screen_rows;
    if (cursor.visible && on_screen && (at.X != cursor_at_.X || at.Y != cursor_at_.Y)) {
        SetConsoleCursorPosition(out_, at);
        cursor_at_ = at;
    }
}

void WindowsConsole::flush(const Frame& frame) {
    const ScreenBuffer& screen = frame.screen;
    // With no console to write to, every operation is skipped.
    if (!is_valid(out_)) {
        return;
    }
    if (clear_.pending) {
        clear_screen_buffer();
    }
    for (int row = 1; row <= k_screen_rows; ++row) {
        bool same = shown_known_;
        for (int column = 1; same && column <= k_screen_cols; ++column) {
            same = same_cell(screen.at(column, row), shown(column, row));
        }
        if (!same) {
            write_row(screen, row);
        }
    }
    shown_known_ = true;
    show_cursor(frame.cursor, frame.x, frame.y);
}

void WindowsConsole::add_text(wchar_t unit, InputEvents& out, std::uint64_t time_ms) {
    char32_t ch = unit;
    if (unit >= 0xD800 && unit <= 0xDBFF) {
        high_surrogate_ = unit;
        return;
    }
    if (unit >= 0xDC00 && unit <= 0xDFFF) {
        if (high_surrogate_ == 0) {
            return;
        }
        ch = 0x10000 + ((static_cast<char32_t>(high_surrogate_) - 0xD800) << 10U) +
             (static_cast<char32_t>(unit) - 0xDC00);
    }
    high_surrogate_ = 0;
    std::string utf8;
    append_utf8(utf8, ch);
    for (const char byte : utf8) {
        InputEvent text;
        text.kind = InputEvent::Kind::text;
        text.code = static_cast<unsigned char>(byte);
        text.time_ms = time_ms;
        out.push(text);
    }
}

// Keys beyond code 255 are ignored whole, their control-key state included.
void WindowsConsole::add_key(const KEY_EVENT_RECORD& key, InputEvents& out, std::uint64_t time_ms) {
    if (key.wVirtualKeyCode > k_largest_key_code) {
        return;
    }
    InputEvent event;
    event.kind = InputEvent::Kind::key;
    event.code = key.wVirtualKeyCode;
    event.action = key.bKeyDown != 0 ? KeyAction::press : KeyAction::release;
    event.control_keys = key.dwControlKeyState;
    event.time_ms = time_ms;
    out.push(event);
    if (key.bKeyDown != 0 && key.uChar.UnicodeChar != 0) {
        add_text(key.uChar.UnicodeChar, out, time_ms);
    }
}

// Records are read with the wide function: a character typed in a name then arrives whole,
// where the narrow one splits a double-byte character over two records.
// Takes only as many records as their events fit; false when none of them gave an event.
bool WindowsConsole::read_events(InputEvents& out, std::uint64_t time_ms) {
    DWORD waiting = 0;
    if (!is_valid(in_) || GetNumberOfConsoleInputEvents(in_, &waiting) == 0 || waiting == 0) {
        return false;
    }
    DWORD read = 0;
    const DWORD wanted = std::min<DWORD>(waiting, k_records_per_read);
    if (ReadConsoleInputW(in_, records_.data(), wanted, &read) == 0) {
        return false;
    }
    const std::size_t before = out.size();
    for (DWORD i = 0; i < read; ++i) {
        const INPUT_RECORD& record = records_[i];
        if (record.EventType == KEY_EVENT) {
            add_key(record.Event.KeyEvent, out, time_ms);
        } else if (record.EventType == MOUSE_EVENT) {
            const MOUSE_EVENT_RECORD& mouse = record.Event.MouseEvent;
            InputEvent event;
            event.kind = InputEvent::Kind::mouse;
            event.column = mouse.dwMousePosition.X;
            event.row = mouse.dwMousePosition.Y;
            event.buttons = mouse.dwButtonState;
            event.time_ms = time_ms;
            out.push(event);
        } else if (record.EventType == WINDOW_BUFFER_SIZE_EVENT) {
            // Resizing may have moved or wiped what the console showed.
            shown_known_ = false;
        }
    }
    return out.size() > before;
}

bool is_nt_family() {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof(version);
    GetVersionExA(&version);
    return version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

}  // namespace

std::unique_ptr<ConsoleBackend> make_system_console() {
    DWORD mode = 0;
    if (!is_nt_family() || GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) == 0) {
        return nullptr;
    }
    return std::make_unique<WindowsConsole>();
}

}  // namespace kal
