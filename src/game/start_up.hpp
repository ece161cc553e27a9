#pragma once

// The program from its arguments to its exit status, the same on every platform: the command
// line answered, the training report printed, or the game played on the system's terminal.

#include <span>

namespace kal {

// arguments as main receives them, the program's name first.
int start_game(std::span<char*> arguments);

}  // namespace kal
