#include "screens/ranking_board.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "console/console.hpp"
#include "game_fixture.hpp"
#include "screen_reading.hpp"
#include "screens/ranking_file.hpp"
#include "shell/music.hpp"
#include "shell/screen_kit.hpp"
#include "sound_files.hpp"

namespace kal::test {
namespace {

RankEntry place_of(std::int32_t score, std::string_view name) {
    RankEntry entry{score, {}};
    std::copy(name.begin(), name.end(), entry.name.begin());
    return entry;
}

constexpr std::string_view k_rule = "━━━━━━━━━━━━━";

struct PlaceLayout {
    int place;
    int x;
    int y;
};

constexpr PlaceLayout k_fifth{5, 35, 22};
constexpr PlaceLayout k_first{1, 7, 6};

class RankingBoardTest : public GameTest {
protected:
    void SetUp() override {
        GameTest::SetUp();
        reset_ranking();
        set_ranking_path("Rank.dat");
        reset_ranking_board();
        reset_screen_kit();
    }
    void TearDown() override {
        reset_ranking_board();
        reset_ranking();
        reset_screen_kit();
        GameTest::TearDown();
    }

    // Puts a ranking on disk as the game would have saved it.
    static void store_ranking(const RankTable& table) {
        rank_table = table;
        save_ranking();
        reset_ranking();
    }

    // Opens the board and presses SPACE a second after it has come up.
    Screen visit() {
        tap(k_key_space, now() + 1500);
        return ranking_board();
    }

    [[nodiscard]] bool blank_block(int x, int y) const {
        const std::string blanks(6, ' ');
        return sim.text(x, y - 1, 6) == blanks && sim.text(x, y, 6) == blanks &&
               sim.text(x, y + 1, 6) == blanks;
    }

    // The score above a place's rule as the player reads it: "-" where no glyph stands.
    [[nodiscard]] std::string score_at(const PlaceLayout& layout) const {
        std::string shown;
        for (const int offset : {25, 31, 37}) {
            const int x = layout.x + offset;
            const int digit = read_digit(sim, x, layout.y - 1);
            if (digit >= 0) {
                shown += static_cast<char>('0' + digit);
            } else {
                shown += blank_block(x, layout.y - 1) ? '-' : '?';
            }
        }
        return shown;
    }
};

TEST_F(RankingBoardTest, TheDefaultRankingShowsEachPlaceWithItsDigitSuffixNameAndScore) {
    struct Case {
        PlaceLayout layout;
        int colour;
        const char* suffix;
        const char* name;  // padded to the 14 columns left for it
        const char* score;
    };
    const Case cases[] = {
        {{5, 35, 22}, 2, "th", "Silverthistle ", "-30"},
        {{4, 28, 18}, 2, "th", "霜柱          ", "-60"},
        {{3, 21, 14}, 2, "rd", "凪砂          ", "-90"},
        {{2, 14, 10}, 9, "nd", "灯籠守        ", "120"},
        {{1, 7, 6}, 12, "st", "柊木とろり    ", "150"},
    };
    EXPECT_EQ(visit(), Screen::title);
    for (const Case& c : cases) {
        const auto [place, x, y] = c.layout;
        EXPECT_EQ(read_digit(sim, x, y), place) << place;
        EXPECT_EQ(sim.text(x + 6, y, 2), c.suffix) << place;
        EXPECT_EQ(sim.text(x + 6, y + 1, 26), k_rule) << place;
        EXPECT_EQ(sim.text(x + 11, y, 14), c.name) << place;
        EXPECT_EQ(score_at(c.layout), c.score) << place;
        for (const auto& [cx, cy] :
             {std::pair{x, y - 1}, {x + 6, y}, {x + 6, y + 1}, {x + 31, y - 2}, {x + 37, y}}) {
            EXPECT_EQ(sim.cell(cx, cy).fg, c.colour) << place << " at " << cx << "," << cy;
            EXPECT_EQ(sim.cell(cx, cy).bg, 15) << place << " at " << cx << "," << cy;
        }
        EXPECT_EQ(sim.cell(x + 11, y).fg, 0) << place;
        EXPECT_EQ(sim.cell(x + 11, y).bg, 15) << place;
    }
}

TEST_F(RankingBoardTest, TheBoardIsHeadedHiScoreInRedOnAWhiteScreen) {
    visit();
    EXPECT_EQ(sim.text(36, 2, 8), "HI SCORE");
    EXPECT_EQ(sim.cell(36, 2).fg, 12);
    for (const auto& [x, y] : {std::pair{1, 1}, {80, 1}, {1, 25}, {80, 24}, {40, 13}}) {
        EXPECT_EQ(sim.cell(x, y).bg, 15) << x << "," << y;
    }
}

TEST_F(RankingBoardTest, ScoresShowTwoGlyphsUpTo99AndThreeFrom100) {
    struct Case {
        std::int32_t score;
        const char* shown;
    };
    const Case cases[] = {
        {0, "-00"}, {7, "-07"}, {10, "-10"}, {99, "-99"}, {100, "100"}, {101, "101"}, {999, "999"},
    };
    for (const Case& c : cases) {
        store_ranking({place_of(150, "A"), place_of(120, "B"), place_of(90, "C"), place_of(60, "D"),
                       place_of(c.score, "E")});
        console.cls(0, 15);
        visit();
        EXPECT_EQ(score_at(k_fifth), c.shown) << c.score;
    }
}

// A damaged file can hold any score; the board has room for three glyphs and shows the
// nearest score it can: nothing below 0, and 999 for anything higher.
TEST_F(RankingBoardTest, ScoresBeyondThreeDigitsHoldAt999AndNegativeScoresReadZero) {
    struct Case {
        std::int32_t score;
        const char* shown;
    };
    const Case cases[] = {
        {1000, "999"}, {123456, "999"}, {INT_MAX, "999"},
        {-1, "-00"},   {-450, "-00"},   {INT_MIN, "-00"},
    };
    for (const Case& c : cases) {
        store_ranking({place_of(c.score, "A"), place_of(120, "B"), place_of(90, "C"),
                       place_of(60, "D"), place_of(c.score, "E")});
        console.cls(0, 15);
        visit();
        EXPECT_EQ(score_at(k_fifth), c.shown) << c.score;
        EXPECT_EQ(score_at(k_first), c.shown) << c.score;
        // Nothing to the right of the last glyph.
        for (int y = 20; y <= 22; ++y) {
            EXPECT_EQ(sim.text(78, y, 3), "   ") << c.score << " row " << y;
        }
    }
}

TEST_F(RankingBoardTest, ANameThatFillsItsWholeFieldStopsAtTheFieldsEnd) {
    RankEntry full{150, {}};
    full.name.fill('A');
    store_ranking(
        {full, place_of(120, "B"), place_of(90, "C"), place_of(60, "D"), place_of(30, "E")});
    visit();
    // The name runs from column 18 over 52 columns; the score's glyphs cover 32 to 49.
    EXPECT_EQ(sim.text(18, 6, 14), std::string(14, 'A'));
    EXPECT_EQ(sim.text(50, 6, 20), std::string(20, 'A'));
    EXPECT_EQ(sim.text(70, 6, 11), std::string(11, ' '));
}

TEST_F(RankingBoardTest, ControlBytesInANameNeverReachTheTerminal) {
    store_ranking({place_of(150, "Ann\x1b[2J\x07"), place_of(120, "B"), place_of(90, "C"),
                   place_of(60, "D"), place_of(30, "E")});
    visit();
    EXPECT_EQ(sim.written.find("\x1b[2J\x07"), std::string::npos);
    EXPECT_EQ(sim.written.find('\x07'), std::string::npos);
    EXPECT_EQ(sim.text(18, 6, 3), "Ann");
    EXPECT_EQ(sim.text(36, 2, 8), "HI SCORE");
}

TEST_F(RankingBoardTest, ThePlacesAppear100MsApartTheFifthFirstWithoutMusic) {
    write_silent_wav("title.wav", 1000);
    const std::vector<std::string> names{"Silverthistle", "霜柱",       "凪砂",
                                         "灯籠守",        "柊木とろり", "Press SPACE KEY."};
    std::vector<std::uint64_t> first_seen(names.size(), 0);
    sim.on_wait([&](SimPlatform&) {
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (first_seen[i] == 0 && sim.shows(names[i])) {
                first_seen[i] = sim.now_ms();
            }
        }
    });
    const std::uint64_t start = now();
    visit();
    const std::vector<std::uint64_t> expected{start,       start + 100, start + 200,
                                              start + 300, start + 400, start + 500};
    EXPECT_EQ(first_seen, expected);
    EXPECT_EQ(sim.sim_audio().starts_of("title.wav"), std::vector<std::uint64_t>{start + 500});
}

TEST_F(RankingBoardTest, TheFirstBoardAfterAGameThanksThePlayerAndTheNextDoesNot) {
    after_game = 1;
    visit();
    EXPECT_EQ(sim.text(36, 25, 44), "Thank you for your playing. Press SPACE KEY.");
    EXPECT_EQ(sim.cell(36, 25).fg, 0);
    EXPECT_EQ(sim.cell(36, 25).bg, 15);
    EXPECT_EQ(after_game, 0);

    visit();
    EXPECT_EQ(sim.text(64, 25, 16), "Press SPACE KEY.");
    EXPECT_EQ(sim.text(1, 25, 63), std::string(63, ' '));
    EXPECT_EQ(sim.cell(64, 25).fg, 0);
    EXPECT_EQ(sim.cell(64, 25).bg, 15);
}

TEST_F(RankingBoardTest, SpaceHeldOnArrivalReturnsToTheTitleAtOnce) {
    write_silent_wav("kettei.wav", 300);
    const std::uint64_t start = now();
    sim.press(k_key_space, start);
    EXPECT_EQ(ranking_board(), Screen::title);
    EXPECT_EQ(now(), start + 500);
    EXPECT_EQ(sim.sim_audio().starts_of("kettei.wav"), std::vector<std::uint64_t>{start + 500});
}

TEST_F(RankingBoardTest, TheBoardWaitsForSpaceWithTheTitleMusicLooping) {
    write_silent_wav("kettei.wav", 300);
    write_silent_wav("title.wav", 1000);
    const std::uint64_t start = now();
    tap(k_key_space, start + 20000);
    EXPECT_EQ(ranking_board(), Screen::title);
    EXPECT_EQ(now(), start + 20000);
    EXPECT_EQ(sim.sim_audio().starts_of("kettei.wav"), std::vector<std::uint64_t>{start + 20000});
    const std::vector<std::uint64_t> music{start + 500, start + 500 + 8727, start + 500 + 2 * 8727};
    EXPECT_EQ(sim.sim_audio().starts_of("title.wav"), music);
}

TEST_F(RankingBoardTest, DeletingTheRankingFileBringsBackTheDefaultsAndRecreatesIt) {
    store_ranking({place_of(500, "Zed"), place_of(400, "B"), place_of(300, "C"), place_of(200, "D"),
                   place_of(100, "E")});
    load_ranking();
    std::filesystem::remove("Rank.dat");
    visit();
    ASSERT_TRUE(std::filesystem::exists("Rank.dat"));
    EXPECT_EQ(std::filesystem::file_size("Rank.dat"), k_rank_file_bytes);
    EXPECT_EQ(score_at(k_first), "150");
    EXPECT_EQ(sim.text(46, 22, 13), "Silverthistle");
    EXPECT_FALSE(sim.shows("Zed"));
}

TEST_F(RankingBoardTest, TheBoardShowsTheFileAsItIsNowAndRewritesItWhole) {
    store_ranking({place_of(42, "Ann"), place_of(41, "Bo"), place_of(40, "Cy"), place_of(39, "Di"),
                   place_of(38, "Ed")});
    std::filesystem::resize_file("Rank.dat", 5 * k_rank_record_bytes);
    visit();
    EXPECT_EQ(sim.text(18, 6, 3), "Ann");
    EXPECT_EQ(score_at(k_first), "-42");
    EXPECT_EQ(std::filesystem::file_size("Rank.dat"), k_rank_file_bytes);
}

}  // namespace
}  // namespace kal::test
