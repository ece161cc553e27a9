#pragma once

// The game's command line: --help, --version, --ranking FILE and --stats [--tsv]. Reading it
// and answering --help and --version touch neither the terminal's modes nor any file; --stats
// only reads the history.

#include <filesystem>
#include <optional>
#include <ostream>
#include <span>
#include <string>

#include "platform/data_directory.hpp"

namespace kal {

struct ReportOptions;

struct CommandLine {
    enum class Action : std::uint8_t { play, help, version, stats, usage_error };
    Action action = Action::play;
    // --stats prints the summary as tab-separated values.
    bool tsv = false;
    // Where --ranking keeps the ranking; empty for the default place.
    std::string ranking_file;
    // What was wrong, for a usage error.
    std::string error;
};

// Reads the arguments that follow the program's name.
CommandLine parse_command_line(std::span<const char* const> arguments);

// Answers --help and --version on out and a usage error on err, and gives the exit status:
// 0, or 2 for a usage error. Nothing for a command line that plays the game or asks for the
// training report.
std::optional<int> answer_command_line(const CommandLine& command_line, DataHome home,
                                       std::ostream& out, std::ostream& err);

// Prints the training report of the history file on out (--stats) and gives the exit status:
// 0, or 1 when the history is there but cannot be read, which is told on err.
int answer_stats(const std::string& history_file, const ReportOptions& options, std::ostream& out,
                 std::ostream& err);

// The short usage: options, keys, where the ranking is kept and how to replace a sound.
std::string usage_text(DataHome home);

}  // namespace kal
