#pragma once

// What stands between the Console and the player's screen and keyboard. The Console keeps the
// state the game sees (cursor, colours, the shadow screen, the key table); a back-end turns
// what the game draws into its output and its input into timed key events. Two back-ends stand
// side by side in backends/: the terminal's (escape sequences out, bytes decoded in) and the
// Windows console's (cells written by position, key events with their real releases).

#include <cstdint>

#include "console/key_decoder.hpp"
#include "console/screen_buffer.hpp"

namespace kal {

enum class AmbiguousWidth : std::uint8_t { narrow, wide };

// What the output told us about itself, or what the game knows of it.
struct TerminalTraits {
    AmbiguousWidth ambiguous = AmbiguousWidth::narrow;
    bool kitty_keyboard = false;
    bool shift_jis = false;  // the locale's encoding is Shift-JIS: send CP932 bytes
};

struct CursorInfo {
    std::uint32_t size = 8;  // percent of the cell, 1 to 99
    bool visible = true;
};

// The state the Console shows when it writes out: the shadow screen, the cursor's shape and
// place (1-based) and the colours the game set last.
struct Frame {
    const ScreenBuffer& screen;
    const CursorInfo& cursor;
    int x;
    int y;
    int fg;
    int bg;
};

class ConsoleBackend {
public:
    virtual ~ConsoleBackend() = default;

    // Starts afresh as the Console is bound to it: nothing is known of what the output shows.
    virtual void start() {}
    // Shows the frame, then asks the output how it draws ambiguous-width characters and which
    // keyboard it speaks, waiting at most about 200 ms for the answers, and takes them as its
    // traits. False when there is nothing to ask: the output's own traits are known, or the
    // answers could not be read, as when the keys come from elsewhere.
    virtual bool query(const Frame& frame) = 0;
    [[nodiscard]] virtual const TerminalTraits& traits() const = 0;
    // Writes with these traits from now on, whatever the output answered.
    virtual void set_traits(const TerminalTraits& traits) = 0;
    // Whether every release is known, from the input itself or its keyboard protocol, so that
    // no release need be inferred.
    [[nodiscard]] virtual bool exact_keys() const = 0;

    // The game set colours, moved its cursor or changed the cursor's shape: each takes effect
    // with the next character, or when the frame is written out.
    virtual void colour_set() {}
    virtual void moved() {}
    virtual void cursor_changed(const CursorInfo& /*cursor*/) {}
    // Puts one character of the given width at column x, row y of the shadow screen, which
    // still holds what was there before, and on the output.
    virtual void put(ScreenBuffer& screen, int x, int y, char32_t ch, int width, int fg,
                     int bg) = 0;
    // The game cleared the screen in these colours; true when that took the cursor to the
    // first cell.
    virtual bool clear(int fg, int bg) = 0;
    // Makes the output show the frame; nothing the game drew is held back.
    virtual void flush(const Frame& frame) = 0;
    // Whether, since the last flush, a notice covers the screen instead of the frame (an output
    // too small for the game): the game cannot be played, and its clock stands still.
    [[nodiscard]] virtual bool covered() const { return false; }

    // Appends the input events that came since the last call, in the order they came and
    // stamped with time_ms, and tells whether any came: the caller reads again until none
    // does. Key, mouse, text and interrupt events only; answers to the queries stay here.
    virtual bool read_events(InputEvents& out, std::uint64_t time_ms) = 0;
    // From begin_line() to end_line() a line is typed: the keys come as the characters they
    // type.
    virtual void begin_line() {}
    virtual void end_line() {}
};

}  // namespace kal
