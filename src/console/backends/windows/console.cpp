#include "console/backends/windows/console.hpp"

#include <algorithm>
#include <array>
#include <atomic>
#include <string>

#include "console/backends/byte_input.hpp"
#include "console/palette.hpp"
#include "console/small_screen_notice.hpp"
#include "console/text.hpp"
#include "platform/windows/platform.hpp"
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

bool is_console(HANDLE handle) {
    DWORD mode = 0;
    return GetConsoleMode(handle, &mode) != 0;
}

// DEL, which terminals ignore.
constexpr wchar_t k_no_column = 0x7F;

// The character of a cell as the console takes it: "?" for one that code page 932 lacks, as
// the game's texts are held to that code page.
wchar_t console_unit(char32_t ch) {
    if (ch < 0x80) {
        return static_cast<wchar_t>(ch);
    }
    return ch <= 0xFFFF && cp932_holds(ch) ? static_cast<wchar_t>(ch) : L'?';
}

// The rectangle of a frame's cells that the console is sent, 1-based and inclusive.
struct Region {
    int left = k_screen_cols + 1;
    int top = k_screen_rows + 1;
    int right = 0;
    int bottom = 0;

    [[nodiscard]] bool empty() const { return right < left; }
    [[nodiscard]] int width() const { return right - left + 1; }
    [[nodiscard]] int height() const { return bottom - top + 1; }
    void take(int x, int y) {
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
    }
};

// Widens the region until no full-width character stands half inside it.
void take_whole_characters(const ScreenBuffer& screen, Region& region) {
    bool widened = true;
    while (widened) {
        widened = false;
        for (int y = region.top; y <= region.bottom; ++y) {
            if (region.left > 1 && screen.at(region.left, y).width == 0) {
                --region.left;
                widened = true;
            }
            if (region.right < k_screen_cols && screen.at(region.right, y).width == 2) {
                ++region.right;
                widened = true;
            }
        }
    }
}

// The calls that changed what the console shows, for the tests and the bench.
std::atomic<std::uint64_t> output_calls{0};

class WindowsConsole final : public ConsoleBackend {
public:
    WindowsConsole(Platform& platform, HANDLE screen, HANDLE input);

    // The console needs no questions: it has its own widths, and exact keys when they come
    // from it.
    bool query(const Frame& /*frame*/) override { return false; }
    [[nodiscard]] const TerminalTraits& traits() const override { return traits_; }
    void set_traits(const TerminalTraits& traits) override { traits_ = traits; }
    // A file or a pipe holds only the characters of keys: their releases are inferred.
    [[nodiscard]] bool exact_keys() const override { return console_input_; }
    // Characters go to the shadow screen alone; each flush puts on the console what changed.
    void put(ScreenBuffer& screen, int x, int y, char32_t ch, int width, int fg, int bg) override {
        screen.put(x, y, ch, width, fg, bg);
    }
    bool clear(int fg, int bg) override;
    void flush(const Frame& frame) override;
    // While the window is too small for the game and the notice covers it.
    [[nodiscard]] bool covered() const override { return too_small_; }
    bool read_events(InputEvents& out, std::uint64_t time_ms) override;
    void begin_line() override { bytes_.set_text_mode(true); }
    void end_line() override { bytes_.set_text_mode(false); }

private:
    struct Clear {
        std::uint8_t fg = 0;
        std::uint8_t bg = 0;
        bool pending = false;
    };

    void learn_full_width_layout();
    void fit_to_window();
    void paint_small_screen_notice(const ConsoleWindow& window);
    void clear_screen_buffer();
    [[nodiscard]] Region changed_region(const ScreenBuffer& screen);
    void write_region(const ScreenBuffer& screen, const Region& region);
    [[nodiscard]] CHAR_INFO console_cell(const ScreenBuffer& screen, int x, int y) const;
    [[nodiscard]] wchar_t trailing_unit(char32_t lead) const;
    void show_cursor(const CursorInfo& cursor, int x, int y);
    void add_key(const KEY_EVENT_RECORD& key, InputEvents& out, std::uint64_t time_ms);
    void add_text(wchar_t unit, InputEvents& out, std::uint64_t time_ms);
    bool read_console_events(InputEvents& out, std::uint64_t time_ms);
    Cell& shown(int x, int y) {
        return shown_[static_cast<std::size_t>((y - 1) * k_screen_cols + (x - 1))];
    }

    HANDLE out_;
    HANDLE in_;
    // Keys come from the console's input records when the standard input is the console, and
    // otherwise as the bytes of a file or a pipe through the platform, decoded as a terminal's.
    bool console_input_;
    ByteInput bytes_;
    TerminalTraits traits_;
    Clear clear_;
    // What the console shows; until the first show, and after the console's buffer changed
    // size, nothing is known and every cell is written.
    std::array<Cell, static_cast<std::size_t>(k_screen_cols* k_screen_rows)> shown_{};
    bool shown_known_ = false;
    // The window's size is looked at before the first frame and again after the console
    // reported a change of size or focus; below 80 x 25 the notice stands instead of the game.
    bool size_stale_ = true;
    bool too_small_ = false;
    // Whether the console lays a full-width character over two cells, as Windows does, or
    // keeps it in one, as Wine does; learnt before the first frame.
    bool layout_known_ = false;
    bool full_width_in_two_cells_ = true;
    std::array<CHAR_INFO, static_cast<std::size_t>(k_screen_cols* k_screen_rows)> cells_{};
    CursorInfo cursor_{};
    bool cursor_known_ = false;
    COORD cursor_at_{-1, -1};
    std::array<INPUT_RECORD, k_records_per_read> records_{};
    wchar_t high_surrogate_ = 0;
};

WindowsConsole::WindowsConsole(Platform& platform, HANDLE screen, HANDLE input)
    : out_(screen), in_(input), console_input_(is_console(input)), bytes_(platform) {}

// The whole screen buffer is cleared in the stored colours at the next flush, before anything
// drawn after it, and the cursor goes to the first cell.
bool WindowsConsole::clear(int fg, int bg) {
    clear_ = Clear{static_cast<std::uint8_t>(fg), static_cast<std::uint8_t>(bg), true};
    return true;
}

// One full-width character written as text at the first cell: the cursor goes two cells on
// where the console gives it two. The first frame, written whole, covers it again.
void WindowsConsole::learn_full_width_layout() {
    layout_known_ = true;
    const wchar_t wide = 0x3042;  // HIRAGANA LETTER A
    DWORD written = 0;
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (SetConsoleCursorPosition(out_, COORD{0, 0}) != 0 &&
        WriteConsoleW(out_, &wide, 1, &written, nullptr) != 0 &&
        GetConsoleScreenBufferInfo(out_, &info) != 0) {
        full_width_in_two_cells_ = info.dwCursorPosition.X != 1;
    }
    output_calls += 2;
    cursor_at_ = COORD{-1, -1};
    shown_known_ = false;
}

// A resize may have moved or wiped what the console showed, so the whole frame is written
// again, or the notice when the window is below 80 x 25.
void WindowsConsole::fit_to_window() {
    size_stale_ = false;
    shown_known_ = false;
    cursor_known_ = false;
    cursor_at_ = COORD{-1, -1};
    const ConsoleWindow window = visible_window(out_);
    too_small_ = too_small_for_game(window.size);
    if (too_small_) {
        paint_small_screen_notice(window);
    }
}

// The notice in the middle of the window on an otherwise blank buffer, written as any frame
// is, with the cursor hidden.
void WindowsConsole::paint_small_screen_notice(const ConsoleWindow& window) {
    ScreenBuffer notice;
    notice.clear(k_light_grey, k_black);
    const NoticePlace place = small_screen_notice_place(window.size);
    int x = std::clamp(window.left + place.x, 1, k_screen_cols - k_small_screen_notice_columns + 1);
    const int y = std::clamp(window.top + place.y, 1, k_screen_rows);
    for (std::size_t at = 0; at < k_small_screen_notice.size();) {
        const char32_t ch = next_code_point(k_small_screen_notice, at);
        const int width = cp932_width(ch);
        notice.put(x, y, ch, width, k_light_grey, k_black);
        x += width;
    }
    Region whole;
    whole.take(1, 1);
    whole.take(k_screen_cols, k_screen_rows);
    write_region(notice, whole);
    const CONSOLE_CURSOR_INFO hidden{cursor_.size, FALSE};
    SetConsoleCursorInfo(out_, &hidden);
    ++output_calls;
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
        output_calls += 2;
        shown_.fill(blank);
    }
    SetConsoleCursorPosition(out_, COORD{0, 0});
    ++output_calls;
    cursor_at_ = COORD{0, 0};
}

// The cells that differ from what the console shows, or every cell when that is not known.
Region WindowsConsole::changed_region(const ScreenBuffer& screen) {
    Region region;
    for (int y = 1; y <= k_screen_rows; ++y) {
        for (int x = 1; x <= k_screen_cols; ++x) {
            if (!shown_known_ || !same_cell(screen.at(x, y), shown(x, y))) {
                region.take(x, y);
            }
        }
    }
    if (!region.empty()) {
        take_whole_characters(screen, region);
    }
    return region;
}

// What the trailing cell of a full-width character holds. Where the console lays the
// character over two cells, the character again. A console that keeps it in one cell (Wine's)
// draws its cells one after another on a terminal, where a wide character already covers the
// trailing cell's column and an ambiguous one (box drawing, "■", ...) is drawn narrow unless the
// traits say otherwise: there the cell holds DEL, which takes no column, or the narrow character
// that keeps the shape ("┏" becomes "┏━"), so that every cell after it stands in its own column.
wchar_t WindowsConsole::trailing_unit(char32_t lead) const {
    if (full_width_in_two_cells_) {
        return console_unit(lead);
    }
    const bool narrow = traits_.ambiguous == AmbiguousWidth::narrow && is_ambiguous_width(lead);
    return narrow ? console_unit(narrow_companion(lead)) : k_no_column;
}

// The console's cell for the game's cell at x, y: a full-width character is a leading cell and
// a trailing one; one that code page 932 lacks is a "?" in each.
CHAR_INFO WindowsConsole::console_cell(const ScreenBuffer& screen, int x, int y) const {
    const Cell& cell = screen.at(x, y);
    CHAR_INFO out{};
    out.Attributes = attribute_of(cell);
    const char32_t ch = cell.width == 0 ? screen.at(x - 1, y).ch : cell.ch;
    out.Char.UnicodeChar = console_unit(ch);
    if (cell.width == 1 || out.Char.UnicodeChar == L'?') {
        return out;
    }
    if (cell.width == 2) {
        out.Attributes |= COMMON_LVB_LEADING_BYTE;
    } else {
        out.Char.UnicodeChar = trailing_unit(ch);
        out.Attributes |= COMMON_LVB_TRAILING_BYTE;
    }
    return out;
}

// The region in one call, the attributes with the characters.
void WindowsConsole::write_region(const ScreenBuffer& screen, const Region& region) {
    const int width = region.width();
    for (int y = region.top; y <= region.bottom; ++y) {
        for (int x = region.left; x <= region.right; ++x) {
            const auto at = static_cast<std::size_t>((y - region.top) * width + (x - region.left));
            cells_[at] = console_cell(screen, x, y);
            shown(x, y) = screen.at(x, y);
        }
    }
    SMALL_RECT rectangle{static_cast<SHORT>(region.left - 1), static_cast<SHORT>(region.top - 1),
                         static_cast<SHORT>(region.right - 1),
                         static_cast<SHORT>(region.bottom - 1)};
    WriteConsoleOutputW(out_, cells_.data(),
                        COORD{static_cast<SHORT>(width), static_cast<SHORT>(region.height())},
                        COORD{0, 0}, &rectangle);
    ++output_calls;
}

void WindowsConsole::show_cursor(const CursorInfo& cursor, int x, int y) {
    if (!cursor_known_ || cursor.visible != cursor_.visible || cursor.size != cursor_.size) {
        const CONSOLE_CURSOR_INFO info{cursor.size, cursor.visible ? TRUE : FALSE};
        SetConsoleCursorInfo(out_, &info);
        ++output_calls;
        cursor_ = cursor;
        cursor_known_ = true;
    }
    const COORD at{static_cast<SHORT>(x - 1), static_cast<SHORT>(y - 1)};
    const bool on_screen = x >= 1 && x <= k_screen_cols && y >= 1 && y <= k_screen_rows;
    if (cursor.visible && on_screen && (at.X != cursor_at_.X || at.Y != cursor_at_.Y)) {
        SetConsoleCursorPosition(out_, at);
        ++output_calls;
        cursor_at_ = at;
    }
}

// Writing cells leaves the console's cursor where it stands: it moves only when the game's
// does, and only while it shows.
void WindowsConsole::flush(const Frame& frame) {
    const ScreenBuffer& screen = frame.screen;
    // With no console to write to, every operation is skipped.
    if (!is_valid(out_)) {
        return;
    }
    if (!layout_known_) {
        learn_full_width_layout();
    }
    if (size_stale_) {
        fit_to_window();
    }
    if (too_small_) {
        return;
    }
    if (clear_.pending) {
        clear_screen_buffer();
    }
    const Region region = changed_region(screen);
    if (!region.empty()) {
        write_region(screen, region);
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

// A file or a pipe answers no question, as none is asked.
bool WindowsConsole::read_events(InputEvents& out, std::uint64_t time_ms) {
    if (console_input_) {
        return read_console_events(out, time_ms);
    }
    InputEvents answers;
    return bytes_.read(out, answers, time_ms);
}

// Records are read with the wide function: a character typed in a name then arrives whole,
// where the narrow one splits a double-byte character over two records.
// Takes only as many records as their events fit; false when none of them gave an event.
// The game looks several times a pass: whether records wait is asked of the input handle,
// which is signalled while they do, and the console's host is asked for them only then.
bool WindowsConsole::read_console_events(InputEvents& out, std::uint64_t time_ms) {
    DWORD waiting = 0;
    if (!is_valid(in_) || WaitForSingleObject(in_, 0) != WAIT_OBJECT_0 ||
        GetNumberOfConsoleInputEvents(in_, &waiting) == 0 || waiting == 0) {
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
        } else if (record.EventType == WINDOW_BUFFER_SIZE_EVENT ||
                   record.EventType == FOCUS_EVENT) {
            // A window resized reports its buffer's size, or only its focus, as the player
            // lets go of its frame.
            size_stale_ = true;
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

std::uint64_t console_output_calls() {
    return output_calls;
}

std::unique_ptr<ConsoleBackend> make_system_console(Platform& platform, HANDLE screen) {
    if (!is_nt_family() || !is_console(screen)) {
        return nullptr;
    }
    return std::make_unique<WindowsConsole>(platform, screen, GetStdHandle(STD_INPUT_HANDLE));
}

}  // namespace kal
