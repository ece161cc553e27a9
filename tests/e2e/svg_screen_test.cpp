#include "svg_screen.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "console/console.hpp"
#include "game_fixture.hpp"

namespace kal::test {
namespace {

class SvgScreenTest : public GameTest {
protected:
    void print_at(int x, int y, int fg, int bg, std::string_view text) {
        console.locate(x, y);
        console.color(fg, bg);
        console.print(text);
        console.flush();
    }

    // The glyph of row y that starts at column x.
    [[nodiscard]] ScreenGlyph glyph_at(int x, int y) const {
        for (const ScreenGlyph& glyph : screen_glyphs(sim, y)) {
            if (glyph.x == x) {
                return glyph;
            }
        }
        return {};
    }
};

struct WidthCase {
    std::string_view text;
    int columns;
};

TEST_F(SvgScreenTest, EveryCharacterFillsItsCodePage932Columns) {
    // The square and the box corner are drawn narrow by this terminal, with a companion cell.
    for (const WidthCase& c : std::vector<WidthCase>{
             {"A", 1}, {"･", 1}, {"挑", 2}, {"■", 2}, {"┏", 2}, {"▽", 2}, {"―", 2}}) {
        SCOPED_TRACE(std::string(c.text));
        print_at(11, 5, 0, 15, c.text);
        print_at(11 + c.columns, 5, 0, 15, "Z");
        EXPECT_EQ(glyph_at(11, 5).text, c.text);
        EXPECT_EQ(glyph_at(11, 5).columns, c.columns);
        EXPECT_EQ(glyph_at(11 + c.columns, 5).text, "Z");
        print_at(1, 5, 0, 15, std::string(80, ' '));
    }
}

TEST_F(SvgScreenTest, CharactersKeepTheGamesPaletteColours) {
    print_at(3, 2, 12, 9, "A");
    const ScreenGlyph glyph = glyph_at(3, 2);
    EXPECT_EQ(glyph.fg, 12);
    EXPECT_EQ(glyph.bg, 9);
    const std::string svg = screen_svg(sim, "colours");
    EXPECT_NE(svg.find("fill=\"#FF0000\">A</text>"), std::string::npos);
    EXPECT_NE(svg.find("x=\"20\" y=\"20\" width=\"10\" height=\"20\" fill=\"#0000FF\""),
              std::string::npos);
}

TEST_F(SvgScreenTest, FullWidthBlanksShowOnlyTheirBackground) {
    print_at(5, 3, 0, 14, "　");
    EXPECT_TRUE(glyph_at(5, 3).text.empty());
    EXPECT_EQ(glyph_at(5, 3).columns, 2);
    EXPECT_EQ(screen_svg(sim, "blank").find("<text"), std::string::npos);
}

// The horizontal pieces of the stroke on the middle line of row y, as [left, right) spans.
std::vector<std::pair<double, double>> stroke_spans(const std::string& svg, int y,
                                                    std::string_view colour) {
    const double middle = (y - 1) * k_svg_cell_height + k_svg_cell_height / 2.0;
    const std::regex rect(
        R"re(<rect x="([0-9.]+)" y="([0-9.]+)" width="([0-9.]+)" height="([0-9.]+)" fill="([^"]+)")re");
    std::vector<std::pair<double, double>> spans;
    for (std::sregex_iterator it(svg.begin(), svg.end(), rect), end; it != end; ++it) {
        const double top = std::stod((*it)[2]);
        const double height = std::stod((*it)[4]);
        if ((*it)[5].str() == colour && height < k_svg_cell_height && top < middle &&
            top + height > middle) {
            const double left = std::stod((*it)[1]);
            spans.emplace_back(left, left + std::stod((*it)[3]));
        }
    }
    std::sort(spans.begin(), spans.end());
    return spans;
}

TEST_F(SvgScreenTest, TheTopOfADigitIsOneUnbrokenStrokeFromCornerToCorner) {
    print_at(11, 7, 9, 15, "┏━┓");
    const auto spans = stroke_spans(screen_svg(sim, "digit"), 7, "#0000FF");
    ASSERT_FALSE(spans.empty());
    // From the middle of the first full-width cell (columns 11-12, x 100-120) to the middle of
    // the last (columns 15-16, x 140-160), half a line wide beyond each, without a gap.
    EXPECT_DOUBLE_EQ(spans.front().first, 110 - 1.5);
    double reached = spans.front().first;
    for (const auto& [left, right] : spans) {
        EXPECT_LE(left, reached) << "a gap in the stroke at x " << reached;
        reached = std::max(reached, right);
    }
    EXPECT_DOUBLE_EQ(reached, 150 + 1.5);
}

}  // namespace
}  // namespace kal::test
