#include "console/backends/system_backend.hpp"

#include "console/backends/terminal.hpp"

namespace kal {

// A POSIX system has terminals only.
std::unique_ptr<ConsoleBackend> make_system_backend(Platform& platform) {
    return std::make_unique<TerminalBackend>(platform);
}

}  // namespace kal
