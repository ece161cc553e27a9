#include "shell/screen_kit.hpp"

#include "console/console.hpp"
#include "shell/draw.hpp"

namespace kal {

int draw_x = 0;
int draw_y = 0;

namespace {

using LevelColours = std::array<ColourPair, 6>;

// Levels 1 to 6. Levels 1 and 2 are green in the foreground scheme but blue behind.
constexpr LevelColours k_level_fg_colours{{{k_green, k_white},
                                           {k_green, k_white},
                                           {k_brown, k_white},
                                           {k_brown, k_white},
                                           {k_bright_red, k_white},
                                           {k_red, k_white}}};
constexpr LevelColours k_level_bg_colours{{{k_white, k_blue},
                                           {k_white, k_blue},
                                           {k_white, k_brown},
                                           {k_white, k_brown},
                                           {k_white, k_bright_red},
                                           {k_white, k_red}}};

constexpr ColourPair k_after_letter{k_bright_blue, k_white};
constexpr ColourPair k_time_colours{k_black, k_white};
constexpr ColourPair k_time_running_out{k_bright_red, k_white};
constexpr float k_time_red_below = 10.0F;
constexpr float k_time_shown_limit = 100.0F;

constexpr int k_time_caption_x = 54;
constexpr int k_time_caption_y = 22;
constexpr int k_time_digit_row = 24;
constexpr int k_time_point_x = 66;
constexpr int k_time_point_y = 25;
constexpr std::array<int, 4> k_time_digit_columns{54, 60, 68, 74};

constexpr std::array<int, 5> k_panel_rows{7, 8, 9, 6, 5};
constexpr int k_panel_width = 79;

constexpr TimeDigits k_time_zero{0, 0, 0, 0};
constexpr TimeDigits k_time_full{9, 9, 9, 9};

void set_level_colours(const LevelColours& colours, int level) {
    if (level < 1 || level > static_cast<int>(colours.size())) {
        return;
    }
    const ColourPair& pair = colours[static_cast<std::size_t>(level - 1)];
    console.color(pair.fg, pair.bg);
}

// The readout truncates toward zero at every step, and each difference is narrowed to single
// precision before the next step while the divisions and products run in double precision. A
// time such as 9.99 is held as a float just below 9.99 and so reads 09.98: that is how the
// clock has always read, and players know it.
TimeDigits split_time(float seconds) {
    if (!(seconds > 0.0F)) {
        return k_time_zero;
    }
    if (seconds >= k_time_shown_limit) {
        return k_time_full;
    }
    const int tens = static_cast<int>(static_cast<double>(seconds) / 10.0);
    const auto r1 = static_cast<float>(static_cast<double>(seconds) - 10.0 * tens);
    const int units = static_cast<int>(r1);
    const auto r2 = static_cast<float>(static_cast<double>(r1) - units);
    const int tenths = static_cast<int>(static_cast<double>(r2) / 0.1);
    const auto r3 = static_cast<float>(static_cast<double>(r2) - 0.1 * tenths);
    const int hundredths = static_cast<int>(static_cast<double>(r3) / 0.01);
    return {tens, units, tenths, hundredths};
}

}  // namespace

void level_fg_color(int level) {
    set_level_colours(k_level_fg_colours, level);
}

void level_bg_color(int level) {
    set_level_colours(k_level_bg_colours, level);
}

void draw_digit(int digit, int x) {
    draw_digit_at(digit, x, draw_y);
}

void draw_digit_at(int digit, int x, int y) {
    if (digit < 0 || digit >= static_cast<int>(k_digit_font.size())) {
        return;
    }
    const DigitGlyph& glyph = k_digit_font[static_cast<std::size_t>(digit)];
    for (std::size_t row = 0; row < glyph.size(); ++row) {
        print_at(x, y - 1 + static_cast<int>(row), glyph[row]);
    }
}

void draw_letter(int index, int x, int y) {
    if (index >= 0 && index < static_cast<int>(k_letter_font.size())) {
        const LetterGlyph& glyph = k_letter_font[static_cast<std::size_t>(index)];
        console.color(glyph.fg, glyph.bg);
        for (std::size_t row = 0; row < glyph.rows.size(); ++row) {
            print_at(x, y - 2 + static_cast<int>(row), glyph.rows[row]);
        }
    }
    console.color(k_after_letter.fg, k_after_letter.bg);
}

void draw_time_digit(int digit, int x) {
    print_at(k_time_caption_x, k_time_caption_y, "TIME");
    draw_digit_at(digit, x, k_time_digit_row);
    print_at(k_time_point_x, k_time_point_y, "．");
}

void draw_time_digits(const TimeDigits& digits) {
    for (std::size_t i = 0; i < digits.size(); ++i) {
        draw_time_digit(digits[i], k_time_digit_columns[i]);
    }
}

void draw_time(float seconds) {
    const ColourPair& colours = seconds < k_time_red_below ? k_time_running_out : k_time_colours;
    console.color(colours.fg, colours.bg);
    draw_time_digits(split_time(seconds));
}

void clear_panel() {
    for (const int row : k_panel_rows) {
        blank(1, row, k_panel_width);
    }
}

void reset_screen_kit() {
    draw_x = 0;
    draw_y = 0;
}

}  // namespace kal
