// KALEIDRON: the same start-up on every platform; the system's own parts are chosen by the
// build (src/platform/posix/ or src/platform/windows/).

#include <span>

#include "game/start_up.hpp"
#include "platform/session.hpp"

int main(int argc, char** argv) {
    return kal::start_game(
        kal::system_arguments(std::span<char*>(argv, static_cast<std::size_t>(argc))));
}
