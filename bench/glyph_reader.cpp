#include "glyph_reader.hpp"

#include <array>
#include <cstddef>
#include <string_view>

#include "console/text.hpp"
#include "shell/screen_kit.hpp"

namespace kal::bench {
namespace {

constexpr int k_glyph_columns = 6;
constexpr int k_glyph_rows = 3;

using GlyphRowCells = std::array<char32_t, k_glyph_columns>;
using GlyphCells = std::array<GlyphRowCells, k_glyph_rows>;

// How a terminal that draws box-drawing characters narrow shows one row of the font: each such
// character with its companion cell, a full-width space as one wide character.
GlyphRowCells cells_of(std::string_view row) {
    GlyphRowCells cells{};
    std::size_t pos = 0;
    std::size_t cell = 0;
    while (pos < row.size() && cell + 1 < cells.size()) {
        const char32_t ch = next_code_point(row, pos);
        cells[cell] = ch;
        cells[cell + 1] = is_ambiguous_width(ch) ? narrow_companion(ch) : k_wide_tail;
        cell += 2;
    }
    return cells;
}

std::array<GlyphCells, 10> build_font() {
    std::array<GlyphCells, 10> font{};
    for (std::size_t digit = 0; digit < font.size(); ++digit) {
        for (std::size_t row = 0; row < k_glyph_rows; ++row) {
            font[digit][row] = cells_of(k_digit_font[digit][row]);
        }
    }
    return font;
}

const std::array<GlyphCells, 10>& font() {
    static const std::array<GlyphCells, 10> cells = build_font();
    return cells;
}

bool glyph_matches(const GlyphCells& glyph, const std::array<RowCells, k_glyph_rows>& rows, int x) {
    for (std::size_t row = 0; row < k_glyph_rows; ++row) {
        for (std::size_t i = 0; i < k_glyph_columns; ++i) {
            if (rows[row][static_cast<std::size_t>(x - 1) + i] != glyph[row][i]) {
                return false;
            }
        }
    }
    return true;
}

int match_digit(const std::array<RowCells, k_glyph_rows>& rows, int x) {
    if (x < 1 || x + k_glyph_columns - 1 > k_columns) {
        return -1;
    }
    for (std::size_t digit = 0; digit < font().size(); ++digit) {
        if (glyph_matches(font()[digit], rows, x)) {
            return static_cast<int>(digit);
        }
    }
    return -1;
}

std::array<RowCells, k_glyph_rows> rows_around(const ScreenModel& screen, int y) {
    return {screen.row_cells(y - 1), screen.row_cells(y), screen.row_cells(y + 1)};
}

}  // namespace

int read_digit(const ScreenModel& screen, int x, int y) {
    return match_digit(rows_around(screen, y), x);
}

std::vector<FoundDigit> read_digits(const ScreenModel& screen, int y) {
    const std::array<RowCells, k_glyph_rows> rows = rows_around(screen, y);
    std::vector<FoundDigit> found;
    for (int x = 1; x + k_glyph_columns - 1 <= k_columns; ++x) {
        const int digit = match_digit(rows, x);
        if (digit >= 0) {
            found.push_back({x, digit});
            x += k_glyph_columns - 1;
        }
    }
    return found;
}

}  // namespace kal::bench
