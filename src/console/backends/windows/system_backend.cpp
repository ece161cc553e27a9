#include "console/backends/system_backend.hpp"

#include "console/backends/terminal.hpp"
#include "console/backends/windows/console.hpp"
#include "platform/windows/platform.hpp"

namespace kal {

// The console back-end, on the game's own screen buffer, on an NT system whose standard output
// is a console; escape sequences otherwise (a pipe, a terminal emulator of its own such as
// mintty).
std::unique_ptr<ConsoleBackend> make_system_backend(Platform& platform) {
    if (std::unique_ptr<ConsoleBackend> console =
            make_system_console(platform, game_screen_buffer())) {
        return console;
    }
    return std::make_unique<TerminalBackend>(platform);
}

}  // namespace kal
