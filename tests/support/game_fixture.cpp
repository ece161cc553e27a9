#include "game_fixture.hpp"

#include <unistd.h>

#include <string>

#include "shell/program.hpp"

namespace kal::test {

void GameTest::SetUp() {
    old_dir_ = std::filesystem::current_path();
    std::string pattern = (std::filesystem::temp_directory_path() / "kaleidron-XXXXXX").string();
    work_dir = mkdtemp(pattern.data());
    std::filesystem::current_path(work_dir);
    reset_game_state();
    console.attach(sim);
    console.set_traits({AmbiguousWidth::narrow, true, false});
}

void GameTest::TearDown() {
    // Looks may hold on to the test's own variables, which are gone by now.
    sim.clear_wait_looks();
    console.detach();
    reset_game_state();
    std::filesystem::current_path(old_dir_);
    std::filesystem::remove_all(work_dir);
}

}  // namespace kal::test
