#include "console/key_decoder.hpp"

#include <array>

namespace kal {
namespace {

constexpr unsigned char k_esc = 0x1B;
constexpr int k_code_space = 32;
constexpr int k_code_left = 37;
constexpr int k_code_right = 39;
// Ctrl and a letter that the terminal's line discipline would turn into a signal, as the
// kitty keyboard protocol sends them: the key's code (the letter's), and what it does here.
struct ControlLetter {
    int code;
    InputEvent::Kind kind;
};
constexpr std::array<ControlLetter, 2> k_control_letters{{
    {99, InputEvent::Kind::interrupt},  // Ctrl+C
    {122, InputEvent::Kind::suspend},   // Ctrl+Z
}};
constexpr int k_modifier_ctrl = 4;
constexpr int k_modifier_locks = 64 | 128;  // Caps Lock and Num Lock change nothing here
constexpr int k_bell = 0x07;

// kitty sends the event type as a sub-field of the modifiers: 1 press, 2 repeat, 3 release;
// a missing type is a press.
KeyAction kitty_action(int event_type) {
    switch (event_type) {
        case 2:
            return KeyAction::repeat;
        case 3:
            return KeyAction::release;
        default:
            return KeyAction::press;
    }
}

}  // namespace

void KeyDecoder::reset() {
    state_ = State::ground;
    utf8_left_ = 0;
}

void KeyDecoder::set_text_mode(bool text) {
    text_mode_ = text;
    reset();
}

void KeyDecoder::timeout(std::uint64_t now_ms) {
    if (state_ != State::ground && now_ms - sequence_started_ms_ >= k_escape_timeout_ms) {
        reset();
    }
}

void KeyDecoder::feed(std::string_view bytes, std::uint64_t now_ms, InputEvents& out) {
    timeout(now_ms);
    now_ms_ = now_ms;
    for (const char byte : bytes) {
        feed_byte(static_cast<unsigned char>(byte), out);
    }
}

void KeyDecoder::feed_byte(unsigned char byte, InputEvents& out) {
    // An ESC always starts a new sequence, so a broken one never swallows the next.
    if (byte == k_esc && state_ != State::string) {
        state_ = State::escape;
        sequence_started_ms_ = now_ms_;
        return;
    }
    // In a line being typed, a control character breaks off any sequence and counts: an Enter
    // after a stray Alt key still ends the line.
    if (text_mode_ && byte < 0x20 && byte != k_esc) {
        state_ = State::ground;
        emit_text(byte, out);
        return;
    }
    switch (state_) {
        case State::ground:
            ground(byte, out);
            break;
        case State::escape:
            escape(byte);
            break;
        case State::csi:
            csi(byte, out);
            break;
        case State::ss3:
            state_ = State::ground;
            if (byte == 'C') {
                emit_key(k_code_right, KeyAction::press, out);
            } else if (byte == 'D') {
                emit_key(k_code_left, KeyAction::press, out);
            }
            break;
        case State::string:
            if (byte == k_bell) {
                state_ = State::ground;
            } else if (byte == k_esc) {
                state_ = State::string_escape;
            }
            break;
        case State::string_escape:
            state_ = byte == '\\' ? State::ground : State::string;
            break;
        case State::utf8:
            if ((byte & 0xC0U) == 0x80U && --utf8_left_ > 0) {
                break;
            }
            state_ = State::ground;
            if ((byte & 0xC0U) != 0x80U) {
                ground(byte, out);
            }
            break;
    }
}

void KeyDecoder::ground(unsigned char byte, InputEvents& out) {
    if (text_mode_) {
        emit_text(byte, out);
    } else if (byte == ' ') {
        emit_key(k_code_space, KeyAction::press, out);
    } else if (byte >= 0xC0 && byte < 0xF8) {
        // The continuation bytes of a stray UTF-8 character are dropped with it.
        utf8_left_ = byte >= 0xF0 ? 3 : (byte >= 0xE0 ? 2 : 1);
        state_ = State::utf8;
        sequence_started_ms_ = now_ms_;
    }
}

void KeyDecoder::escape(unsigned char byte) {
    switch (byte) {
        case '[':
            state_ = State::csi;
            prefix_ = 0;
            intermediate_ = false;
            params_.fill(0);
            sub_params_.fill(0);
            param_count_ = 0;
            in_sub_param_ = false;
            break;
        case 'O':
            state_ = State::ss3;
            break;
        case ']':
        case 'P':
        case 'X':
        case '^':
        case '_':
            // Operating system commands and device control strings run to BEL or ESC \.
            state_ = State::string;
            break;
        default:
            // ESC followed by a character is Alt and that key: nothing the game reads.
            state_ = State::ground;
            break;
    }
}

void KeyDecoder::csi(unsigned char byte, InputEvents& out) {
    if (byte >= '0' && byte <= '9') {
        if (param_count_ == 0) {
            param_count_ = 1;
        }
        // Fields past the last kept one are read and ignored: a long answer such as xterm's
        // device attributes still ends as a whole.
        if (param_count_ <= k_max_params) {
            int& value = in_sub_param_ ? sub_params_[param_count_ - 1] : params_[param_count_ - 1];
            if (value < 100000) {
                value = value * 10 + (byte - '0');
            }
        }
    } else if (byte == ';') {
        param_count_ = param_count_ == 0 ? 2 : param_count_ + 1;
        in_sub_param_ = false;
    } else if (byte == ':') {
        if (param_count_ == 0) {
            param_count_ = 1;
        }
        in_sub_param_ = true;
    } else if (byte >= '<' && byte <= '?') {
        prefix_ = static_cast<char>(byte);
    } else if (byte >= 0x20 && byte <= 0x2F) {
        intermediate_ = true;
    } else if (byte >= 0x40 && byte <= 0x7E) {
        state_ = State::ground;
        finish_csi(byte, out);
    } else {
        // A control byte inside a sequence: the sequence was broken; drop it.
        state_ = State::ground;
    }
}

void KeyDecoder::finish_csi(unsigned char final_byte, InputEvents& out) {
    if (intermediate_) {
        return;
    }
    const int event_type = param_count_ >= 2 ? sub_params_[1] : 0;
    const int modifiers = param_count_ >= 2 && params_[1] > 0 ? params_[1] - 1 : 0;
    InputEvent event;
    event.time_ms = now_ms_;
    switch (final_byte) {
        case 'u':
            if (prefix_ == '?') {
                event.kind = InputEvent::Kind::kitty_flags;
                out.push(event);
            } else if (prefix_ == 0 && params_[0] == k_code_space) {
                emit_key(k_code_space, kitty_action(event_type), out);
            } else if (prefix_ == 0 && (modifiers & ~k_modifier_locks) == k_modifier_ctrl &&
                       kitty_action(event_type) == KeyAction::press) {
                for (const ControlLetter& letter : k_control_letters) {
                    if (params_[0] == letter.code) {
                        event.kind = letter.kind;
                        out.push(event);
                    }
                }
            }
            break;
        case 'C':
        case 'D':
            if (prefix_ == 0 && (param_count_ == 0 || params_[0] <= 1)) {
                emit_key(final_byte == 'C' ? k_code_right : k_code_left, kitty_action(event_type),
                         out);
            }
            break;
        case 'R':
            if (prefix_ == 0 && param_count_ >= 2) {
                event.kind = InputEvent::Kind::cursor_report;
                event.row = params_[0];
                event.column = params_[1];
                out.push(event);
            }
            break;
        case 'c':
            if (prefix_ == '?') {
                event.kind = InputEvent::Kind::device_attributes;
                out.push(event);
            }
            break;
        default:
            break;
    }
}

void KeyDecoder::emit_key(int code, KeyAction action, InputEvents& out) const {
    InputEvent event;
    event.kind = InputEvent::Kind::key;
    event.code = code;
    event.action = action;
    event.time_ms = now_ms_;
    out.push(event);
}

void KeyDecoder::emit_text(unsigned char byte, InputEvents& out) const {
    InputEvent event;
    event.kind = InputEvent::Kind::text;
    event.code = byte;
    event.time_ms = now_ms_;
    out.push(event);
}

}  // namespace kal
