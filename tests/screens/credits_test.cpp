#include "screens/credits.hpp"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "console/console.hpp"
#include "console/text.hpp"
#include "game_fixture.hpp"
#include "screen_reading.hpp"
#include "sound_files.hpp"

namespace kal {
namespace {

using test::columns_of;
using test::write_silent_wav;

// The credits as drawn, line by line in drawing order.
std::vector<CreditLine> all_credit_lines() {
    std::vector<CreditLine> lines;
    for (int step = 1; step <= k_credit_steps; ++step) {
        for (const CreditLine& line : credit_step(step)) {
            lines.push_back(line);
        }
    }
    return lines;
}

// Splits a line of entries separated by two spaces.
std::vector<std::string> entries_of(std::string_view line) {
    std::vector<std::string> entries;
    std::size_t start = 0;
    for (std::size_t gap = line.find("  "); gap != std::string_view::npos;
         gap = line.find("  ", start)) {
        entries.emplace_back(line.substr(start, gap - start));
        start = gap + 2;
    }
    entries.emplace_back(line.substr(start));
    return entries;
}

class CreditsTest : public test::GameTest {
protected:
    void SetUp() override {
        GameTest::SetUp();
        write_silent_wav("title.wav", 10);
        write_silent_wav("kettei.wav", 10);
    }

    // Shows the credits with SPACE pressed at the given time.
    void show_credits(std::uint64_t space_at) {
        sim.press(k_key_space, space_at);
        EXPECT_EQ(credits_screen(), Screen::title);
    }

    // Where the text was first sent to the terminal; the heading mark "■" is left out, since a
    // terminal that draws it narrow gets it twice.
    [[nodiscard]] std::size_t sent_at(std::string_view text) const {
        if (text.starts_with("■")) {
            text.remove_prefix(std::string_view("■").size());
        }
        return sim.written.find(text);
    }
};

TEST_F(CreditsTest, FixedLinesStandAtTheirPlacesInBlackOnWhite) {
    struct Case {
        int x;
        int y;
        const char* text;
    };
    constexpr Case cases[] = {
        {37, 2, "CREDIT"},
        {20, 5, "■プログラマー"},
        {47, 5, "Silverthistle"},
        {20, 8, "■アドバイザー"},
        {47, 8, "柊木とろり"},
        {20, 11, "■テストプレイヤー"},
        {20, 14, "■企画制作"},
        {20, 17, "■素材提供"},
        {20, 21, "■参考  "},
        {20, 22, "       『KALEIDRON 3』 for 柊木とろり"},
        {64, 25, "Press SPACE KEY."},
    };
    show_credits(now());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_TRUE(sim.shows_at(c.x, c.y, c.text)) << sim.text(c.x, c.y, columns_of(c.text));
        EXPECT_EQ(sim.cell(c.x, c.y).fg, 0);
        EXPECT_EQ(sim.cell(c.x, c.y).bg, 15);
    }
}

TEST_F(CreditsTest, EveryCreditLineFitsTheEightyColumnsAndShowsWhole) {
    show_credits(now());
    const std::vector<CreditLine> lines = all_credit_lines();
    ASSERT_EQ(lines.size(), 14U);
    for (const CreditLine& line : lines) {
        SCOPED_TRACE(std::string(line.text));
        EXPECT_LE(line.x + columns_of(line.text) - 1, 80);
        EXPECT_TRUE(sim.shows_at(line.x, line.y, line.text));
        std::string cp932;
        EXPECT_TRUE(utf8_to_cp932(line.text, cp932));
    }
}

TEST_F(CreditsTest, ChosenLinesNameTestersPlannersProvidersAndTheReference) {
    show_credits(now());
    const std::string testers = sim.text(47, 11, 34);
    EXPECT_NE(testers.find("の皆様方"), std::string::npos) << testers;
    EXPECT_FALSE(testers.starts_with("の皆様方"));

    const std::string planning = sim.text(47, 14, 34);
    const std::size_t slash = planning.find(" / ");
    ASSERT_NE(slash, std::string::npos) << planning;
    EXPECT_GT(slash, 0U);
    EXPECT_NE(planning[slash + 3], ' ');

    for (const CreditLine& line : credit_step(5)) {
        if (line.x != 45) {
            continue;
        }
        const std::vector<std::string> entries = entries_of(line.text);
        EXPECT_EQ(entries.size(), line.y == 18 ? 2U : 1U) << line.text;
        for (const std::string& entry : entries) {
            EXPECT_TRUE(entry.starts_with("・")) << entry;
            EXPECT_TRUE(entry.ends_with("様")) << entry;
            EXPECT_GT(entry.size(), std::string_view("・様").size()) << entry;
        }
    }

    const std::string reference = sim.text(20, 21, 61);
    const std::size_t open = reference.find("(https://");
    ASSERT_NE(open, std::string::npos) << reference;
    EXPECT_GT(open, std::string_view("■参考  ").size());
    EXPECT_NE(reference.find(')', open), std::string::npos) << reference;
}

TEST_F(CreditsTest, CreditLinesAreDrawnBeforeTheirHeadingsAndProvidersFromRow19Up) {
    if (on_system_console()) {
        GTEST_SKIP() << "the order of the bytes sent to a terminal; the console is written by rows";
    }
    show_credits(now());
    struct Case {
        int x;
        int y;
    };
    // In drawing order, as a player would see them appear.
    constexpr Case order[] = {{47, 5},  {20, 5},  {47, 8},  {20, 8},  {47, 11}, {20, 11}, {47, 14},
                              {20, 14}, {45, 19}, {45, 18}, {45, 17}, {20, 17}, {20, 21}, {20, 22}};
    const std::vector<CreditLine> lines = all_credit_lines();
    ASSERT_EQ(lines.size(), std::size(order));
    std::size_t last = sent_at("CREDIT");
    for (std::size_t i = 0; i < lines.size(); ++i) {
        SCOPED_TRACE(std::string(lines[i].text));
        EXPECT_EQ(lines[i].x, order[i].x);
        EXPECT_EQ(lines[i].y, order[i].y);
        const std::size_t at = sent_at(lines[i].text);
        ASSERT_NE(at, std::string::npos);
        EXPECT_GT(at, last);
        last = at;
    }
    EXPECT_GT(sent_at("Press SPACE KEY."), last);
}

TEST_F(CreditsTest, ListTakes20MsPerStepThenWaitsForSpace) {
    const std::uint64_t start = now();
    show_credits(start + 3000);
    const std::vector<std::uint64_t> expected{start + 3000};
    EXPECT_EQ(sim.sim_audio().starts_of("kettei.wav"), expected);
    EXPECT_EQ(now(), start + 3000);
}

TEST_F(CreditsTest, SpaceStillHeldWhenTheListIsDrawnReturnsToTitleAtOnce) {
    struct Case {
        std::uint64_t pressed_after;
        std::uint64_t decided_after;
    };
    // The seven steps take 140 ms; a press before that is seen as soon as the list is drawn.
    constexpr Case cases[] = {{0, 140}, {139, 140}, {140, 140}, {141, 141}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pressed_after);
        const std::uint64_t start = now();
        const std::size_t decided = sim.sim_audio().starts_of("kettei.wav").size();
        show_credits(start + c.pressed_after);
        ASSERT_EQ(sim.sim_audio().starts_of("kettei.wav").size(), decided + 1);
        EXPECT_EQ(sim.sim_audio().starts_of("kettei.wav").back(), start + c.decided_after);
        EXPECT_EQ(now(), start + c.decided_after);
        sim.release(k_key_space, now());
        sim.advance(1000);
    }
}

}  // namespace
}  // namespace kal
