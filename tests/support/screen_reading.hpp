#pragma once

// Reading the large figures off the simulated terminal as a player reads them: the digit
// glyphs, the TIME readout and the grade letters, in the game's own fonts. A test that checks
// the fonts themselves keeps its own expected rows.

#include <string>
#include <string_view>

#include "sim_platform.hpp"

namespace kal::test {

// Columns a text takes on the screen, a full-width character counting two.
int columns_of(std::string_view text);

// The digit whose glyph has its left edge at column x and its middle row at y; -1 for none.
int read_digit(const SimPlatform& sim, int x, int y);

// The TIME readout as it reads, "20.00", with "?" where no digit glyph stands.
std::string read_time(const SimPlatform& sim);

// The grade letter ('A' to 'G', or 'S') whose block has its left edge at column x and its
// middle row at y; '?' for none.
char read_grade(const SimPlatform& sim, int x, int y);

}  // namespace kal::test
