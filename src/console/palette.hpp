#pragma once

// The sixteen colours of the console by name. The numbers are the console's attribute layout
// (bit 0 blue, bit 1 green, bit 2 red, bit 3 bright), so a colour still goes wherever the
// console takes a number; k_keep in place of a colour leaves that colour as it is.

#include <array>
#include <cstddef>

namespace kal {

enum Colour : int {
    k_black = 0,
    k_blue = 1,
    k_green = 2,
    k_cyan = 3,
    k_red = 4,
    k_magenta = 5,
    k_brown = 6,
    k_light_grey = 7,
    k_dark_grey = 8,
    k_bright_blue = 9,
    k_bright_green = 10,
    k_bright_cyan = 11,
    k_bright_red = 12,
    k_bright_magenta = 13,
    k_yellow = 14,
    k_white = 15,
    k_keep = 16,
};

// A foreground and background pair.
struct ColourPair {
    Colour fg;
    Colour bg;
};

// The ANSI code of a colour (0..15) in the foreground: 30 to 37, and 90 to 97 for the bright
// half. The background code is 10 more.
constexpr int ansi_foreground_code(int colour) {
    // The attribute layout puts blue in bit 0; ANSI numbers put red first.
    constexpr std::array<int, 8> k_ansi_order{0, 4, 2, 6, 1, 5, 3, 7};
    constexpr int k_bright = 8;
    return ((colour & k_bright) != 0 ? 90 : 30) +
           k_ansi_order[static_cast<std::size_t>(colour & 7)];
}

}  // namespace kal
