#pragma once

// The ranking board: the five places of the ranking under "HI SCORE", climbing as a staircase
// from the 5th place at the lower right to the 1st at the upper left, then SPACE back to the
// title screen.

#include "shell/screen_flow.hpp"

namespace kal {

// Set to 1 by the result screen, so that the next board thanks the player; the board clears it.
extern int after_game;

// Reloads and resaves the ranking file, draws the board and waits for SPACE.
Screen ranking_board();

// after_game as at program start.
void reset_ranking_board();

}  // namespace kal
