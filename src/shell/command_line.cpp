#include "shell/command_line.hpp"

#include <string_view>

namespace kal {
namespace {

constexpr std::string_view k_help = "--help";
constexpr std::string_view k_version = "--version";
constexpr std::string_view k_ranking = "--ranking";
constexpr std::string_view k_ranking_joined = "--ranking=";

constexpr std::string_view k_usage_head =
    "Usage: kaleidron [--ranking FILE]\n"
    "       kaleidron --help | --version\n"
    "\n"
    "KALEIDRON trains dynamic visual acuity and short-term memory: a row of digits scrolls\n"
    "across the screen, then pick the one candidate digit that was not in it. It needs a\n"
    "terminal of at least 80x25.\n"
    "\n"
    "Options:\n"
    "  --ranking FILE  keep the ranking in FILE instead of the default place. A FILE that\n"
    "                  cannot be read or written is never emptied or replaced: the ranking\n"
    "                  then lives in memory until the game ends.\n"
    "  --help          show this help and exit\n"
    "  --version       show the version and exit\n"
    "\n"
    "Keys:\n"
    "  Left, Right     move the cursor on the menu and along the candidates\n"
    "  Space           choose, confirm an answer, go on\n"
    "  Enter           end the name typed for the ranking\n"
    "  Ctrl-C          quit (Ctrl-Z suspends)\n"
    "\n"
    "Files:\n";

constexpr std::string_view k_files_in_working_directory =
    "  Rank.dat        the ranking, in the working directory the game is started from\n"
    "  NAME.wav        a WAV file in the working directory replaces the game's own sound\n"
    "                  of that name, e.g. title.wav (the title music); kaleidron(6) lists\n"
    "                  the names\n";

constexpr std::string_view k_files_per_user_rule =
    "                  ($XDG_DATA_HOME/kaleidron/, or ~/.local/share/kaleidron/ when\n"
    "                  XDG_DATA_HOME is unset; the folder is made on first use)\n"
    "  NAME.wav        a WAV file in that folder replaces the game's own sound of that\n"
    "                  name, e.g. title.wav (the title music); kaleidron(6) lists the names\n";

// An argument is shown back with its control characters as "?", so that a stray escape
// sequence in it never reaches the terminal.
std::string printable(std::string_view argument) {
    std::string shown(argument);
    for (char& ch : shown) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte < 0x20 || byte == 0x7F) {
            ch = '?';
        }
    }
    return shown;
}

void reject(CommandLine& command_line, std::string error) {
    if (command_line.error.empty()) {
        command_line.error = std::move(error);
    }
}

void take_ranking_file(CommandLine& command_line, std::string_view file) {
    if (file.empty()) {
        reject(command_line, "--ranking needs a FILE");
        return;
    }
    command_line.ranking_file = file;
}

}  // namespace

CommandLine parse_command_line(std::span<const char* const> arguments) {
    CommandLine command_line;
    bool help = false;
    bool version = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        if (argument == k_help) {
            help = true;
        } else if (argument == k_version) {
            version = true;
        } else if (argument == k_ranking) {
            const bool has_file = i + 1 < arguments.size();
            take_ranking_file(command_line, has_file ? arguments[++i] : "");
        } else if (argument.starts_with(k_ranking_joined)) {
            take_ranking_file(command_line, argument.substr(k_ranking_joined.size()));
        } else if (argument.starts_with("-")) {
            reject(command_line, "unknown option '" + printable(argument) + "'");
        } else {
            reject(command_line, "unexpected argument '" + printable(argument) + "'");
        }
    }
    if (!command_line.error.empty()) {
        command_line.action = CommandLine::Action::usage_error;
    } else if (help) {
        command_line.action = CommandLine::Action::help;
    } else if (version) {
        command_line.action = CommandLine::Action::version;
    }
    return command_line;
}

std::string usage_text(DataHome home) {
    std::string text(k_usage_head);
    const std::filesystem::path directory = data_directory(home);
    if (directory.empty()) {
        text += k_files_in_working_directory;
        return text;
    }
    text += "  Rank.dat        the ranking: " + printable((directory / "Rank.dat").string()) + "\n";
    text += k_files_per_user_rule;
    return text;
}

std::optional<int> answer_command_line(const CommandLine& command_line, DataHome home,
                                       std::ostream& out, std::ostream& err) {
    switch (command_line.action) {
        case CommandLine::Action::help:
            out << usage_text(home);
            return 0;
        case CommandLine::Action::version:
            out << "kaleidron " << KALEIDRON_VERSION << "\n";
            return 0;
        case CommandLine::Action::usage_error:
            err << "kaleidron: " << command_line.error << "\n\n" << usage_text(home);
            return 2;
        case CommandLine::Action::play:
            break;
    }
    return std::nullopt;
}

}  // namespace kal
