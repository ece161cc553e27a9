#include "game/program.hpp"

#include <gtest/gtest.h>

#include <cstdlib>

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

}  // namespace
}  // namespace kal::test
