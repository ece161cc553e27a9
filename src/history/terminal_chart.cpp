#include "history/terminal_chart.hpp"

#include <algorithm>
#include <array>
#include <cstdint>

#include "console/text.hpp"

namespace kal {
namespace {

constexpr char32_t k_braille_blank = U'\u2800';

// The two dots of each dot row of a braille cell, from the bottom row up.
constexpr std::array<unsigned, k_dots_per_row> k_braille_dot_rows{0xC0, 0x24, 0x12, 0x09};
// The dots of a cell filled from the left: none, the left column, both columns.
constexpr std::array<unsigned, k_halves_per_cell + 1> k_braille_halves{0x00, 0x47, 0xFF};

// In ASCII a cell shows a bar that fills at least a quarter of it as '.', at least three
// quarters as '#'.
constexpr std::array<char, k_dots_per_row + 1> k_ascii_fill{' ', '.', '.', '#', '#'};
constexpr std::array<char, k_halves_per_cell + 1> k_ascii_halves{' ', '#', '#'};
constexpr char k_ascii_line = '-';

std::string braille(unsigned dots) {
    if (dots == 0) {
        return " ";
    }
    std::string glyph;
    append_utf8(glyph, k_braille_blank + dots);
    return glyph;
}

// One cell of a vertical bar: `fill` dots of the bar from the bottom, and the level line at dot
// row `line_row` of the cell when it passes through it above the bar (-1 when not).
ChartCell bar_cell(int fill, int line_row, ChartGlyphs glyphs) {
    ChartCell cell;
    cell.ink = fill > 0 ? Ink::bar : (line_row >= 0 ? Ink::line : Ink::none);
    if (glyphs == ChartGlyphs::ascii) {
        if (line_row >= 0) {
            cell.ink = Ink::line;
            cell.glyph = std::string(1, k_ascii_line);
        } else {
            cell.glyph = std::string(1, k_ascii_fill[static_cast<std::size_t>(fill)]);
        }
        return cell;
    }
    unsigned dots = 0;
    for (int row = 0; row < fill; ++row) {
        dots |= k_braille_dot_rows[static_cast<std::size_t>(row)];
    }
    if (line_row >= 0) {
        dots |= k_braille_dot_rows[static_cast<std::size_t>(line_row)];
    }
    cell.glyph = braille(dots);
    return cell;
}

}  // namespace

std::vector<int> bar_heights(const std::vector<int>& values, int top, int dots) {
    std::vector<int> heights;
    for (const int value : values) {
        if (top <= 0 || value <= 0) {
            heights.push_back(0);
            continue;
        }
        const std::int64_t scaled =
            (std::int64_t{value} * dots * 2 + top) / (std::int64_t{top} * 2);
        heights.push_back(static_cast<int>(std::clamp<std::int64_t>(scaled, 1, dots)));
    }
    return heights;
}

std::vector<ChartRow> vertical_bars(const std::vector<int>& heights, int rows, int line_dots,
                                    ChartGlyphs glyphs) {
    std::vector<ChartRow> chart;
    for (int row = rows - 1; row >= 0; --row) {
        const int row_bottom = row * k_dots_per_row;
        const bool line_in_row = line_dots > row_bottom && line_dots <= row_bottom + k_dots_per_row;
        ChartRow cells;
        for (const int height : heights) {
            const int fill = std::clamp(height - row_bottom, 0, k_dots_per_row);
            const bool line_shows = line_in_row && height < line_dots;
            cells.push_back(bar_cell(fill, line_shows ? line_dots - row_bottom - 1 : -1, glyphs));
        }
        chart.push_back(std::move(cells));
    }
    return chart;
}

ChartRow horizontal_bar(int halves, int cells, ChartGlyphs glyphs) {
    ChartRow bar;
    for (int cell = 0; cell < cells; ++cell) {
        const auto covered = static_cast<std::size_t>(
            std::clamp(halves - cell * k_halves_per_cell, 0, k_halves_per_cell));
        ChartCell out;
        out.ink = covered > 0 ? Ink::bar : Ink::none;
        out.glyph = glyphs == ChartGlyphs::ascii ? std::string(1, k_ascii_halves[covered])
                                                 : braille(k_braille_halves[covered]);
        bar.push_back(std::move(out));
    }
    return bar;
}

}  // namespace kal
