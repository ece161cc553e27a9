#pragma once

// Screens hand over to one another: each screen function returns the screen that comes next,
// and one loop runs them, so the stack never grows however long the game runs.

namespace kal {

enum class Screen { title, normal_mode, tutorial, ranking_board, credits, result, quit };

// Runs screens from first on until one of them returns Screen::quit.
void run_screens(Screen first);

}  // namespace kal
