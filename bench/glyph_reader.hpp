#pragma once

// Reads the game's large digits back from the screen, as the player's eye does: a digit is the
// 6 x 3 block of box-drawing characters that the game's own font draws for it.

#include <vector>

#include "screen_model.hpp"

namespace kal::bench {

using test::k_columns;
using test::k_wide_tail;
using test::RowCells;
using test::ScreenModel;

struct FoundDigit {
    int x;      // left column of the glyph
    int digit;  // 0..9
};

// The digit whose glyph stands whole with its left edge at column x on rows y - 1 to y + 1, or
// -1 when no glyph stands there.
int read_digit(const ScreenModel& screen, int x, int y);

// Every digit whose glyph stands whole on rows y - 1 to y + 1, from left to right.
std::vector<FoundDigit> read_digits(const ScreenModel& screen, int y);

}  // namespace kal::bench
