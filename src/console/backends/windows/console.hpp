#pragma once

// The Windows console as the Console's back-end: each frame's changed cells, characters and
// colours together, in one write of console cells on the screen buffer it is given, the cursor
// only when it changes, characters held to code page 932, keys and the mouse from the
// console's input records on the standard input handle.

#include <cstdint>
#include <memory>

#include "console/backend.hpp"
#include "platform/windows/system.hpp"

namespace kal {

// The console back-end drawing on screen when the system is of the NT family and screen is a
// console's screen buffer; nothing otherwise, and the game then speaks escape sequences.
std::unique_ptr<ConsoleBackend> make_system_console(HANDLE screen);

// How many calls that change what a console shows the console back-ends made so far: each frame
// should be one, and a frame that changes nothing none.
std::uint64_t console_output_calls();

}  // namespace kal
