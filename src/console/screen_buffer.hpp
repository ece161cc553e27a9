#pragma once

// What the console has drawn: 80 x 25 cells with their characters and colours. A full-width
// character fills its cell and marks the next one as its right half; overwriting either half
// blanks the other, as terminals do.

#include <array>
#include <cstdint>

namespace kal {

inline constexpr int k_screen_cols = 80;
inline constexpr int k_screen_rows = 25;

struct Cell {
    char32_t ch = U' ';
    std::uint8_t fg = 15;
    std::uint8_t bg = 0;
    std::uint8_t width = 1;  // 2: the left half of a full-width character; 0: its right half
};

class ScreenBuffer {
public:
    // Columns and rows are 1-based; positions outside the screen are ignored.
    void put(int x, int y, char32_t ch, int width, int fg, int bg);
    void clear(int fg, int bg);
    [[nodiscard]] const Cell& at(int x, int y) const;

private:
    void split_wide_character(int x, int y);

    std::array<Cell, static_cast<std::size_t>(k_screen_cols* k_screen_rows)> cells_{};
};

}  // namespace kal
