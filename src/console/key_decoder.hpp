#pragma once

// Turns the terminal's byte stream into the few events the game cares about: Space, Left and
// Right pressed, repeated or released, Ctrl+C and Ctrl+Z under the kitty keyboard protocol, and the
// terminal's answers to the start-up queries. Every other sequence is consumed whole and
// dropped. While a line is typed, the bytes outside sequences come out as typed text instead
// of keys. It is a pure function of bytes and time, so it is tested without a terminal.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kal {

enum class KeyAction : std::uint8_t { press, repeat, release };

struct InputEvent {
    enum class Kind : std::uint8_t {
        key,            // code and action
        interrupt,      // Ctrl+C sent as a key by the kitty keyboard protocol
        suspend,        // Ctrl+Z sent as a key by the kitty keyboard protocol
        kitty_flags,    // the terminal speaks the kitty keyboard protocol
        cursor_report,  // row and column of a cursor position report
        device_attributes,
        text,   // a byte typed outside any sequence, in code; only while a line is typed
        mouse,  // the system console's mouse: its cell in column and row (0-based), buttons
    };
    Kind kind = Kind::key;
    int code = 0;
    KeyAction action = KeyAction::press;
    int row = 0;
    int column = 0;
    // The system console's own state with a mouse event (1 leftmost button, 2 rightmost, 4 the
    // second from the left) and with a key event (1 right Alt, 2 left Alt, 4 right Ctrl, 8 left
    // Ctrl, 16 Shift). A terminal sends neither: both stay 0.
    std::uint32_t buttons = 0;
    std::uint32_t control_keys = 0;
    std::uint64_t time_ms = 0;
};

// A small fixed-capacity list, so that decoding never allocates.
class InputEvents {
public:
    static constexpr std::size_t k_capacity = 64;
    void push(const InputEvent& event) {
        if (size_ < k_capacity) {
            events_[size_++] = event;
        }
    }
    void clear() { size_ = 0; }
    [[nodiscard]] std::size_t size() const { return size_; }
    [[nodiscard]] bool empty() const { return size_ == 0; }
    [[nodiscard]] const InputEvent& operator[](std::size_t i) const { return events_[i]; }
    [[nodiscard]] const InputEvent* begin() const { return events_.data(); }
    [[nodiscard]] const InputEvent* end() const { return events_.data() + size_; }

private:
    std::array<InputEvent, k_capacity> events_{};
    std::size_t size_ = 0;
};

class KeyDecoder {
public:
    // A lone ESC that is not followed by the rest of a sequence within this time is dropped:
    // the bytes of one sequence arrive together, so a longer pause means a real Escape key.
    static constexpr std::uint64_t k_escape_timeout_ms = 50;

    // Decodes bytes that arrived at now_ms, appending what they mean to out.
    void feed(std::string_view bytes, std::uint64_t now_ms, InputEvents& out);
    // Lets time pass without input: an unfinished sequence that has waited too long is dropped.
    void timeout(std::uint64_t now_ms);
    void reset();
    // Bytes outside sequences come out as text events (a line being typed) or as keys.
    void set_text_mode(bool text);

private:
    enum class State : std::uint8_t { ground, escape, csi, ss3, string, string_escape, utf8 };

    void feed_byte(unsigned char byte, InputEvents& out);
    void ground(unsigned char byte, InputEvents& out);
    void escape(unsigned char byte);
    void csi(unsigned char byte, InputEvents& out);
    void finish_csi(unsigned char final_byte, InputEvents& out);
    void emit_key(int code, KeyAction action, InputEvents& out) const;
    void emit_text(unsigned char byte, InputEvents& out) const;

    // Fields kept of a control sequence; any further ones are consumed and ignored.
    static constexpr std::size_t k_max_params = 8;
    State state_ = State::ground;
    bool text_mode_ = false;
    std::uint64_t sequence_started_ms_ = 0;
    std::uint64_t now_ms_ = 0;
    int utf8_left_ = 0;
    char prefix_ = 0;  // '?', '<', '>' or '=' right after CSI
    bool intermediate_ = false;
    std::array<int, k_max_params> params_{};      // main value of each ';'-separated field
    std::array<int, k_max_params> sub_params_{};  // the value after ':' in each field, 0 if none
    std::size_t param_count_ = 0;
    bool in_sub_param_ = false;
};

}  // namespace kal
