#include "game_fixture.hpp"

#include "game/program.hpp"

namespace kal::test {

void GameTest::SetUp() {
    scratch_.emplace();
    work_dir = scratch_->path();
    reset_game_state();
    console.attach(sim, sim.backend());
    console.set_traits({AmbiguousWidth::narrow, true, false});
}

void GameTest::TearDown() {
    // Looks may hold on to the test's own variables, which are gone by now.
    sim.clear_wait_looks();
    console.detach();
    reset_game_state();
    scratch_.reset();
}

}  // namespace kal::test
