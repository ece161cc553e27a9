#pragma once

// The program from its arguments to its exit status, the same on every platform: the command
// line answered, the training report printed, or the game played on the system's terminal.

#include <span>
#include <string>

namespace kal {

// arguments in UTF-8, the program's name first.
int start_game(std::span<const std::string> arguments);

}  // namespace kal
