#include "screens/ranking_board.hpp"

#include <array>
#include <string_view>

#include "console/console.hpp"
#include "screens/grading.hpp"
#include "screens/ranking_file.hpp"
#include "shell/draw.hpp"
#include "shell/music.hpp"
#include "shell/screen_kit.hpp"

namespace kal {

int after_game = 0;

namespace {

struct PlaceStyle {
    Colour colour;
    std::string_view suffix;
};

// 1st to 5th place.
constexpr std::array<PlaceStyle, 5> k_place_styles{{
    {k_bright_red, "st"},
    {k_bright_blue, "nd"},
    {k_green, "rd"},
    {k_green, "th"},
    {k_green, "th"},
}};

constexpr std::string_view k_rule = "━━━━━━━━━━━━━";

// The 5th place stands at (35, 22); each place above it 7 columns left and 4 rows up.
constexpr int k_lowest_place = 5;
constexpr int k_lowest_x = 35;
constexpr int k_lowest_y = 22;
constexpr int k_step_x = 7;
constexpr int k_step_y = 4;

constexpr int k_name_offset = 11;
// The three glyphs of the score, side by side.
constexpr int k_hundreds_offset = 25;
constexpr int k_tens_offset = k_hundreds_offset + k_digit_glyph_columns;
constexpr int k_units_offset = k_tens_offset + k_digit_glyph_columns;

constexpr std::uint64_t k_place_interval_ms = 100;

constexpr Colour k_heading_colour = k_bright_red;

void draw_heading() {
    console.color(k_black, k_white);
    console.cls(k_keep, k_keep);
    print_at(36, 2, k_heading_colour, k_white, "HI SCORE");
}

void draw_score(std::int32_t score, int x, int y) {
    // A damaged file may hold any score: it shows as the result screen shows a total, so only
    // digits are drawn and nothing leaves the board.
    const int shown = shown_total(score);
    if (shown > 99) {
        draw_digit_at(shown / 100, x + k_hundreds_offset, y - 1);
    }
    draw_digit_at(shown / 10 % 10, x + k_tens_offset, y - 1);
    draw_digit_at(shown % 10, x + k_units_offset, y - 1);
}

// The place digit with its suffix and rule, the name, and the score above the rule.
void draw_place(int place) {
    const auto index = static_cast<std::size_t>(place - 1);
    const PlaceStyle& style = k_place_styles[index];
    const RankEntry& entry = rank_table[index];
    const int x = k_lowest_x - k_step_x * (k_lowest_place - place);
    const int y = k_lowest_y - k_step_y * (k_lowest_place - place);
    const DigitGlyph& glyph = k_digit_font[static_cast<std::size_t>(place)];

    console.color(style.colour, k_keep);
    print_at(x, y - 1, glyph[0]);
    print_at(x, y, glyph[1]);
    console.print(style.suffix);
    print_at(x, y + 1, glyph[2]);
    console.print(k_rule);

    console.color(k_black, k_white);
    console.locate(x + k_name_offset, y);
    // The whole field, never more: the name ends at its zero byte or at the field's end.
    console.print_cp932(std::string_view(entry.name.data(), entry.name.size()));

    console.color(style.colour, k_keep);
    draw_score(entry.score, x, y);
}

void draw_bottom_line() {
    console.color(k_black, k_white);
    if (after_game != 0) {
        after_game = 0;
        print_at(36, 25, "Thank you for your playing. Press SPACE KEY.");
    } else {
        print_at(64, 25, "Press SPACE KEY.");
    }
}

}  // namespace

Screen ranking_board() {
    draw_heading();
    // The board always shows the file as it is now, and leaves it in its full form.
    load_ranking();
    save_ranking();
    for (int place = k_lowest_place; place >= 1; --place) {
        draw_place(place);
        // The music is not serviced while the staircase climbs.
        console.wait(k_place_interval_ms);
    }
    draw_bottom_line();
    wait_space(k_track_title);
    return Screen::title;
}

void reset_ranking_board() {
    after_game = 0;
}

}  // namespace kal
