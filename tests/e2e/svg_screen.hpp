#pragma once

// The simulated terminal's screen as an SVG picture, the way the game is meant to look: every
// character that takes two columns in code page 932 fills a full-width cell, even where the
// terminal drew it as two narrow cells ("■■", "┏━", "▽ "); colours come from the game's
// 16-colour palette. Box-drawing lines, squares and triangles are drawn as shapes, so that the
// large digits and the boxes join up whatever font the viewer has; other text is left to a
// Japanese monospace font.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "console/text.hpp"
#include "sim_platform.hpp"

namespace kal::test {

// One character as the player sees it: where it starts, how many columns it fills, and its
// colours as palette numbers.
struct ScreenGlyph {
    int x = 1;
    int columns = 1;
    std::string text;  // empty for a blank
    int fg = 0;
    int bg = 15;
};

// Palette numbers in the console's layout (bit 0 blue, bit 1 green, bit 2 red, bit 3 bright).
inline constexpr std::array<std::string_view, 16> k_svg_palette{
    "#000000", "#000080", "#008000", "#008080", "#800000", "#800080", "#808000", "#C0C0C0",
    "#808080", "#0000FF", "#00FF00", "#00FFFF", "#FF0000", "#FF00FF", "#FFFF00", "#FFFFFF"};

inline constexpr int k_svg_cell_width = 10;
inline constexpr int k_svg_cell_height = 20;
inline constexpr int k_svg_columns = 80;
inline constexpr int k_svg_rows = 25;

// The heavy box-drawing characters of the game's fonts, by the arms they stretch from the
// middle of their cell to its edges.
struct BoxArms {
    char32_t ch;
    bool up;
    bool down;
    bool left;
    bool right;
};

inline constexpr std::array<BoxArms, 12> k_box_arms{{
    {U'━', false, false, true, true},
    {U'┃', true, true, false, false},
    {U'┏', false, true, false, true},
    {U'┓', false, true, true, false},
    {U'┗', true, false, false, true},
    {U'┛', true, false, true, false},
    {U'┣', true, true, false, true},
    {U'┫', true, true, true, false},
    {U'┳', false, true, true, true},
    {U'┻', true, false, true, true},
    {U'╋', true, true, true, true},
    {U'─', false, false, true, true},
}};

inline std::optional<BoxArms> box_arms(char32_t ch) {
    for (const BoxArms& arms : k_box_arms) {
        if (arms.ch == ch) {
            return arms;
        }
    }
    return std::nullopt;
}

// The characters of row y, left to right, each with the columns it fills.
inline std::vector<ScreenGlyph> screen_glyphs(const SimPlatform& sim, int y) {
    std::vector<ScreenGlyph> glyphs;
    int x = 1;
    while (x <= k_svg_columns) {
        const TermCell cell = sim.cell(x, y);
        ScreenGlyph glyph;
        glyph.x = x;
        glyph.fg = cell.fg < 0 ? 0 : cell.fg;
        glyph.bg = cell.bg < 0 ? 15 : cell.bg;
        glyph.columns = cell.width < 1 ? 1 : cell.width;
        if (!cell.text.empty() && cell.text != " " && cell.text != "　") {
            std::size_t pos = 0;
            const char32_t ch = next_code_point(cell.text, pos);
            glyph.text = cell.text;
            // Drawn narrow by the terminal, with its companion in the next cell.
            if (cp932_width(ch) == 2 && is_ambiguous_width(ch) && cell.width == 1) {
                glyph.columns = 2;
            }
        }
        glyph.columns = std::min(glyph.columns, k_svg_columns + 1 - x);
        x += glyph.columns;
        glyphs.push_back(std::move(glyph));
    }
    return glyphs;
}

namespace svg_detail {

struct Box {
    double left;
    double top;
    double width;
    double height;
};

inline std::string number(double value) {
    std::string text = std::to_string(value);
    text.erase(text.find_last_not_of('0') + 1);
    if (text.back() == '.') {
        text.pop_back();
    }
    return text;
}

inline std::string rect(const Box& box, std::string_view fill) {
    return "<rect x=\"" + number(box.left) + "\" y=\"" + number(box.top) + "\" width=\"" +
           number(box.width) + "\" height=\"" + number(box.height) + "\" fill=\"" +
           std::string(fill) + "\"/>";
}

inline std::string polygon(const std::vector<std::pair<double, double>>& points,
                           std::string_view fill, std::string_view stroke) {
    std::string text = "<polygon points=\"";
    for (const auto& [px, py] : points) {
        text += number(px) + "," + number(py) + " ";
    }
    text.pop_back();
    return text + "\" fill=\"" + std::string(fill) + "\" stroke=\"" + std::string(stroke) +
           "\" stroke-width=\"1.2\" shape-rendering=\"geometricPrecision\"/>";
}

inline std::string escape(std::string_view text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

constexpr double k_line = 3.0;  // the heavy lines of the digit fonts
constexpr double k_thin = 1.5;  // the rule "―"

inline std::string box_lines(const Box& box, const BoxArms& arms, std::string_view colour) {
    const double mid_x = box.left + box.width / 2;
    const double mid_y = box.top + box.height / 2;
    const double half = k_line / 2;
    std::string out;
    if (arms.left) {
        out += rect({box.left, mid_y - half, mid_x - box.left + half, k_line}, colour);
    }
    if (arms.right) {
        out +=
            rect({mid_x - half, mid_y - half, box.left + box.width - mid_x + half, k_line}, colour);
    }
    if (arms.up) {
        out += rect({mid_x - half, box.top, k_line, mid_y - box.top + half}, colour);
    }
    if (arms.down) {
        out +=
            rect({mid_x - half, mid_y - half, k_line, box.top + box.height - mid_y + half}, colour);
    }
    return out;
}

// A triangle inside the box, pointing down or up, filled or open.
inline std::string triangle(const Box& box, bool down, bool filled, std::string_view colour) {
    const double inset = box.width * 0.2;
    const double left = box.left + inset;
    const double right = box.left + box.width - inset;
    const double top = box.top + box.height / 2 - (right - left) / 2;
    const double bottom = top + (right - left) * 0.87;
    const double mid = box.left + box.width / 2;
    std::vector<std::pair<double, double>> points =
        down ? std::vector<std::pair<double, double>>{{left, top}, {right, top}, {mid, bottom}}
             : std::vector<std::pair<double, double>>{{mid, top}, {right, bottom}, {left, bottom}};
    return polygon(points, filled ? colour : "none", colour);
}

inline std::string shape_or_text(const ScreenGlyph& glyph, const Box& box) {
    const std::string_view colour = k_svg_palette[static_cast<std::size_t>(glyph.fg & 15)];
    std::size_t pos = 0;
    const char32_t ch = next_code_point(glyph.text, pos);
    if (const std::optional<BoxArms> arms = box_arms(ch)) {
        return box_lines(box, *arms, colour);
    }
    switch (ch) {
        case U'■': {
            const double inset = box.width * 0.1;
            return rect({box.left + inset, box.top + (box.height - box.width) / 2 + inset,
                         box.width - 2 * inset, box.width - 2 * inset},
                        colour);
        }
        case U'―':
            return rect({box.left, box.top + box.height / 2 - k_thin / 2, box.width, k_thin},
                        colour);
        case U'▽':
            return triangle(box, true, false, colour);
        case U'▼':
            return triangle(box, true, true, colour);
        case U'△':
            return triangle(box, false, false, colour);
        case U'▲':
            return triangle(box, false, true, colour);
        default:
            return "<text x=\"" + number(box.left + box.width / 2) + "\" y=\"" +
                   number(box.top + box.height * 0.78) + "\" fill=\"" + std::string(colour) +
                   "\">" + escape(glyph.text) + "</text>";
    }
}

}  // namespace svg_detail

// The whole 80 x 25 screen as an SVG document.
inline std::string screen_svg(const SimPlatform& sim, std::string_view title) {
    constexpr int width = k_svg_columns * k_svg_cell_width;
    constexpr int height = k_svg_rows * k_svg_cell_height;
    std::string out =
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(width) +
        "\" height=\"" + std::to_string(height) + "\" viewBox=\"0 0 " + std::to_string(width) +
        " " + std::to_string(height) + "\">\n<title>" + svg_detail::escape(title) +
        "</title>\n<g font-family=\"'Noto Sans Mono CJK JP', 'Noto Sans CJK JP', 'VL Gothic', "
        "'IPAGothic', 'MS Gothic', 'Osaka-Mono', monospace\" font-size=\"16\" "
        "text-anchor=\"middle\" shape-rendering=\"crispEdges\">\n";
    for (int y = 1; y <= k_svg_rows; ++y) {
        const double top = (y - 1) * k_svg_cell_height;
        std::string backgrounds;
        std::string glyphs;
        // Neighbouring cells of one background colour are one rectangle.
        int run_start = 1;
        int run_colour = -1;
        const auto end_run = [&](int next_x) {
            if (run_colour >= 0) {
                backgrounds +=
                    svg_detail::rect({(run_start - 1.0) * k_svg_cell_width, top,
                                      static_cast<double>((next_x - run_start) * k_svg_cell_width),
                                      k_svg_cell_height},
                                     k_svg_palette[static_cast<std::size_t>(run_colour)]);
            }
        };
        for (const ScreenGlyph& glyph : screen_glyphs(sim, y)) {
            const int colour = glyph.bg & 15;
            if (colour != run_colour) {
                end_run(glyph.x);
                run_start = glyph.x;
                run_colour = colour;
            }
            if (!glyph.text.empty()) {
                glyphs += svg_detail::shape_or_text(
                    glyph,
                    {(glyph.x - 1.0) * k_svg_cell_width, top,
                     static_cast<double>(glyph.columns * k_svg_cell_width), k_svg_cell_height});
            }
        }
        end_run(k_svg_columns + 1);
        out += backgrounds + "\n" + glyphs + "\n";
    }
    return out + "</g>\n</svg>\n";
}

}  // namespace kal::test
