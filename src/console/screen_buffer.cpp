#include "console/screen_buffer.hpp"

namespace kal {
namespace {

std::size_t index_of(int x, int y) {
    return static_cast<std::size_t>(y - 1) * static_cast<std::size_t>(k_screen_cols) +
           static_cast<std::size_t>(x - 1);
}

bool on_screen(int x, int y) {
    return x >= 1 && x <= k_screen_cols && y >= 1 && y <= k_screen_rows;
}

}  // namespace

void ScreenBuffer::put(int x, int y, char32_t ch, int width, int fg, int bg) {
    if (!on_screen(x, y) || !on_screen(x + width - 1, y)) {
        return;
    }
    split_wide_character(x, y);
    if (width == 2) {
        split_wide_character(x + 1, y);
    }
    const auto fg8 = static_cast<std::uint8_t>(fg);
    const auto bg8 = static_cast<std::uint8_t>(bg);
    cells_[index_of(x, y)] = Cell{ch, fg8, bg8, static_cast<std::uint8_t>(width)};
    if (width == 2) {
        cells_[index_of(x + 1, y)] = Cell{U' ', fg8, bg8, 0};
    }
}

void ScreenBuffer::split_wide_character(int x, int y) {
    Cell& cell = cells_[index_of(x, y)];
    if (cell.width == 2 && x < k_screen_cols) {
        Cell& right = cells_[index_of(x + 1, y)];
        right = Cell{U' ', right.fg, right.bg, 1};
    } else if (cell.width == 0 && x > 1) {
        Cell& left = cells_[index_of(x - 1, y)];
        left = Cell{U' ', left.fg, left.bg, 1};
    }
    cell.width = 1;
}

void ScreenBuffer::clear(int fg, int bg) {
    cells_.fill(Cell{U' ', static_cast<std::uint8_t>(fg), static_cast<std::uint8_t>(bg), 1});
}

const Cell& ScreenBuffer::at(int x, int y) const {
    static const Cell k_outside{};
    return on_screen(x, y) ? cells_[index_of(x, y)] : k_outside;
}

}  // namespace kal
