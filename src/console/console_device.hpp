#pragma once

// The Console's second back-end: the system's own console, a grid of cells with colour
// attributes that is written by position, with key events that carry real releases and mouse
// events. The Console keeps its shadow screen either way; this back-end gets it whole every
// time the Console writes out, and puts on the console what changed since the last time.

#include <cstdint>

#include "console/key_decoder.hpp"
#include "console/screen_buffer.hpp"

namespace kal {

struct CursorInfo {
    std::uint32_t size = 8;  // percent of the cell, 1 to 99
    bool visible = true;
};

class ConsoleDevice {
public:
    virtual ~ConsoleDevice() = default;

    // The game cleared the screen in these colours: the whole screen buffer is cleared at the
    // next show, before anything drawn after it, and the cursor goes to the first cell.
    virtual void clear(int fg, int bg) = 0;
    // Makes the console show the screen, and the cursor in its shape at column x, row y
    // (1-based) when it is visible.
    virtual void show(const ScreenBuffer& screen, const CursorInfo& cursor, int x, int y) = 0;
    // Appends the key and mouse events waiting on the console, in the order they came, stamped
    // with time_ms; nothing when none are waiting. A key-down with a character also gives the
    // character's UTF-8 bytes as text events, for a line being typed. Takes only as many as
    // fit: the caller reads again until nothing more comes.
    virtual void read_events(InputEvents& out, std::uint64_t time_ms) = 0;
};

}  // namespace kal
