#include "game/command_line.hpp"

#include <string_view>

#include "console/text.hpp"
#include "history/history_file.hpp"
#include "history/history_report.hpp"
#include "platform/line_file.hpp"
#include "platform/system_texts.hpp"
#include "screens/ranking_file.hpp"

namespace kal {
namespace {

constexpr std::string_view k_help = "--help";
constexpr std::string_view k_version = "--version";
constexpr std::string_view k_ranking = "--ranking";
constexpr std::string_view k_ranking_joined = "--ranking=";
constexpr std::string_view k_stats = "--stats";
constexpr std::string_view k_tsv = "--tsv";

constexpr std::string_view k_usage_head =
    "Usage: kaleidron [--ranking FILE]\n"
    "       kaleidron --stats [--tsv] [--ranking FILE]\n"
    "       kaleidron --help | --version\n"
    "\n"
    "KALEIDRON trains dynamic visual acuity and short-term memory: a row of digits\n"
    "scrolls across the screen, then pick the one candidate digit that was not in\n"
    "it. It needs a ";

constexpr std::string_view k_usage_options =
    "\n"
    "Options:\n"
    "  --ranking FILE  keep the ranking in FILE instead of the default place. A FILE\n"
    "                  that cannot be read or written is never emptied or replaced:\n"
    "                  the ranking then lives in memory until the game ends.\n"
    "  --stats         print the training report and exit: games, best and median\n"
    "                  total, grades, the totals of the last 60 games, the median\n"
    "                  reaction time per level at first and lately, the accuracy per\n"
    "                  level; from the history of the ranking given or the default\n"
    "                  one\n"
    "  --tsv           with --stats: the report's numbers as tab-separated values\n"
    "  --help          show this help and exit\n"
    "  --version       show the version and exit\n"
    "\n"
    "Keys:\n"
    "  Left, Right     move the cursor on the menu and along the candidates\n"
    "  Space           choose, confirm an answer, go on\n"
    "  Enter           end the name typed for the ranking\n";

constexpr std::string_view k_usage_files = "\nFiles:\n";

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
    bool stats = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        if (argument == k_help) {
            help = true;
        } else if (argument == k_version) {
            version = true;
        } else if (argument == k_stats) {
            stats = true;
        } else if (argument == k_tsv) {
            command_line.tsv = true;
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
    if (command_line.tsv && !stats) {
        reject(command_line, "--tsv goes with --stats");
    }
    if (!command_line.error.empty()) {
        command_line.action = CommandLine::Action::usage_error;
    } else if (help) {
        command_line.action = CommandLine::Action::help;
    } else if (version) {
        command_line.action = CommandLine::Action::version;
    } else if (stats) {
        command_line.action = CommandLine::Action::stats;
    }
    return command_line;
}

std::string usage_text(DataHome home) {
    const SystemTexts& system = system_texts();
    std::string text(k_usage_head);
    text += system.needs;
    text += k_usage_options;
    text += system.quit_keys;
    text += k_usage_files;
    const std::filesystem::path directory = data_directory(home);
    if (directory.empty()) {
        text += system.files_in_working_directory;
        return text;
    }
    text +=
        "  Rank.dat        the ranking: " + printable((directory / k_ranking_file_name).string()) +
        "\n";
    text += "  history.tsv     every finished game, one line each: " +
            printable((directory / k_history_file_name).string()) + "\n";
    text += system.files_per_user_rule;
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
        case CommandLine::Action::stats:
            break;
    }
    return std::nullopt;
}

int answer_stats(const std::string& history_file, const ReportOptions& options, std::ostream& out,
                 std::ostream& err) {
    std::string contents;
    if (read_line_file(history_file, contents) == LineFileRead::unreadable) {
        err << "kaleidron: cannot read the history " << printable(history_file) << "\n";
        return 1;
    }
    out << stats_output(parse_history(contents), options);
    return 0;
}

}  // namespace kal
