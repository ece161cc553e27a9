// KALEIDRON on a real terminal: wires the POSIX terminal and the OpenAL sound output to the
// game and runs it.

#include <langinfo.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>
#include <span>

#include "console/console.hpp"
#include "game/command_line.hpp"
#include "game/program.hpp"
#include "history/history_file.hpp"
#include "history/history_report.hpp"
#include "platform/posix/audio.hpp"
#include "platform/posix/platform.hpp"

namespace {

bool locale_is_shift_jis() {
    std::setlocale(LC_CTYPE, "");
    const char* codeset = nl_langinfo(CODESET);
    return codeset != nullptr &&
           (std::strcmp(codeset, "SHIFT_JIS") == 0 || std::strcmp(codeset, "SJIS") == 0 ||
            std::strcmp(codeset, "CP932") == 0 || std::strcmp(codeset, "WINDOWS-31J") == 0);
}

// Colour on standard output only for a terminal that shows it, and not when the player turned
// colour off (https://no-color.org: NO_COLOR set to anything but the empty string).
bool output_takes_colour() {
    const char* no_color = std::getenv("NO_COLOR");
    const char* term = std::getenv("TERM");
    return ::isatty(STDOUT_FILENO) == 1 && (no_color == nullptr || *no_color == '\0') &&
           (term == nullptr || std::strcmp(term, "dumb") != 0);
}

}  // namespace

int main(int argc, char** argv) {
    // Answered before anything else, so that --help and its kind leave the terminal and every
    // file alone.
    const std::span<char*> arguments(argv, static_cast<std::size_t>(argc));
    const kal::CommandLine command_line =
        kal::parse_command_line(arguments.empty() ? arguments : arguments.subspan(1));
    const kal::DataHome home = kal::build_data_home();
    if (const std::optional<int> status =
            kal::answer_command_line(command_line, home, std::cout, std::cerr)) {
        return *status;
    }
    if (command_line.action == kal::CommandLine::Action::stats) {
        const kal::ReportOptions options{command_line.tsv, output_takes_colour(),
                                         locale_is_shift_jis()};
        const std::string ranking = kal::ranking_file_path(home, command_line.ranking_file);
        return kal::answer_stats(kal::history_path_beside(ranking), options, std::cout, std::cerr);
    }
    kal::place_game_files(home, command_line.ranking_file);
    const bool shift_jis = locale_is_shift_jis();
    const std::unique_ptr<kal::AudioDevice> audio = kal::make_openal_audio();
    kal::PosixPlatform platform(*audio);
    platform.begin_session();
    kal::console.attach(platform);
    kal::console.query_terminal();
    kal::TerminalTraits traits = kal::console.traits();
    traits.shift_jis = shift_jis;
    kal::console.set_traits(traits);
    kal::run_program();
    kal::console.detach();
    kal::PosixPlatform::end_session();
    return 0;
}
