#include "screen_reading.hpp"

#include <array>
#include <cstddef>

#include "console/text.hpp"
#include "shell/screen_kit.hpp"

namespace kal::test {
namespace {

constexpr int k_digit_columns = 6;
constexpr int k_grade_columns = 10;
constexpr std::string_view k_grade_letters = "ABCDEFGS";
// The left edges of the TIME readout's four glyphs; the point follows the second.
constexpr std::array<int, 4> k_time_columns{54, 60, 68, 74};
constexpr int k_time_row = 24;
constexpr std::size_t k_time_point_after = 1;

// Whether the rows stand one under the other from (x, top).
template <std::size_t N>
bool shows_rows(const SimPlatform& sim, int x, int top, int columns,
                const std::array<std::string_view, N>& rows) {
    for (std::size_t row = 0; row < N; ++row) {
        if (sim.text(x, top + static_cast<int>(row), columns) != rows[row]) {
            return false;
        }
    }
    return true;
}

}  // namespace

int columns_of(std::string_view text) {
    int columns = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        columns += cp932_width(next_code_point(text, pos));
    }
    return columns;
}

int read_digit(const SimPlatform& sim, int x, int y) {
    for (std::size_t digit = 0; digit < k_digit_font.size(); ++digit) {
        if (shows_rows(sim, x, y - 1, k_digit_columns, k_digit_font[digit])) {
            return static_cast<int>(digit);
        }
    }
    return -1;
}

std::string read_time(const SimPlatform& sim) {
    std::string shown;
    for (std::size_t i = 0; i < k_time_columns.size(); ++i) {
        const int digit = read_digit(sim, k_time_columns[i], k_time_row);
        shown += digit < 0 ? '?' : static_cast<char>('0' + digit);
        if (i == k_time_point_after) {
            shown += '.';
        }
    }
    return shown;
}

char read_grade(const SimPlatform& sim, int x, int y) {
    for (std::size_t letter = 0; letter < k_letter_font.size(); ++letter) {
        if (shows_rows(sim, x, y - 2, k_grade_columns, k_letter_font[letter].rows)) {
            return k_grade_letters[letter];
        }
    }
    return '?';
}

}  // namespace kal::test
