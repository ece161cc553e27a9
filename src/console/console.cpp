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

constexpr std::size_t k_event_reserve = 256;
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
}

Console::~Console() {
    detach();
}

void Console::attach(Platform& platform, ConsoleBackend& backend) {
    platform_ = &platform;
    backend_ = &backend;
    backend_->start();
    cursor_info_ = {};
    fg_ = k_white;
    bg_ = k_black;
    x_ = 1;
    y_ = 1;
    key_state_ = {};
    mouse_x_ = -1;
    mouse_y_ = -1;
    tracker_.reset();
    tracker_.set_exact(backend_->exact_keys());
    pending_events_.clear();
    pending_words_.clear();
    covered_ms_ = 0;
    covered_since_.reset();
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
    backend_ = nullptr;
}

const TerminalTraits& Console::traits() const {
    static const TerminalTraits k_unattached;
    return backend_ != nullptr ? backend_->traits() : k_unattached;
}

void Console::set_traits(const TerminalTraits& traits) {
    backend_->set_traits(traits);
    tracker_.set_exact(backend_->exact_keys());
}

void Console::query_terminal() {
    if (backend_ != nullptr && backend_->query(frame())) {
        tracker_.set_exact(backend_->exact_keys());
        flush();
    }
}

Frame Console::frame() const {
    return Frame{screen_, cursor_info_, x_, y_, fg_, bg_};
}

// The move takes effect with the next character, or when the output is written while the
// cursor shows: a move that nothing is drawn after changes nothing on the screen.
void Console::locate(int x, int y) {
    x_ = x;
    y_ = y;
    if (backend_ != nullptr) {
        backend_->moved();
    }
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
    // Taken with the next character, or when the output is written: colours set and set again
    // before anything is drawn in them are sent once.
    if (backend_ != nullptr) {
        backend_->colour_set();
    }
}

void Console::bgcolor(int bg) {
    color(k_keep, bg);
}

void Console::cls(int fg, int bg) {
    color(fg, bg);
    screen_.clear(fg_, bg_);
    if (backend_ != nullptr && backend_->clear(fg_, bg_)) {
        locate(1, 1);
    }
}

void Console::set_cursor(bool visible, std::uint32_t size) {
    cursor_info_.visible = visible;
    if (size > 0 && size < 100) {
        cursor_info_.size = size;
    }
    if (backend_ != nullptr) {
        backend_->cursor_changed(cursor_info_);
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
    if (!on_screen(x_, y_) || !on_screen(x_ + width - 1, y_) || backend_ == nullptr) {
        x_ += width;  // clipped: nothing reaches the screen
        return;
    }
    backend_->put(screen_, x_, y_, ch, width, fg_, bg_);
    x_ += width;
}

std::uint64_t Console::now() {
    flush();
    return platform_ != nullptr ? game_time(platform_->now_ms()) : 0;
}

// The platform's clock less the time the notice covered the screen: while it does, the game's
// clock stands where it was when the notice went up.
std::uint64_t Console::game_time(std::uint64_t platform_ms) const {
    return covered_since_.value_or(platform_ms) - covered_ms_;
}

// The notice goes up and comes down only as the output is written.
void Console::note_cover() {
    if (backend_->covered() == covered_since_.has_value()) {
        return;
    }
    const std::uint64_t platform_ms = platform_->now_ms();
    if (covered_since_) {
        covered_ms_ += platform_ms - *covered_since_;
        covered_since_.reset();
    } else {
        covered_since_ = platform_ms;
    }
}

void Console::wait(std::uint64_t ms) {
    const std::uint64_t deadline = now() + ms;
    while (now() < deadline) {
        idle_until(deadline);
    }
}

bool Console::idle_until(std::uint64_t deadline) {
    flush();
    if (platform_ == nullptr) {
        return false;
    }
    // While the notice covers the screen the game's deadline moves away as fast as the time
    // goes: the wait lasts what is left of it, and the caller waits again. The key state may
    // ask to be looked at sooner, to tell a tap from a held key's repeat.
    const std::uint64_t platform_ms = platform_->now_ms();
    const std::uint64_t game_ms = game_time(platform_ms);
    const std::uint64_t until = platform_ms + (deadline > game_ms ? deadline - game_ms : 0);
    platform_->wait_input(std::min(until, tracker_.next_decision_ms(platform_ms)));
    return take_input();
}

void Console::flush() {
    if (platform_ != nullptr) {
        backend_->flush(frame());
        note_cover();
    }
}

// The events that came since the last look; false once nothing more came.
bool Console::take_events(InputEvents& events) {
    events.clear();
    return backend_->read_events(events, platform_->now_ms());
}

bool Console::take_input() {
    const std::size_t events_before = pending_events_.size();
    bool flood = false;
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
                    flood = true;
                }
                pending_events_.push_back(event);
            } else if (event.kind == InputEvent::Kind::interrupt) {
                platform_->interrupt();
            } else if (event.kind == InputEvent::Kind::suspend) {
                platform_->suspend();
            }
        }
    }
    return flood || pending_events_.size() > events_before;
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

void Console::drop_unread_keys() {
    if (platform_ == nullptr) {
        return;
    }
    take_input();
    for (const InputEvent& event : pending_events_) {
        tracker_.apply(event);
        apply_to_key_table(event);
    }
    pending_events_.clear();
    tracker_.drop_unread();
}

bool Console::read_word(std::string& word) {
    // Every line is echoed where the first one began: a blank or refused line leaves the
    // cursor after what was typed, and the field must not follow it.
    const int field_x = x_;
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
        const bool read = read_line_in_field(pending_words_, field_x);
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

bool Console::read_line_in_field(std::string& line, int field_x) {
    // Keys pressed before the question must not turn up in the line, and the keys come as the
    // characters they type.
    backend_->begin_line();
    platform_->discard_input();
    platform_->set_line_input(true);
    pending_events_.clear();
    LineEditor editor(traits().shift_jis);
    echo_line(editor, field_x);
    while (editor.state() == LineEditor::State::typing) {
        flush();
        platform_->wait_input(platform_->now_ms() + k_line_wait_ms);
        if (take_typed(editor)) {
            echo_line(editor, field_x);
        }
    }
    flush();
    platform_->set_line_input(false);
    backend_->end_line();
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

}  // namespace kal
