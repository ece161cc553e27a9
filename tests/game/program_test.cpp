#include "game/program.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "game_fixture.hpp"

namespace kal::test {
namespace {

using ProgramTest = GameTest;

// The title's key help: once it stands, the program's start-up is over.
class ReachedTheTitle {};

// The rows a game scrolls are drawn from the platform's seed, so that a simulated game is the
// same game every run and a real one another game every run.
TEST_F(ProgramTest, TheRandomDrawsOfARunFollowThePlatformsSeed) {
    for (const unsigned seed : {12345U, 777U}) {
        SCOPED_TRACE(seed);
        sim.set_random_seed(seed);
        sim.on_wait([](SimPlatform& terminal) {
            if (terminal.shows("[SPACE]")) {
                throw ReachedTheTitle{};
            }
        });
        EXPECT_THROW(run_program(), ReachedTheTitle);
        sim.clear_wait_looks();
        const int drawn = std::rand();
        std::srand(seed);
        EXPECT_EQ(drawn, std::rand());
    }
}

// An arrow tapped just before SPACE on a screen that reads only SPACE is gone when that screen
// ends: the title opens on its first item, and the next SPACE starts a game.
TEST_F(ProgramTest, AnArrowTheScreenDidNotReadNeverMovesTheTitlesCursor) {
    if (on_system_console()) {
        GTEST_SKIP() << "a terminal's key bytes; the console gives key events";
    }
    for (const Screen screen : {Screen::ranking_board, Screen::credits}) {
        for (const bool kitty : {false, true}) {
            SCOPED_TRACE(std::string(screen == Screen::credits ? "credits" : "ranking board") +
                         (kitty ? ", kitty" : ", releases inferred"));
            console.attach(sim, sim.terminal());
            sim.set_kitty(kitty);
            console.set_traits({AmbiguousWidth::narrow, kitty, false});
            const std::uint64_t t0 = now();
            tap(k_key_right, t0 + 3000, 30);
            tap(k_key_space, t0 + 3100, 30);
            ASSERT_EQ(run_screen(screen), Screen::title);
            tap(k_key_space, now() + 1000, 30);
            EXPECT_EQ(run_screen(Screen::title), Screen::normal_mode);
            EXPECT_EQ(sim.text(9, 24, 2), "▲");
        }
    }
}

}  // namespace
}  // namespace kal::test
