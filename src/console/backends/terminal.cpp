#include "console/backends/terminal.hpp"

#include <algorithm>
#include <array>
#include <cstdio>

#include "console/palette.hpp"
#include "console/small_screen_notice.hpp"
#include "console/text.hpp"

namespace kal {
namespace {

constexpr std::uint64_t k_query_wait_ms = 200;
// A frame of the game leaves a few dozen halves of full-width characters behind at most.
constexpr std::size_t k_split_cell_reserve = 64;
constexpr int k_probe_row = 2;
constexpr int k_probe_narrow_column = 2;
constexpr int k_probe_wide_column = 3;

bool on_screen(int x, int y) {
    return x >= 1 && x <= k_screen_cols && y >= 1 && y <= k_screen_rows;
}

}  // namespace

TerminalBackend::TerminalBackend(Platform& platform) : platform_(platform), input_(platform) {
    split_cells_.reserve(k_split_cell_reserve);
}

void TerminalBackend::start() {
    traits_ = {};
    terminal_x_ = 0;
    terminal_y_ = 0;
    pen_fg_ = -1;
    pen_bg_ = -1;
    move_pending_ = false;
    too_small_ = false;
    size_checked_ = false;
    colour_stale_ = false;
    split_cells_.clear();
    input_.reset();
    held_.clear();
    out_.clear();
}

bool TerminalBackend::query(const Frame& frame) {
    if (!platform_.input_is_terminal()) {
        return false;  // the answers would reach the shell, not the game
    }
    // The questions are asked whatever the terminal's size, so they go out past the notice of
    // a terminal too small for the game. The probe character goes to row 2, because a report
    // for row 1 column 2 reads like a key.
    if (!size_checked_) {
        fit_to_terminal(frame, false);
    }
    out_ += "\x1b[?u\x1b[2;1H\xe2\x94\x81\x1b[6n\x1b[c";
    query_answered_ = false;
    traits_.kitty_keyboard = false;
    traits_.ambiguous = AmbiguousWidth::narrow;
    flush(frame);
    const std::uint64_t deadline = platform_.now_ms() + k_query_wait_ms;
    InputEvents events;
    while (!query_answered_ && platform_.now_ms() < deadline) {
        platform_.wait_input(deadline);
        events.clear();
        while (read_events(events, platform_.now_ms())) {
            held_.insert(held_.end(), events.begin(), events.end());
            events.clear();
        }
    }
    // The wait is over: an answer that comes later changes nothing for the rest of the run.
    query_answered_ = true;
    wipe_probe();
    if (traits_.kitty_keyboard) {
        platform_.set_keyboard_protocol(true);
    }
    return true;
}

// Whatever the probe drew is wiped, or the notice painted again over it; the terminal cursor
// no longer stands where we think.
void TerminalBackend::wipe_probe() {
    if (too_small_) {
        paint_small_terminal_notice(platform_.terminal_size());
    } else {
        emit("\x1b[2;1H\x1b[2K");
    }
    terminal_x_ = 0;
}

void TerminalBackend::answer_query(const InputEvent& event) {
    if (query_answered_) {
        return;
    }
    switch (event.kind) {
        case InputEvent::Kind::kitty_flags:
            traits_.kitty_keyboard = true;
            break;
        case InputEvent::Kind::cursor_report:
            if (event.row == k_probe_row && event.column == k_probe_narrow_column) {
                traits_.ambiguous = AmbiguousWidth::narrow;
            } else if (event.row == k_probe_row && event.column == k_probe_wide_column) {
                traits_.ambiguous = AmbiguousWidth::wide;
            }
            break;
        case InputEvent::Kind::device_attributes:
            query_answered_ = true;
            break;
        default:
            break;
    }
}

bool TerminalBackend::read_events(InputEvents& out, std::uint64_t time_ms) {
    if (!held_.empty()) {
        const std::size_t count = std::min(held_.size(), InputEvents::k_capacity - out.size());
        for (std::size_t i = 0; i < count; ++i) {
            out.push(held_[i]);
        }
        held_.erase(held_.begin(), held_.begin() + static_cast<std::ptrdiff_t>(count));
        return true;
    }
    InputEvents answers;
    if (!input_.read(out, answers, time_ms)) {
        return false;
    }
    for (const InputEvent& event : answers) {
        answer_query(event);
    }
    return true;
}

// Keys pressed before the line must not turn up in it, and the keys come as the characters
// they type: the keyboard protocol is popped while the line is typed.
void TerminalBackend::begin_line() {
    platform_.set_keyboard_protocol(false);
    input_.set_text_mode(true);
}

void TerminalBackend::end_line() {
    input_.set_text_mode(false);
    platform_.set_keyboard_protocol(traits_.kitty_keyboard);
}

void TerminalBackend::emit(std::string_view bytes) {
    if (!too_small_) {
        out_ += bytes;
    }
}

void TerminalBackend::emit_locate(int x, int y) {
    std::array<char, 24> sequence{};
    const int length = std::snprintf(sequence.data(), sequence.size(), "\x1b[%d;%dH", y, x);
    emit(std::string_view(sequence.data(), static_cast<std::size_t>(length)));
    terminal_x_ = x;
    terminal_y_ = y;
}

// Reset first, then the foreground, then the background. Bright colours use the bright colour
// codes: bold and blink would make every white screen blink in light grey.
void TerminalBackend::emit_colour(int fg, int bg) {
    pen_fg_ = fg;
    pen_bg_ = bg;
    const int fg_code = ansi_foreground_code(fg);
    const int bg_code = ansi_foreground_code(bg) + 10;
    std::array<char, 24> sequence{};
    const int length =
        std::snprintf(sequence.data(), sequence.size(), "\x1b[0;%d;%dm", fg_code, bg_code);
    emit(std::string_view(sequence.data(), static_cast<std::size_t>(length)));
}

// The colours the game set, unless the terminal has them in force already. Until the game has
// set any, the terminal keeps its own.
void TerminalBackend::send_colour(int fg, int bg) {
    const bool pen_known = pen_fg_ >= 0;
    if ((colour_stale_ || pen_known) && (pen_fg_ != fg || pen_bg_ != bg)) {
        emit_colour(fg, bg);
    }
    colour_stale_ = false;
}

bool TerminalBackend::terminal_at(int x, int y) const {
    return terminal_x_ == x && terminal_y_ == y && terminal_x_ != 0;
}

void TerminalBackend::cursor_changed(const CursorInfo& cursor) {
    emit(cursor.visible ? "\x1b[?25h" : "\x1b[?25l");
}

bool TerminalBackend::clear(int fg, int bg) {
    split_cells_.clear();
    send_colour(fg, bg);  // the clear takes the terminal's current background
    emit("\x1b[2J");
    return false;
}

void TerminalBackend::put(ScreenBuffer& screen, int x, int y, char32_t ch, int width, int fg,
                          int bg) {
    forget_split_cells(x, y, width);
    // Writing over one half of a full-width character destroys the other half, and many
    // terminals blank it in their default colours; it is drawn again in its own.
    if (screen.at(x, y).width == 0) {
        split_cells_.push_back({x - 1, y});
    }
    if (screen.at(x + width - 1, y).width == 2) {
        split_cells_.push_back({x + width, y});
    }
    screen.put(x, y, ch, width, fg, bg);
    if (!terminal_at(x, y)) {
        emit_locate(x, y);
    }
    send_colour(fg, bg);
    emit_char(ch, width);
    move_pending_ = false;
    // At the right edge the terminal waits to wrap; the next text needs a fresh position.
    terminal_x_ = x + width <= k_screen_cols ? x + width : 0;
}

// A half left behind that a later character covers needs no repair.
void TerminalBackend::forget_split_cells(int x, int y, int width) {
    std::erase_if(split_cells_, [x, y, width](const SplitCell& cell) {
        return cell.y == y && cell.x >= x && cell.x < x + width;
    });
}

void TerminalBackend::repair_split_cells(const ScreenBuffer& screen) {
    for (const SplitCell& cell : split_cells_) {
        const Cell& left_behind = screen.at(cell.x, cell.y);
        if (terminal_x_ != cell.x || terminal_y_ != cell.y) {
            emit_locate(cell.x, cell.y);
        }
        if (pen_fg_ != left_behind.fg || pen_bg_ != left_behind.bg) {
            emit_colour(left_behind.fg, left_behind.bg);
        }
        emit(" ");
        terminal_x_ = cell.x < k_screen_cols ? cell.x + 1 : 0;
    }
    split_cells_.clear();
}

void TerminalBackend::emit_char(char32_t ch, int width) {
    std::string bytes;
    if (traits_.shift_jis) {
        std::string utf8;
        append_utf8(utf8, ch);
        if (!utf8_to_cp932(utf8, bytes)) {
            bytes.assign(static_cast<std::size_t>(width), '?');
        }
    } else {
        append_utf8(bytes, ch);
        if (width == 2 && traits_.ambiguous == AmbiguousWidth::narrow && is_ambiguous_width(ch)) {
            append_utf8(bytes, narrow_companion(ch));
        }
    }
    emit(bytes);
}

void TerminalBackend::flush(const Frame& frame) {
    const bool redraw = platform_.take_redraw_request();
    if (redraw || !size_checked_) {
        fit_to_terminal(frame, redraw);
    }
    repair_split_cells(frame.screen);
    // Colours and a move the game asked for last reach the terminal even with nothing drawn
    // after them: the cursor shows where the game left it, as in the name's field.
    if (colour_stale_) {
        send_colour(frame.fg, frame.bg);
    }
    if (frame.cursor.visible && move_pending_ && !terminal_at(frame.x, frame.y) &&
        on_screen(frame.x, frame.y)) {
        emit_locate(frame.x, frame.y);
    }
    move_pending_ = false;
    if (!out_.empty()) {
        platform_.write_output(out_);
        out_.clear();
    }
}

// A terminal below 80 x 25 shows the notice instead of the game, from the first frame on. One
// resized, or the game resumed, gets the whole screen again once it is large enough.
void TerminalBackend::fit_to_terminal(const Frame& frame, bool redraw) {
    size_checked_ = true;
    const TermSize size = platform_.terminal_size();
    const bool small = too_small_for_game(size);
    if (!small && !redraw) {
        return;
    }
    too_small_ = small;
    out_.clear();
    if (small) {
        paint_small_terminal_notice(size);
        return;
    }
    repaint(frame);
}

// Written past the hold on output while the terminal is too small: the notice is what it
// shows then.
void TerminalBackend::paint_small_terminal_notice(TermSize size) {
    const NoticePlace place = small_screen_notice_place(size);
    std::array<char, 24> sequence{};
    const int length =
        std::snprintf(sequence.data(), sequence.size(), "\x1b[%d;%dH", place.y, place.x);
    out_ += "\x1b[0m\x1b[2J";
    out_ += std::string_view(sequence.data(), static_cast<std::size_t>(length));
    out_ += k_small_screen_notice;
    terminal_x_ = 0;
    pen_fg_ = -1;
    pen_bg_ = -1;
}

void TerminalBackend::repaint(const Frame& frame) {
    split_cells_.clear();
    emit("\x1b[0m\x1b[2J");
    emit(frame.cursor.visible ? "\x1b[?25h" : "\x1b[?25l");
    int fg = -1;
    int bg = -1;
    for (int y = 1; y <= k_screen_rows; ++y) {
        emit_locate(1, y);
        for (int x = 1; x <= k_screen_cols; ++x) {
            const Cell& cell = frame.screen.at(x, y);
            if (cell.width == 0) {
                continue;
            }
            if (cell.fg != fg || cell.bg != bg) {
                fg = cell.fg;
                bg = cell.bg;
                emit_colour(fg, bg);
            }
            emit_char(cell.ch, cell.width);
        }
    }
    emit_colour(frame.fg, frame.bg);
    colour_stale_ = false;
    terminal_x_ = 0;
    if (on_screen(frame.x, frame.y)) {
        emit_locate(frame.x, frame.y);
    }
}

}  // namespace kal
