#pragma once

// The drawing routines and glyph tables the screens share: the level colours, the 3-row digit
// font of every large number, the 5-row letter font of the grades, the TIME readout and the
// blanking of the panel. They run inside the timing loops: a handful of prints each, and no
// allocation.

#include <array>
#include <string_view>

#include "console/palette.hpp"

namespace kal {

// A digit glyph: three rows of three full-width characters, 6 columns by 3 rows.
using DigitGlyph = std::array<std::string_view, 3>;
inline constexpr int k_digit_glyph_columns = 6;

// The digits 0 to 9 in heavy box-drawing characters ("　" is the full-width space).
inline constexpr std::array<DigitGlyph, 10> k_digit_font{{
    {"┏━┓", "┃　┃", "┗━┛"},
    {"　┫　", "　┃　", "　┻　"},
    {"┏━┓", "┏━┛", "┗━┛"},
    {"　━┓", "　━┫", "　━┛"},
    {"┃　┃", "┗━┫", "　　┃"},
    {"┏━━", "┗━┓", "━━┛"},
    {"┏━━", "┣━┓", "┗━┛"},
    {"┏━┓", "　　┃", "　　┃"},
    {"┏━┓", "┣━┫", "┗━┛"},
    {"┏━┓", "┗━┫", "━━┛"},
}};

// A grade letter: five rows of five cells, each "■" or two spaces, so that a glyph always
// covers its whole 10 x 5 block; drawn in its own colours.
struct LetterGlyph {
    Colour fg;
    Colour bg;
    std::array<std::string_view, 5> rows;
};

// A to G, then S.
inline constexpr std::array<LetterGlyph, 8> k_letter_font{{
    {k_bright_red, k_white, {"  ■■■  ", "■      ■", "■      ■", "■■■■■", "■      ■"}},
    {k_bright_blue, k_white, {"■■■■  ", "■      ■", "■  ■■  ", "■      ■", "■■■■  "}},
    {k_green, k_white, {"  ■■■  ", "■      ■", "■        ", "■      ■", "  ■■■  "}},
    {k_cyan, k_white, {"■■■■  ", "■      ■", "■      ■", "■      ■", "■■■■  "}},
    {k_blue, k_white, {"■■■■■", "■        ", "■■■■■", "■        ", "■■■■■"}},
    {k_dark_grey, k_white, {"■■■■■", "■        ", "■■■■  ", "■        ", "■        "}},
    {k_black, k_white, {"  ■■■■", "■        ", "■    ■■", "■      ■", "  ■■■■"}},
    {k_brown, k_white, {"  ■■■■", "■        ", "  ■■■  ", "        ■", "■■■■  "}},
}};

// The shared drawing position: draw_digit draws on rows draw_y - 1 to draw_y + 1.
extern int draw_x;
extern int draw_y;

// Colour pairs by level 1..6; any other level leaves the colours unchanged.
void level_fg_color(int level);
void level_bg_color(int level);

// A digit glyph (0..9) with its left edge at column x, rows draw_y - 1 .. draw_y + 1, in the
// current colours. Any other value draws nothing.
void draw_digit(int digit, int x);
// The same with an explicit centre row y.
void draw_digit_at(int digit, int x, int y);
// A grade letter (0..7: A..G, then S) in its own colours, rows y - 2 .. y + 2 from column x;
// leaves the colours at bright blue on white. Any other index draws nothing.
void draw_letter(int index, int x, int y);
// "TIME" at (54, 22), the digit glyph at column x of rows 23-25 and the point at (66, 25).
void draw_time_digit(int digit, int x);
// The four glyphs of the TIME readout: tens, units, tenths, hundredths.
using TimeDigits = std::array<int, 4>;
// The TIME readout showing these digits, in the current colours.
void draw_time_digits(const TimeDigits& digits);
// The TIME readout for a number of seconds, truncated at every step as the game has always
// shown it: black, red below 10 seconds. Below 0 it reads 00.00; from 100 seconds on it holds
// at 99.99, since the readout has room for two whole digits only (columns 54 to 79).
void draw_time(float seconds);
// Blanks rows 5 to 9, columns 1 to 79, in the current colours.
void clear_panel();

// The drawing position as at program start.
void reset_screen_kit();

}  // namespace kal
