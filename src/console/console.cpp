#include "console/console.hpp"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>

#include "console/line_editor.hpp"
#include "console/text.hpp"

namespace kal {

Console console;

namespace {

constexpr std::uint64_t k_query_wait_ms = 200;
constexpr std::size_t k_event_reserve = 256;
// A frame of the game leaves a few dozen halves of full-width characters behind at most.
constexpr std::size_t k_split_cell_reserve = 64;
constexpr int k_probe_row = 2;
constexpr int k_probe_narrow_column = 2;
constexpr int k_probe_wide_column = 3;
// Blanks part the words of a typed line.
constexpr const char* k_blanks = " \t\r\n\v\f";
// A line being typed waits for input at most this long between two looks at the terminal.
constexpr std::uint64_t k_line_wait_ms = 1000;

enum class JoystickField : std::uint8_t { x, y, z, buttons };

struct JoystickCode {
    int code;
    unsigned joystick;  // the system's joystick number: joystick 1 is number 0
    JoystickField field;
};

constexpr std::array<JoystickCode, 8> k_joystick_codes{{
    {272, 0, JoystickField::x},
    {273, 0, JoystickField::y},
    {274, 0, JoystickField::z},
    {279, 0, JoystickField::buttons},
    {280, 1, JoystickField::x},
    {281, 1, JoystickField::y},
    {282, 1, JoystickField::z},
    {287, 1, JoystickField::buttons},
}};

const JoystickCode* find_joystick_code(int code) {
    const auto* found =
        std::find_if(k_joystick_codes.begin(), k_joystick_codes.end(),
                     [code](const JoystickCode& entry) { return entry.code == code; });
    return found != k_joystick_codes.end() ? found : nullptr;
}

// Positions and buttons come as the system's unsigned words, read as the signed answer.
int joystick_value(const JoystickPosition& position, JoystickField field) {
    switch (field) {
        case JoystickField::x:
            return static_cast<int>(position.x);
        case JoystickField::y:
            return static_cast<int>(position.y);
        case JoystickField::z:
            return static_cast<int>(position.z);
        case JoystickField::buttons:
            break;
    }
    return static_cast<int>(position.buttons);
}

struct ControlKey {
    int code;
    std::uint32_t flags;  // the control-key state bits that hold it down
};

// Shift, Ctrl and Alt follow the control-key state that comes with every key event.
constexpr std::array<ControlKey, 3> k_control_keys{{
    {16, 16},     // Shift
    {17, 4 | 8},  // right or left Ctrl
    {18, 1 | 2},  // right or left Alt
}};

// The mouse buttons hold their own key codes: 1 the leftmost, 2 the rightmost, 4 the second
// from the left, the same bits as in the mouse event's button state.
constexpr std::array<int, 3> k_mouse_buttons{1, 2, 4};

constexpr int k_mouse_column_code = 257;
constexpr int k_mouse_row_code = 258;

bool on_screen(int x, int y) {
    return x >= 1 && x <= k_screen_cols && y >= 1 && y <= k_screen_rows;
}

}  // namespace

Console::Console() {
    pending_events_.reserve(k_event_reserve);
    split_cells_.reserve(k_split_cell_reserve);
}

Console::~Console() {
    detach();
}

void Console::attach(Platform& platform, ConsoleDevice* device) {
    platform_ = &platform;
    device_ = device;
    traits_ = {};
    cursor_info_ = {};
    fg_ = k_white;
    bg_ = k_black;
    x_ = 1;
    y_ = 1;
    terminal_x_ = 0;
    terminal_y_ = 0;
    move_pending_ = false;
    pen_fg_ = -1;
    pen_bg_ = -1;
    too_small_ = false;
    colour_stale_ = false;
    split_cells_.clear();
    key_state_ = {};
    mouse_x_ = -1;
    mouse_y_ = -1;
    decoder_.reset();
    tracker_.reset();
    tracker_.set_exact(device != nullptr);
    pending_events_.clear();
    pending_words_.clear();
    out_.clear();
    screen_.clear(fg_, bg_);
    set_cursor(true, 8);
}

void Console::detach() {
    if (platform_ == nullptr) {
        return;
    }
    for (const auto& entry : voices_) {
        platform_->audio().close(static_cast<std::uint32_t>(entry.first));
    }
    voices_.clear();
    flush();
    platform_ = nullptr;
    device_ = nullptr;
}

void Console::set_traits(const TerminalTraits& traits) {
    traits_ = traits;
    tracker_.set_exact(traits.kitty_keyboard || device_ != nullptr);
}

// The system's console needs no questions: it has exact keys and its own widths.
void Console::query_terminal() {
    if (platform_ == nullptr || device_ != nullptr) {
        return;
    }
    // The probe character goes to row 2, because a report for row 1 column 2 reads like a key.
    emit("\x1b[?u\x1b[2;1H\xe2\x94\x81\x1b[6n\x1b[c");
    query_answered_ = false;
    traits_.kitty_keyboard = false;
    traits_.ambiguous = AmbiguousWidth::narrow;
    const std::uint64_t deadline = now() + k_query_wait_ms;
    while (!query_answered_ && platform_->now_ms() < deadline) {
        platform_->wait_input(deadline);
        take_input();
    }
    // Whatever the probe drew is wiped; the terminal cursor no longer stands where we think.
    emit("\x1b[2;1H\x1b[2K");
    terminal_x_ = 0;
    if (traits_.kitty_keyboard) {
        platform_->set_keyboard_protocol(true);
        tracker_.set_exact(true);
    }
    flush();
}

void Console::answer_query(const InputEvent& event) {
    switch (event.kind) {
        case InputEvent::Kind::kitty_flags:
            if (!query_answered_) {
                traits_.kitty_keyboard = true;
            }
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

void Console::emit(std::string_view bytes) {
    if (!too_small_) {
        out_ += bytes;
    }
}

void Console::emit_locate(int x, int y) {
    std::array<char, 24> sequence{};
    const int length = std::snprintf(sequence.data(), sequence.size(), "\x1b[%d;%dH", y, x);
    emit(std::string_view(sequence.data(), static_cast<std::size_t>(length)));
    terminal_x_ = x;
    terminal_y_ = y;
}

// Reset first, then the foreground, then the background. Bright colours use the bright colour
// codes: bold and blink would make every white screen blink in light grey.
void Console::emit_colour(int fg, int bg) {
    pen_fg_ = fg;
    pen_bg_ = bg;
    const int fg_code = ansi_foreground_code(fg);
    const int bg_code = ansi_foreground_code(bg) + 10;
    std::array<char, 24> sequence{};
    const int length =
        std::snprintf(sequence.data(), sequence.size(), "\x1b[0;%d;%dm", fg_code, bg_code);
    emit(std::string_view(sequence.data(), static_cast<std::size_t>(length)));
}

// The move itself is sent with the next character, or when the output is written while the
// cursor shows: a move that nothing is drawn after changes nothing on the screen.
void Console::locate(int x, int y) {
    x_ = x;
    y_ = y;
    move_pending_ = true;
}

void Console::color(int fg, int bg) {
    if (fg != k_keep) {
        fg_ = fg & 15;
    }
    if (bg != k_keep) {
        bg_ = bg & 15;
    }
    if (fg == k_keep && bg == k_keep) {
        return;
    }
    // Sent with the next character, or when the output is written: colours set and set again
    // before anything is drawn in them are sent once.
    colour_stale_ = true;
}

// The colours the game set, unless the terminal has them in force already. Until the game has
// set any, the terminal keeps its own.
void Console::send_colour() {
    const bool pen_known = pen_fg_ >= 0;
    if ((colour_stale_ || pen_known) && (pen_fg_ != fg_ || pen_bg_ != bg_)) {
        emit_colour(fg_, bg_);
    }
    colour_stale_ = false;
}

bool Console::terminal_at_cursor() const {
    return terminal_x_ == x_ && terminal_y_ == y_ && terminal_x_ != 0;
}

void Console::place_terminal_cursor() {
    if (!terminal_at_cursor() && on_screen(x_, y_)) {
        emit_locate(x_, y_);
    }
}

void Console::bgcolor(int bg) {
    color(k_keep, bg);
}

void Console::cls(int fg, int bg) {
    color(fg, bg);
    screen_.clear(fg_, bg_);
    if (device_ != nullptr) {
        // The system's console clears in the stored colours and homes the cursor.
        device_->clear(fg_, bg_);
        locate(1, 1);
        return;
    }
    split_cells_.clear();
    send_colour();  // the clear takes the terminal's current background
    emit("\x1b[2J");
}

void Console::set_cursor(bool visible, std::uint32_t size) {
    cursor_info_.visible = visible;
    if (size > 0 && size < 100) {
        cursor_info_.size = size;
    }
    if (device_ == nullptr) {
        emit(visible ? "\x1b[?25h" : "\x1b[?25l");
    }
}

void Console::print(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        const char32_t ch = next_code_point(text, pos);
        if (!is_control_character(ch)) {
            put_char(ch);
        }
    }
}

void Console::printf(const char* format, ...) {
    std::array<char, 512> buffer{};
    va_list args;
    va_start(args, format);
    const int length = std::vsnprintf(buffer.data(), buffer.size(), format, args);
    va_end(args);
    if (length > 0) {
        print(std::string_view(buffer.data(),
                               std::min(static_cast<std::size_t>(length), buffer.size() - 1)));
    }
}

void Console::print_cp932(std::string_view field) {
    const std::size_t end = field.find('\0');
    print(cp932_to_utf8(field.substr(0, end)));
}

void Console::put_char(char32_t ch) {
    const int width = cp932_width(ch);
    if (!on_screen(x_, y_) || !on_screen(x_ + width - 1, y_)) {
        x_ += width;  // clipped: nothing reaches the terminal
        return;
    }
    if (device_ != nullptr) {
        screen_.put(x_, y_, ch, width, fg_, bg_);
    } else {
        draw_on_terminal(ch, width);
    }
    move_pending_ = false;
    x_ += width;
}

void Console::draw_on_terminal(char32_t ch, int width) {
    forget_split_cells(x_, y_, width);
    // Writing over one half of a full-width character destroys the other half, and many
    // terminals blank it in their default colours; it is drawn again in its own.
    if (screen_.at(x_, y_).width == 0) {
        split_cells_.push_back({x_ - 1, y_});
    }
    if (screen_.at(x_ + width - 1, y_).width == 2) {
        split_cells_.push_back({x_ + width, y_});
    }
    screen_.put(x_, y_, ch, width, fg_, bg_);
    if (!terminal_at_cursor()) {
        emit_locate(x_, y_);
    }
    send_colour();
    emit_char(ch, width);
    // At the right edge the terminal waits to wrap; the next text needs a fresh position.
    terminal_x_ = x_ + width <= k_screen_cols ? x_ + width : 0;
}

// A half left behind that a later character covers needs no repair.
void Console::forget_split_cells(int x, int y, int width) {
    std::erase_if(split_cells_, [x, y, width](const SplitCell& cell) {
        return cell.y == y && cell.x >= x && cell.x < x + width;
    });
}

void Console::repair_split_cells() {
    for (const SplitCell& cell : split_cells_) {
        const Cell& left_behind = screen_.at(cell.x, cell.y);
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

void Console::emit_char(char32_t ch, int width) {
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

std::uint64_t Console::now() {
    flush();
    return platform_ != nullptr ? platform_->now_ms() : 0;
}

void Console::wait(std::uint64_t ms) {
    const std::uint64_t deadline = now() + ms;
    while (now() < deadline) {
        idle_until(deadline);
    }
}

void Console::idle_until(std::uint64_t deadline) {
    flush();
    if (platform_ == nullptr) {
        return;
    }
    platform_->wait_input(deadline);
    take_input();
}

void Console::flush() {
    if (platform_ == nullptr) {
        out_.clear();
        return;
    }
    if (device_ != nullptr) {
        device_->show(screen_, cursor_info_, x_, y_);
        return;
    }
    if (platform_->take_redraw_request()) {
        handle_redraw_request();
    }
    repair_split_cells();
    // Colours and a move the game asked for last reach the terminal even with nothing drawn
    // after them: the cursor shows where the game left it, as in the name's field.
    if (colour_stale_) {
        send_colour();
    }
    if (cursor_info_.visible && move_pending_) {
        place_terminal_cursor();
    }
    move_pending_ = false;
    if (!out_.empty()) {
        platform_->write_output(out_);
        out_.clear();
    }
}

// The events that came since the last look, from the terminal's bytes or from the system's
// console; false once nothing more came.
bool Console::take_events(InputEvents& events) {
    events.clear();
    if (device_ != nullptr) {
        device_->read_events(events, platform_->now_ms());
        return !events.empty();
    }
    std::array<char, InputEvents::k_capacity> buffer{};
    const std::size_t count = platform_->read_input(buffer);
    const std::uint64_t time = platform_->now_ms();
    if (count == 0) {
        decoder_.timeout(time);
        return false;
    }
    decoder_.feed(std::string_view(buffer.data(), count), time, events);
    return true;
}

void Console::take_input() {
    InputEvents events;
    while (take_events(events)) {
        for (const InputEvent& event : events) {
            if (event.kind == InputEvent::Kind::key || event.kind == InputEvent::Kind::mouse) {
                // A flood of input goes into the key state as it comes, so that the events
                // waiting for the next poll never outgrow their reserve; applying them early
                // gives the same state, as nothing settles before the poll, and the order of
                // keys that came together means nothing in a flood.
                if (pending_events_.size() == k_event_reserve) {
                    for (const InputEvent& waiting : pending_events_) {
                        tracker_.apply(waiting);
                        apply_to_key_table(waiting);
                    }
                    pending_events_.clear();
                }
                pending_events_.push_back(event);
            } else if (event.kind == InputEvent::Kind::interrupt) {
                platform_->interrupt();
            } else {
                answer_query(event);
            }
        }
    }
}

// Events in the order they came, up to a key that must wait for the next poll because it
// came after another key's press.
void Console::apply_pending_events() {
    std::size_t applied = 0;
    for (; applied < pending_events_.size(); ++applied) {
        const InputEvent& event = pending_events_[applied];
        if (tracker_.waits_behind_earlier_press(event)) {
            break;
        }
        tracker_.apply(event);
        apply_to_key_table(event);
    }
    pending_events_.erase(pending_events_.begin(),
                          pending_events_.begin() + static_cast<std::ptrdiff_t>(applied));
}

// Space and the arrows are the tracker's; every other key follows its own events, as the
// system's console reports them: down on a press, up on a release. Every key event sets Shift,
// Ctrl and Alt from its control-key state, and a mouse event moves the mouse and sets its
// buttons.
void Console::apply_to_key_table(const InputEvent& event) {
    const auto set_key = [this](int code, bool down) {
        const auto word = static_cast<std::size_t>(code >> 5);
        const std::uint32_t bit = 1U << (static_cast<unsigned>(code) & 31U);
        key_state_[word] = down ? (key_state_[word] | bit) : (key_state_[word] & ~bit);
    };
    if (event.kind == InputEvent::Kind::mouse) {
        mouse_x_ = static_cast<std::int16_t>(event.column);
        mouse_y_ = static_cast<std::int16_t>(event.row);
        for (const int button : k_mouse_buttons) {
            set_key(button, (event.buttons & static_cast<std::uint32_t>(button)) != 0);
        }
        return;
    }
    if (!KeyStateTracker::tracks(event.code)) {
        set_key(event.code, event.action != KeyAction::release);
    }
    for (const ControlKey& control : k_control_keys) {
        set_key(control.code, (event.control_keys & control.flags) != 0);
    }
}

int Console::inkey(int code) {
    if (const JoystickCode* joystick = find_joystick_code(code)) {
        const std::optional<JoystickPosition> position =
            platform_ != nullptr ? platform_->joystick(joystick->joystick) : std::nullopt;
        return position ? joystick_value(*position, joystick->field) : -1;
    }
    flush();
    if (platform_ != nullptr) {
        take_input();
        apply_pending_events();
        tracker_.settle(platform_->now_ms());
        for (const int key : {k_key_space, k_key_left, k_key_right}) {
            const auto word = static_cast<std::size_t>(key >> 5);
            const std::uint32_t bit = 1U << (static_cast<unsigned>(key) & 31U);
            key_state_[word] =
                tracker_.down(key) ? (key_state_[word] | bit) : (key_state_[word] & ~bit);
        }
    }
    if (code == k_mouse_column_code) {
        return mouse_x_ + 1;
    }
    if (code == k_mouse_row_code) {
        return mouse_y_ + 1;
    }
    const auto key = static_cast<unsigned>(code) & 255U;
    tracker_.note_read(static_cast<int>(key));
    return (key_state_[key >> 5U] >> (key & 31U)) & 1U;
}

bool Console::read_word(std::string& word) {
    for (;;) {
        const std::size_t start = pending_words_.find_first_not_of(k_blanks);
        if (start != std::string::npos) {
            const std::size_t end = pending_words_.find_first_of(k_blanks, start);
            word = pending_words_.substr(start, end - start);
            pending_words_.erase(0, end == std::string::npos ? pending_words_.size() : end);
            return true;
        }
        pending_words_.clear();
        if (platform_ == nullptr) {
            return false;
        }
        const bool read = read_line_in_field(pending_words_);
        // Keys held when the line began were let go while it was typed, and no release of
        // theirs reaches the game: the keyboard protocol was off.
        tracker_.reset();
        key_state_ = {};
        if (!read) {
            pending_words_.clear();
            return false;
        }
    }
}

bool Console::read_line_in_field(std::string& line) {
    // Keys pressed before the question must not turn up in the line, and the keys come as the
    // characters they type.
    platform_->set_keyboard_protocol(false);
    platform_->discard_input();
    platform_->set_line_input(true);
    pending_events_.clear();
    decoder_.set_text_mode(true);
    const int field_x = x_;
    LineEditor editor(traits_.shift_jis);
    echo_line(editor, field_x);
    while (editor.state() == LineEditor::State::typing) {
        flush();
        platform_->wait_input(platform_->now_ms() + k_line_wait_ms);
        if (take_typed(editor)) {
            echo_line(editor, field_x);
        }
    }
    flush();
    decoder_.set_text_mode(false);
    platform_->set_line_input(false);
    platform_->set_keyboard_protocol(traits_.kitty_keyboard);
    line = editor.text();
    return editor.state() == LineEditor::State::line_done;
}

bool Console::take_typed(LineEditor& editor) {
    InputEvents events;
    bool typed = false;
    while (editor.state() == LineEditor::State::typing && take_events(events)) {
        for (const InputEvent& event : events) {
            if (event.kind == InputEvent::Kind::text) {
                editor.type(static_cast<unsigned char>(event.code));
                typed = true;
            } else if (event.kind == InputEvent::Kind::interrupt) {
                platform_->interrupt();
            }
        }
    }
    return typed;
}

// The line as it stands, from the field's first column to the end of the row, with the cursor
// after it: one column is kept free for the cursor, so nothing typed ever reaches the last
// column, wraps or scrolls the screen.
void Console::echo_line(const LineEditor& editor, int field_x) {
    const int columns = k_screen_cols - field_x;
    x_ = field_x;
    print(editor.shown(columns));
    const int cursor_x = x_;
    while (x_ <= k_screen_cols) {
        put_char(U' ');
    }
    locate(cursor_x, y_);
}

void Console::handle_redraw_request() {
    const TermSize size = platform_->terminal_size();
    const bool small = size.cols < k_screen_cols || size.rows < k_screen_rows;
    if (small) {
        too_small_ = false;
        out_.clear();
        paint_small_terminal_notice(size);
        too_small_ = true;
        return;
    }
    too_small_ = false;
    out_.clear();
    repaint();
}

void Console::paint_small_terminal_notice(TermSize size) {
    static constexpr std::string_view k_notice = "80x25 以上に広げて下さい";
    constexpr int k_notice_columns = 24;
    const int x = std::max(1, (size.cols - k_notice_columns) / 2 + 1);
    const int y = std::max(1, (size.rows + 1) / 2);
    emit("\x1b[0m\x1b[2J");
    std::array<char, 24> sequence{};
    const int length = std::snprintf(sequence.data(), sequence.size(), "\x1b[%d;%dH", y, x);
    emit(std::string_view(sequence.data(), static_cast<std::size_t>(length)));
    emit(k_notice);
    terminal_x_ = 0;
    pen_fg_ = -1;
    pen_bg_ = -1;
}

void Console::repaint() {
    split_cells_.clear();
    emit("\x1b[0m\x1b[2J");
    emit(cursor_info_.visible ? "\x1b[?25h" : "\x1b[?25l");
    int fg = -1;
    int bg = -1;
    for (int y = 1; y <= k_screen_rows; ++y) {
        emit_locate(1, y);
        for (int x = 1; x <= k_screen_cols; ++x) {
            const Cell& cell = screen_.at(x, y);
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
    emit_colour(fg_, bg_);
    colour_stale_ = false;
    terminal_x_ = 0;
    place_terminal_cursor();
}

}  // namespace kal
