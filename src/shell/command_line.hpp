#pragma once

// The game's command line: --help, --version and --ranking FILE. Reading and answering it
// touches neither the terminal's modes nor any file.

#include <filesystem>
#include <optional>
#include <ostream>
#include <span>
#include <string>

#include "platform/data_directory.hpp"

namespace kal {

struct CommandLine {
    enum class Action : std::uint8_t { play, help, version, usage_error };
    Action action = Action::play;
    // Where --ranking keeps the ranking; empty for the default place.
    std::string ranking_file;
    // What was wrong, for a usage error.
    std::string error;
};

// Reads the arguments that follow the program's name.
CommandLine parse_command_line(std::span<const char* const> arguments);

// Answers --help and --version on out and a usage error on err, and gives the exit status:
// 0, or 2 for a usage error. Nothing for a command line that plays the game.
std::optional<int> answer_command_line(const CommandLine& command_line, DataHome home,
                                       std::ostream& out, std::ostream& err);

// The short usage: options, keys, where the ranking is kept and how to replace a sound.
std::string usage_text(DataHome home);

}  // namespace kal
