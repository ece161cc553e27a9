#include "game/start_up.hpp"

#include <memory>
#include <optional>
#include <vector>

#include "console/backends/system_backend.hpp"
#include "console/console.hpp"
#include "game/command_line.hpp"
#include "game/program.hpp"
#include "history/history_file.hpp"
#include "history/history_report.hpp"
#include "platform/session.hpp"

namespace kal {
namespace {

int print_stats(const CommandLine& command_line, DataHome home, const SystemText& text) {
    const ReportOptions options{command_line.tsv, text.report_colour, text.report_cp932};
    const std::string ranking = ranking_file_path(home, command_line.ranking_file);
    const PrintedText printed = text.report_cp932 ? PrintedText::cp932 : PrintedText::utf8;
    return print_on_standard_output(printed, [&](std::ostream& out, std::ostream& err) {
        return answer_stats(history_path_beside(ranking), options, out, err);
    });
}

void play_on(Platform& platform, const SystemText& text) {
    const std::unique_ptr<ConsoleBackend> backend = make_system_backend(platform);
    console.attach(platform, *backend);
    console.query_terminal();
    TerminalTraits traits = console.traits();
    traits.shift_jis = text.terminal_cp932;
    console.set_traits(traits);
    run_program();
    console.detach();
}

}  // namespace

int start_game(std::span<const std::string> arguments) {
    std::vector<const char*> options;
    for (const std::string& argument : arguments.empty() ? arguments : arguments.subspan(1)) {
        options.push_back(argument.c_str());
    }
    // Answered before anything else, so that --help and its kind leave the terminal and every
    // file alone.
    const CommandLine command_line = parse_command_line(options);
    const DataHome home = build_data_home();
    std::optional<int> status;
    print_on_standard_output(PrintedText::utf8, [&](std::ostream& out, std::ostream& err) {
        status = answer_command_line(command_line, home, out, err);
        return status.value_or(0);
    });
    if (status) {
        return *status;
    }
    const SystemText text = system_text();
    if (command_line.action == CommandLine::Action::stats) {
        return print_stats(command_line, home, text);
    }
    place_game_files(home, command_line.ranking_file);
    run_system_session([&](Platform& platform) { play_on(platform, text); });
    return 0;
}

}  // namespace kal
