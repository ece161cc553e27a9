// KALEIDRON on Windows: wires the Windows platform, waveOut and the console back-end to the game
// and runs it.

#include <iostream>
#include <memory>
#include <optional>
#include <span>

#include "console/console.hpp"
#include "console/backends/windows/console.hpp"
#include "game/command_line.hpp"
#include "game/program.hpp"
#include "history/history_file.hpp"
#include "history/history_report.hpp"
#include "platform/windows/audio.hpp"
#include "platform/windows/platform.hpp"

int main(int argc, char** argv) {
    // Answered before anything else, so that --help and its kind leave the console and every
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
        // In the game's own code page, with charts of plain characters that it holds.
        const kal::ReportOptions options{command_line.tsv, false, true};
        const std::string ranking = kal::ranking_file_path(home, command_line.ranking_file);
        return kal::print_in_cp932([&] {
            return kal::answer_stats(kal::history_path_beside(ranking), options, std::cout,
                                     std::cerr);
        });
    }
    kal::place_game_files(home, command_line.ranking_file);
    const std::unique_ptr<kal::AudioDevice> audio = kal::make_waveout_audio();
    kal::WindowsPlatform platform(*audio);
    platform.begin_session();
    const std::unique_ptr<kal::ConsoleBackend> system_console = kal::make_system_console();
    kal::console.attach(platform, system_console.get());
    kal::console.query_terminal();
    kal::run_program();
    kal::console.detach();
    kal::WindowsPlatform::end_session();
    return 0;
}
