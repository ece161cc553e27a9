#pragma once

// The back-end the running game draws through, chosen once at start-up by the platform's own
// file (posix/system_backend.cpp, windows/system_backend.cpp).

#include <memory>

#include "console/backend.hpp"
#include "platform/platform.hpp"

namespace kal {

std::unique_ptr<ConsoleBackend> make_system_backend(Platform& platform);

}  // namespace kal
