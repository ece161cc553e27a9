// Whatever arrives from the keyboard side of the terminal: megabytes of random bytes during a
// game, random lines at the name entry, a terminal that never answers the start-up questions,
// a window shrunk to 40 x 10 and grown back in the middle of a game. The game goes on, the
// terminal only ever receives the game's own output, and Rank.dat stays whole.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "console/text.hpp"
#include "game/program.hpp"
#include "game_fixture.hpp"
#include "play/normal_mode.hpp"
#include "play/play_state.hpp"
#include "process_figures.hpp"
#include "screens/grading.hpp"
#include "screens/ranking_board.hpp"
#include "screens/ranking_file.hpp"
#include "screens/result_screen.hpp"
#include "terminal_output.hpp"
#include "text_files.hpp"
#include "watched_terminal.hpp"

namespace kal::test {
namespace {

constexpr std::size_t k_random_bytes = 2U * 1024U * 1024U;
constexpr std::size_t k_piece_bytes = 4096;
constexpr std::uint64_t k_flood_ms = 60'000;

std::string random_bytes(std::mt19937& random, std::size_t count) {
    std::uniform_int_distribution<int> byte(0, 255);
    std::string bytes(count, '\0');
    std::generate(bytes.begin(), bytes.end(), [&] { return static_cast<char>(byte(random)); });
    return bytes;
}

// Every cell of the terminal shows what the console believes it drew, in its colours.
std::string first_cell_out_of_step(const SimPlatform& sim) {
    for (int y = 1; y <= k_screen_rows; ++y) {
        for (int x = 1; x <= k_screen_cols; ++x) {
            const Cell& drawn = console.screen().at(x, y);
            if (drawn.width == 0) {
                continue;
            }
            std::string expected;
            append_utf8(expected, drawn.ch);
            const TermCell shown = sim.cell(x, y);
            if (sim.text(x, y, drawn.width) != expected || shown.fg != drawn.fg ||
                shown.bg != drawn.bg) {
                return std::to_string(x) + "," + std::to_string(y) + " shows \"" +
                       sim.text(x, y, drawn.width) + "\" instead of \"" + expected + "\"";
            }
        }
    }
    return {};
}

class HostileInputTest : public GameTest {
protected:
    void SetUp() override {
        GameTest::SetUp();
        console.attach(terminal, terminal.terminal());
        console.set_traits({AmbiguousWidth::narrow, true, false});
    }

    void use_keyboard(bool kitty) {
        sim.set_kitty(kitty);
        console.set_traits({AmbiguousWidth::narrow, kitty, false});
    }

    WatchedTerminal terminal{sim};
};

TEST_F(HostileInputTest, MegabytesOfRandomInputDuringAGameNeverReachTheScreen) {
    for (const bool kitty : {true, false}) {
        SCOPED_TRACE(kitty ? "kitty keyboard" : "keys without releases");
        use_keyboard(kitty);
        sim.written.clear();
        std::mt19937 random(kitty ? 7U : 11U);
        const std::uint64_t start = now();
        const std::size_t pieces = k_random_bytes / k_piece_bytes;
        for (std::size_t i = 0; i < pieces; ++i) {
            sim.send(random_bytes(random, k_piece_bytes), start + k_flood_ms * i / pieces);
        }
        EXPECT_EQ(start_normal_mode(), Screen::result);
        EXPECT_GE(play.question_no, 1);
        EXPECT_EQ(foreign_terminal_bytes(sim.written), "");
        EXPECT_EQ(first_cell_out_of_step(sim), "");
    }
}

TEST_F(HostileInputTest, RandomLinesAtTheNameEntryLeaveAWholeRankingWithAPrintableName) {
    std::mt19937 random(3U);
    for (int game = 0; game < 3; ++game) {
        SCOPED_TRACE(game);
        reset_game_state();
        load_ranking();
        play.score = 400;
        for (int line = 0; line < 200; ++line) {
            std::string text = random_bytes(random, random() % 40);
            // Enter and Ctrl-D end a line or the input wherever they are typed.
            for (const char ends : {'\n', '\r', '\x04'}) {
                std::replace(text.begin(), text.end(), ends, ' ');
            }
            sim.add_line(text);
        }
        sim.add_line("END");
        sim.tap(k_key_space, now() + 9500, 150);
        EXPECT_EQ(result_screen(), Screen::ranking_board);

        const std::string saved = read_text("Rank.dat");
        ASSERT_EQ(saved.size(), k_rank_file_bytes);
        const std::string name(rank_table[0].name.data());
        EXPECT_LE(name.size(), 14U);
        for (const char byte : name) {
            const auto value = static_cast<unsigned char>(byte);
            EXPECT_TRUE(value >= 0x20 && value != 0x7F) << static_cast<int>(value);
        }
        std::string round_trip;
        EXPECT_TRUE(utf8_to_cp932(cp932_to_utf8(name), round_trip));
        EXPECT_EQ(round_trip, name);
        EXPECT_EQ(foreign_terminal_bytes(sim.written), "");
    }
}

TEST_F(HostileInputTest, TypedNameWithAControlCharacterIsAskedForAgain) {
    struct Case {
        std::string_view typed;
        bool taken;
    };
    const std::array<Case, 8> cases{{
        {"A\x1b[2J", false},
        {"\x1b]0;x\x07", false},
        {"NAME\x1f", false},
        {"NAME!", true},
        {"NAME\x7f", false},
        {"NAME~", true},
        {"\x08\x08\x08", false},
        {"\xef\xbd\xb1", true},  // a half-width katakana, one byte in code page 932
    }};
    for (const Case& c : cases) {
        RankEntry entry{30, {}};
        EXPECT_EQ(set_entry_name(c.typed, entry), c.taken) << c.typed;
    }
}

// The title screen's key help line: once it stands, the game is ready for the player.
class ReachedTheTitle {};

TEST_F(HostileInputTest, StartUpReachesTheTitleWithinAFewHundredMillisecondsWhateverTheAnswers) {
    struct Case {
        const char* what;
        std::vector<std::pair<std::uint64_t, std::string>> answers;
        std::uint64_t most_ms;
        bool kitty;
    };
    std::vector<std::pair<std::uint64_t, std::string>> chatter;
    for (std::uint64_t at = 0; at < 1000; at += 5) {
        chatter.emplace_back(at, "\x1b[5;5R\x1b]11;rgb:0/0/0\x07");
    }
    const std::vector<Case> cases{
        {"no answer at all", {}, 300, false},
        {"an unfinished answer", {{10, "\x1b[?"}}, 300, false},
        {"answers that are never the last one", chatter, 300, false},
        {"a prompt answer", {{20, "\x1b[?0u\x1b[2;2R\x1b[?62;22c"}}, 100, true},
        {"an answer just too late", {{201, "\x1b[?0u\x1b[2;2R\x1b[?62;22c"}}, 300, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        reset_game_state();
        console.attach(terminal, terminal.terminal());
        sim.write_output("\x1b[2J");
        const std::uint64_t start = now();
        for (const auto& [at, bytes] : c.answers) {
            sim.send(bytes, start + at);
        }
        console.query_terminal();
        std::uint64_t reached = 0;
        terminal.before_each_wait([&] {
            if (reached == 0 && sim.shows("[SPACE]…決定")) {
                reached = now();
                throw ReachedTheTitle{};
            }
        });
        EXPECT_THROW(run_program(), ReachedTheTitle);
        EXPECT_GT(reached, 0U);
        EXPECT_LE(reached - start, c.most_ms);
        EXPECT_EQ(console.traits().kitty_keyboard, c.kitty);
        terminal.clear_hooks();
        sim.advance(1000);
        sim.discard_input();
    }
}

TEST_F(HostileInputTest, TerminalShrunkTo40By10AndGrownBackShowsTheWholeGameAgain) {
    const std::uint64_t start = now();
    bool shrunk = false;
    bool grown = false;
    std::string notice;
    std::string after_growing;
    terminal.before_each_wait([&] {
        if (!shrunk && now() >= start + 5000) {
            shrunk = true;
            sim.resize(40, 10);
        } else if (shrunk && !grown && now() >= start + 9000) {
            notice = sim.text(9, 5, 24);
            grown = true;
            sim.resize(80, 25);
        } else if (grown && after_growing.empty() && now() >= start + 9100) {
            after_growing = first_cell_out_of_step(sim);
            after_growing += "checked";
        }
    });
    EXPECT_EQ(start_normal_mode(), Screen::result);
    EXPECT_EQ(notice, "80x25 以上に広げて下さい");
    EXPECT_EQ(after_growing, "checked");
    EXPECT_EQ(first_cell_out_of_step(sim), "");
}

TEST_F(HostileInputTest, AFloodOfSpacesWhileTheBoardClimbsIsNotHeldInMemory) {
    load_ranking();
    constexpr std::size_t flood_bytes = 1024U * 1024U;
    const std::size_t before = heap_in_use_bytes();
    sim.send(std::string(flood_bytes, ' '), now() + 50);
    sim.tap(k_key_space, now() + 2000, 150);
    EXPECT_EQ(ranking_board(), Screen::title);
    EXPECT_LT(heap_in_use_bytes(), before + flood_bytes);
}

}  // namespace
}  // namespace kal::test
