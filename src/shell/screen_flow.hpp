#pragma once

// Screens hand over to one another: each screen function returns the screen that comes next,
// and one loop (run_screens in game/program.hpp) runs them, so the stack never grows however
// long the game runs.

namespace kal {

enum class Screen { title, normal_mode, tutorial, ranking_board, credits, result, quit };

}  // namespace kal
