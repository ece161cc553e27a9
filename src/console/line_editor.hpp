#pragma once

// One line typed at the name entry, edited and echoed by the game itself: the terminal's own
// echo would run past the end of the field and scroll the whole screen. Bytes come in as the
// terminal sends them, in UTF-8 or, under a Shift-JIS locale, in code page 932. Backspace
// takes back a character, Ctrl-U the line and Ctrl-W a word; Enter ends the line, Ctrl-D on an
// empty line ends the input and on a line with text ends the line, as the terminal's own line
// editing has them; every other control character is ignored.

#include <cstddef>
#include <cstdint>
#include <string>

namespace kal {

class LineEditor {
public:
    enum class State : std::uint8_t { typing, line_done, input_ended };

    // A line holds at most as many bytes as the terminal's own line editing takes; anything
    // typed beyond them is dropped.
    static constexpr std::size_t k_max_line_bytes = 4095;

    explicit LineEditor(bool cp932) : cp932_(cp932) {}

    // Takes one typed byte and tells where the line stands.
    State type(unsigned char byte);
    [[nodiscard]] State state() const { return state_; }

    // The line as UTF-8, each byte sequence that is no character of the encoding as U+FFFD.
    [[nodiscard]] std::string text() const;
    // What the field shows: the end of the line that fits in the given code page 932 columns,
    // each character that no name may hold shown as "?", so that the echo has the columns
    // the game counts and never leaves its field.
    [[nodiscard]] std::string shown(int columns) const;

private:
    void erase_character();
    void erase_word();

    bool cp932_;
    State state_ = State::typing;
    std::string bytes_;
};

}  // namespace kal
