// The game left running for a long time: thousands of trips through the menu and whole games
// one after another. Sound voices, memory and open files must stay where they were.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "game/program.hpp"
#include "game_fixture.hpp"
#include "play/play_state.hpp"
#include "process_figures.hpp"
#include "screens/grading.hpp"
#include "screens/ranking_board.hpp"
#include "screens/ranking_file.hpp"
#include "shell/title_screen.hpp"
#include "watched_terminal.hpp"

namespace kal::test {
namespace {

// Longer than the title menu's 100 ms between polls, so that no tap falls between two polls.
constexpr std::uint64_t k_hold_ms = 150;
// The title music, an effect still playing out and one just started.
constexpr std::size_t k_most_voices = 4;
constexpr std::size_t k_heap_slack_bytes = 64 * 1024;
constexpr std::size_t k_resident_slack_kib = 2 * 1024;

struct Figures {
    std::size_t resident_kib;
    std::size_t heap_bytes;
    std::size_t descriptors;
};

Figures take_figures() {
    return {resident_kib(), heap_in_use_bytes(), open_descriptors()};
}

class SoakTest : public GameTest {
protected:
    void SetUp() override {
        GameTest::SetUp();
        console.attach(watch_, watch_.terminal());
        console.set_traits({AmbiguousWidth::narrow, true, false});
        std::srand(1);
        sim.set_time_limit(48ULL * 60 * 60 * 1000);
    }

    // Right as often as it takes to reach the item, SPACE, then SPACE again on its screen.
    void round_trip(Screen item, int rights) {
        std::uint64_t at = now() + 200;
        for (int i = 0; i < rights; ++i, at += 300) {
            sim.tap(k_key_right, at, k_hold_ms);
        }
        sim.tap(k_key_space, at, k_hold_ms);
        ASSERT_EQ(title_screen(), item);
        sim.tap(k_key_space, now() + 700, k_hold_ms);
        ASSERT_EQ(run_screen(item), Screen::title);
        note_voices();
    }

    void note_voices() {
        most_voices = std::max(most_voices, sim.sim_audio().live.size());
        EXPECT_EQ(console.voice_count(), sim.sim_audio().live.size());
    }

    // The simulated terminal keeps everything it was sent; the game does not.
    void forget_history() {
        sim.written = std::string();
        sim.sim_audio().log.clear();
        sim.sim_audio().log.shrink_to_fit();
    }

    // A player who presses SPACE every 700 ms whatever the screen, and has a name ready.
    void keep_pressing_space() {
        watch_.before_each_wait([this] {
            while (next_space_ < now() + 1000) {
                next_space_ = std::max(next_space_, now()) + 700;
                sim.tap(k_key_space, next_space_, k_hold_ms);
            }
        });
    }

    void expect_nothing_grew(const Figures& before, const Figures& after) {
        EXPECT_LE(most_voices, k_most_voices);
        EXPECT_EQ(after.descriptors, before.descriptors);
        if (k_memory_figures_meaningful) {
            EXPECT_LE(after.heap_bytes, before.heap_bytes + k_heap_slack_bytes);
            EXPECT_LE(after.resident_kib, before.resident_kib + k_resident_slack_kib);
        }
    }

    static void report(const char* what, int count, const Figures& before, const Figures& after,
                       std::size_t voices) {
        std::printf(
            "soak: %d %s; heap %zu -> %zu bytes, resident %zu -> %zu KiB, descriptors %zu -> "
            "%zu, most voices %zu\n",
            count, what, before.heap_bytes, after.heap_bytes, before.resident_kib,
            after.resident_kib, before.descriptors, after.descriptors, voices);
    }

    std::size_t most_voices = 0;

private:
    WatchedTerminal watch_{sim};
    std::uint64_t next_space_ = 0;
};

TEST_F(SoakTest, MenuRoundTripsToTheBoardAndTheCreditsLeaveNothingBehind) {
    const int trips = full_soak() ? 10'000 : 200;
    // Buffers reach their working size in the first quarter; a leak keeps growing after it.
    const int settled = trips / 4;
    Figures before{};
    for (int i = 0; i < trips; ++i) {
        if (i == settled) {
            forget_history();
            before = take_figures();
        }
        if (i % 2 == 0) {
            round_trip(Screen::ranking_board, 2);
        } else {
            round_trip(Screen::credits, 3);
        }
        if (i % 50 == 49) {
            forget_history();
        }
    }
    forget_history();
    const Figures after = take_figures();
    report("menu round trips", trips, before, after, most_voices);
    expect_nothing_grew(before, after);
    EXPECT_EQ(std::filesystem::file_size("Rank.dat"), k_rank_file_bytes);
}

TEST_F(SoakTest, WholeGamesOneAfterAnotherLeaveNothingBehind) {
    const int games = full_soak() ? 100 : 3;
    keep_pressing_space();
    Screen next = Screen::title;
    // One screen; a name is ready for the entry only when the game ranks in, since lines
    // nobody reads would pile up in the simulation.
    const auto step = [&] {
        if (next == Screen::result &&
            rank_in_place(rank_table, total_score(play.score, play.whole_seconds_left)) > 0) {
            sim.add_line("SOAK");
        }
        next = run_screen(next);
        ASSERT_NE(next, Screen::quit) << "the name entry found no name";
        note_voices();
        forget_history();
    };
    const auto play_games = [&](int count) {
        for (int played = 0; (played < count || next != Screen::title) && !HasFatalFailure();) {
            step();
            played += next == Screen::result ? 1 : 0;
        }
    };
    play_games(1);
    forget_history();
    const Figures before = take_figures();
    const std::uint64_t started = now();
    play_games(games);
    forget_history();
    const Figures after = take_figures();
    report("whole games", games, before, after, most_voices);
    std::printf("soak: %d games took %llu simulated seconds\n", games,
                static_cast<unsigned long long>((now() - started) / 1000));
    expect_nothing_grew(before, after);
    EXPECT_EQ(std::filesystem::file_size("Rank.dat"), k_rank_file_bytes);
}

}  // namespace
}  // namespace kal::test
