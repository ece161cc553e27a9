#pragma once

// The Windows console as the Console's back-end: each frame's changed cells, characters and
// colours together, in one write of console cells on the screen buffer it is given, the cursor
// only when it changes, characters held to code page 932. Keys and the mouse come from the
// console's input records when the standard input is the console; a file or a pipe in its place
// is read as a terminal's bytes, through the platform, which ends the game at its end.

#include <cstdint>
#include <memory>

#include "console/backend.hpp"
#include "platform/platform.hpp"
#include "platform/windows/system.hpp"

namespace kal {

// The console back-end drawing on screen when the system is of the NT family and screen is a
// console's screen buffer; nothing otherwise, and the game then speaks escape sequences.
// Redirected keys are read through platform.
std::unique_ptr<ConsoleBackend> make_system_console(Platform& platform, HANDLE screen);

// How many calls that change what a console shows the console back-ends made so far: each frame
// should be one, and a frame that changes nothing none.
std::uint64_t console_output_calls();

}  // namespace kal
