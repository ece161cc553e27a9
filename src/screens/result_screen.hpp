#pragma once

#include "shell/screen_flow.hpp"

namespace kal {

// Ends a game of normal mode: tallies the correct answers of each level and the seconds left,
// spins the score roulette until SPACE, shows the total with its grade, takes the player's name
// when the total ranks in, then sorts and saves the ranking, switches to the title music and
// hands over to the ranking board. Returns Screen::quit when the input ends during the name
// entry, after the ranking has been saved.
Screen result_screen();

}  // namespace kal
