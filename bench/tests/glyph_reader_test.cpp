#include "glyph_reader.hpp"

#include <gtest/gtest.h>

#include <string>

#include "console/backends/terminal.hpp"
#include "console/console.hpp"
#include "shell/screen_kit.hpp"

namespace kal::bench {
namespace {

class SilentAudio final : public AudioDevice {
public:
    std::uint32_t open_voice(std::string_view, const PcmFormat&, std::span<const std::uint8_t>,
                             std::uint32_t) override {
        return 0;
    }
    bool restart(std::uint32_t) override { return false; }
    bool stop(std::uint32_t) override { return false; }
    void close(std::uint32_t) override {}
};

// A terminal that keeps what the game's console writes, to be fed to the benchmark's screen.
class CapturedTerminal final : public Platform {
public:
    std::uint64_t now_ms() override { return 0; }
    std::time_t calendar_time() override { return 0; }
    unsigned random_seed() override { return 0; }
    void wait_input(std::uint64_t) override {}
    std::size_t read_input(std::span<char>) override { return 0; }
    void write_output(std::string_view bytes) override { output += bytes; }
    TermSize terminal_size() override { return {}; }
    bool take_redraw_request() override { return false; }
    void set_keyboard_protocol(bool) override {}
    void set_line_input(bool) override {}
    void discard_input() override {}
    void interrupt() override {}
    AudioDevice& audio() override { return audio_; }

    std::string output;

private:
    SilentAudio audio_;
};

// Digits drawn by the game's own console onto a narrow terminal, as the benchmark plays on one.
class GlyphReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        console.attach(terminal, backend);
        console.set_traits({AmbiguousWidth::narrow, false, false});
        console.color(9, 15);
        console.cls(16, 16);
    }
    void TearDown() override { console.detach(); }

    void draw(int digit, int x, int y) { draw_digit_at(digit, x, y); }
    void show() {
        console.flush();
        screen.feed(terminal.output);
        terminal.output.clear();
    }

    CapturedTerminal terminal;
    TerminalBackend backend{terminal};
    ScreenModel screen;
};

TEST_F(GlyphReaderTest, EveryDigitOfTheGameFontIsReadWhereItStands) {
    for (int digit = 0; digit <= 9; ++digit) {
        draw(digit, 1 + 8 * digit, 7);
    }
    show();
    for (int digit = 0; digit <= 9; ++digit) {
        EXPECT_EQ(read_digit(screen, 1 + 8 * digit, 7), digit);
        EXPECT_EQ(read_digit(screen, 2 + 8 * digit, 7), -1) << "one column off";
    }
}

TEST_F(GlyphReaderTest, ARowOfTouchingGlyphsIsReadLeftToRight) {
    const int row[] = {3, 1, 4, 5, 9, 2, 6, 8};
    for (int k = 0; k < 8; ++k) {
        draw(row[k], 20 + 6 * k, 7);
    }
    show();
    const std::vector<FoundDigit> found = read_digits(screen, 7);
    ASSERT_EQ(found.size(), 8U);
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(found[static_cast<std::size_t>(k)].x, 20 + 6 * k);
        EXPECT_EQ(found[static_cast<std::size_t>(k)].digit, row[k]);
    }
}

TEST_F(GlyphReaderTest, AGlyphCutByTheScreenEdgeIsNotRead) {
    draw(8, 77, 17);  // the right third is clipped
    draw(0, 40, 17);
    show();
    const std::vector<FoundDigit> found = read_digits(screen, 17);
    ASSERT_EQ(found.size(), 1U);
    EXPECT_EQ(found[0].digit, 0);
    EXPECT_EQ(read_digit(screen, 77, 17), -1);
}

}  // namespace
}  // namespace kal::bench
