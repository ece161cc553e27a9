#include "platform/system_texts.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "console/text.hpp"
#include "game/command_line.hpp"

namespace kal {
namespace {

int columns_of(std::string_view line) {
    int columns = 0;
    std::size_t pos = 0;
    while (pos < line.size()) {
        columns += cp932_width(next_code_point(line, pos));
    }
    return columns;
}

// A line of 80 columns or more wraps on an 80-column console, or leaves a blank line after it.
TEST(SystemTextsTest, EveryLineOfTheHelpFitsAnEightyColumnConsole) {
    constexpr int k_widest = 79;
    std::istringstream usage(usage_text(DataHome::working_directory));
    int lines = 0;
    for (std::string line; std::getline(usage, line); ++lines) {
        EXPECT_LE(columns_of(line), k_widest) << line;
    }
    EXPECT_GT(lines, 20);
    EXPECT_NE(usage.str().find(system_texts().quit_keys), std::string::npos);
}

}  // namespace
}  // namespace kal
