#pragma once

// The game from start-up on, once the console is bound to a terminal.

namespace kal {

// Loads the ranking and writes it back, seeds the random numbers, sets black on white with the
// cursor hidden, then runs the screens from the title screen on. Returns only when the game
// ends itself (the input has ended); otherwise the game runs until its terminal is closed.
void run_program();

// Puts every global of the game back to its state at start-up, so that tests start clean.
void reset_game_state();

}  // namespace kal
