#pragma once

// The Windows console as the Console's back-end: positions, colours and the cursor through the
// console functions on the standard output handle, text in code page 932, keys and the mouse
// from the console's input records on the standard input handle.

#include <memory>

#include "console/backend.hpp"

namespace kal {

// The console back-end when the system is of the NT family and the standard output is a
// console; nothing otherwise, and the game then speaks escape sequences.
std::unique_ptr<ConsoleBackend> make_system_console();

}  // namespace kal
