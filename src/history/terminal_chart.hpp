#pragma once

// Bar charts made of characters, for a report printed on a terminal or into a file. Braille
// patterns split a character cell into 2 x 4 dots, so a bar grows by a quarter of a row or by
// half a cell; they are one column wide on every terminal, unlike the block elements, which
// terminals set up for East Asian text draw two columns wide. Code page 932 has no braille, so
// in that encoding the same charts are drawn with ASCII at a coarser step.

#include <cstdint>
#include <string>
#include <vector>

namespace kal {

enum class ChartGlyphs : std::uint8_t { braille, ascii };

inline constexpr int k_dots_per_row = 4;
inline constexpr int k_halves_per_cell = 2;

// What a cell of a chart shows, so that the report can colour it.
enum class Ink : std::uint8_t { none, bar, line };

struct ChartCell {
    std::string glyph;  // UTF-8, one column wide
    Ink ink = Ink::none;
};

using ChartRow = std::vector<ChartCell>;

// The height in dots of a bar for each value on a scale from 0 to top over `dots`: rounded to
// the nearest dot, at least one dot for any value above 0 so that it shows, and never above
// the scale.
std::vector<int> bar_heights(const std::vector<int>& values, int top, int dots);

// A vertical bar chart, one bar per cell and `rows` rows high, top row first; heights are in
// dots. line_dots draws a level line through the cells at that height (1 is the lowest dot)
// where the bars do not reach it; 0 draws none.
std::vector<ChartRow> vertical_bars(const std::vector<int>& heights, int rows, int line_dots,
                                    ChartGlyphs glyphs);

// A horizontal bar `halves` half cells long, drawn over `cells` cells; the rest stays blank.
ChartRow horizontal_bar(int halves, int cells, ChartGlyphs glyphs);

}  // namespace kal
