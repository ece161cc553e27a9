#pragma once

// The moves every screen makes over and over: print at a place in a colour pair, blank a band.

#include <string_view>

#include "console/palette.hpp"

namespace kal {

// Moves to column x, row y and prints text in the current colours.
void print_at(int x, int y, std::string_view text);
// Sets the colour pair first (k_keep leaves a colour as it is).
void print_at(int x, int y, Colour fg, Colour bg, std::string_view text);
// Prints count blanks from column x of row y in the current colours.
void blank(int x, int y, int count);
// Blanks row y, all 80 columns, in the current colours.
void blank_row(int y);
// Gives the processor away for a moment between two polls of a key, so that a loop that waits
// for a key does not hold a core; returns at once when a key arrives.
void pause_between_polls();
// Polls until the key is up.
void wait_key_up(int code);

}  // namespace kal
