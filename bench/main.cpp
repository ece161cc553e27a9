// kaleidron-bench: plays the real game on a pseudo-terminal and prints how closely it keeps its
// timing, how little processor time and memory it takes and how few writes it makes.
//
//   kaleidron-bench --game build/kaleidron [--games 3] [--sound-games 1] [--starts 5]
//                   [--report FILE] [--questions N] [--idle-seconds S] [--env NAME=VALUE]...
//                   [--answer-as vt220|xterm|vte|tmux] [--starts-only] [--waiting-only]
//                   [--latency-only] [--presses 40] [--no-trace] [--verbose]
//
// --answer-as answers the start-up queries with that terminal's device attributes;
// --starts-only measures the starts alone and prints each; --waiting-only measures the screens
// that wait for SPACE (a tutorial page, the credits) alone and prints each; --latency-only
// measures key to screen alone, over --presses presses on the title and on the answer row.
//
// The sound games run with OpenAL's null output, which mixes every voice as a sound card
// would and throws the result away: the processor time and memory of the sound are counted
// even on a machine without one.

#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "game_run.hpp"
#include "key_latency.hpp"
#include "report.hpp"
#include "stats.hpp"

namespace {

using kal::bench::RunOptions;

struct Arguments {
    RunOptions run;
    int games = 3;
    int sound_games = 1;
    int starts = 5;
    bool starts_only = false;
    bool waiting_only = false;
    bool latency_only = false;
    int presses = 40;
    bool trace = true;
    std::string report_path;
};

int number(std::string_view word) {
    return std::atoi(std::string(word).c_str());
}

bool parse(int argc, char** argv, Arguments& args) {
    const std::vector<std::string_view> words(argv + 1, argv + argc);
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string_view word = words[i];
        const bool has_value = i + 1 < words.size();
        if (word == "--no-trace") {
            args.trace = false;
        } else if (word == "--starts-only") {
            args.starts_only = true;
        } else if (word == "--waiting-only") {
            args.waiting_only = true;
        } else if (word == "--latency-only") {
            args.latency_only = true;
        } else if (word == "--verbose") {
            args.run.verbose = true;
        } else if (!has_value) {
            return false;
        } else if (word == "--game") {
            args.run.game = words[++i];
        } else if (word == "--games") {
            args.games = number(words[++i]);
        } else if (word == "--sound-games") {
            args.sound_games = number(words[++i]);
        } else if (word == "--presses") {
            args.presses = number(words[++i]);
        } else if (word == "--starts") {
            args.starts = number(words[++i]);
        } else if (word == "--report") {
            args.report_path = words[++i];
        } else if (word == "--questions") {
            args.run.stop_after_question = number(words[++i]);
        } else if (word == "--idle-seconds") {
            args.run.idle_seconds = number(words[++i]);
        } else if (word == "--env") {
            args.run.environment.emplace_back(words[++i]);
        } else if (word == "--answer-as") {
            const std::string_view name = words[++i];
            const auto* found = std::find_if(
                std::begin(kal::bench::k_terminal_answers),
                std::end(kal::bench::k_terminal_answers),
                [name](const kal::bench::TerminalAnswer& t) { return t.name == name; });
            if (found == std::end(kal::bench::k_terminal_answers)) {
                return false;
            }
            args.run.terminal_answer = found->bytes;
        } else {
            return false;
        }
    }
    return !args.run.game.empty() && args.games > 0 && args.sound_games >= 0 && args.starts > 0 &&
           args.presses > 0;
}

std::string machine_description(bool traced) {
    utsname name{};
    uname(&name);
    std::string text = std::to_string(sysconf(_SC_NPROCESSORS_ONLN)) + " processors, " +
                       name.sysname + " " + name.release;
    for (const char* variable : {"ALSOFT_DRIVERS"}) {
        if (const char* value = std::getenv(variable)) {
            text += ", " + std::string(variable) + "=" + value;
        }
    }
    return text + (traced ? ", the games under perf trace" : ", without perf trace");
}

// How busy the machine was: other processes compete with the game for the processors.
std::string load_average() {
    std::ifstream in("/proc/loadavg");
    std::string one_minute;
    in >> one_minute;
    return one_minute.empty() ? "unknown" : one_minute;
}

// perf trace needs the tracepoints of the kernel, which an unprivileged user may not have.
bool perf_trace_works() {
    return std::system("perf trace -e write -o /dev/null -- true >/dev/null 2>&1") == 0;
}

std::vector<kal::bench::StartUpFigures> measure_starts(const Arguments& args) {
    RunOptions options = args.run;
    options.start_up_only = true;
    std::vector<kal::bench::StartUpFigures> starts;
    for (int i = 0; i < args.starts; ++i) {
        std::fprintf(stderr, "start %d of %d\n", i + 1, args.starts);
        starts.push_back(kal::bench::start_up_of(kal::bench::play_one_game(options)));
    }
    return starts;
}

// Each start's time to the complete title, then their median.
void print_starts(const std::vector<kal::bench::StartUpFigures>& starts) {
    std::vector<double> times;
    for (const kal::bench::StartUpFigures& start : starts) {
        std::printf("title complete %.1f ms after the start\n", start.title_complete_ms);
        times.push_back(start.title_complete_ms);
    }
    std::printf("median %.1f ms, slowest %.1f ms over %zu starts\n", kal::bench::median(times),
                *std::max_element(times.begin(), times.end()), times.size());
}

// Each screen of the menu that waits for SPACE, left waiting as the title is.
std::vector<kal::bench::WaitingFigures> measure_waits(const Arguments& args) {
    RunOptions options = args.run;
    std::vector<kal::bench::WaitingFigures> waits;
    for (const kal::bench::WaitingScreen& screen : kal::bench::k_waiting_screens) {
        std::fprintf(stderr, "%s, waiting for SPACE\n", std::string(screen.name).c_str());
        options.waiting_screen = &screen;
        waits.push_back(kal::bench::waiting_of(kal::bench::play_one_game(options), screen));
    }
    return waits;
}

void print_waits(const std::vector<kal::bench::WaitingFigures>& waits, int seconds) {
    for (const kal::bench::WaitingFigures& wait : waits) {
        if (wait.failure.empty()) {
            std::printf("CPU of the game, waiting for SPACE on %s for %d s: %.3f%%\n",
                        wait.screen.c_str(), seconds, wait.cpu * 100.0);
        } else {
            std::printf("%s: %s\n", wait.screen.c_str(), wait.failure.c_str());
        }
    }
}

// Right and Left pressed on the title and on the answer row, each place in a game of its own.
std::vector<kal::bench::LatencyFigures> measure_latencies(const Arguments& args) {
    std::vector<kal::bench::LatencyFigures> latencies;
    for (const kal::bench::LatencyPlace& place : kal::bench::k_latency_places) {
        std::fprintf(stderr, "key to screen on %s\n", std::string(place.name).c_str());
        latencies.push_back(kal::bench::measure_key_latency(args.run, place, args.presses));
    }
    return latencies;
}

void print_latencies(const std::vector<kal::bench::LatencyFigures>& latencies) {
    for (const kal::bench::LatencyFigures& latency : latencies) {
        std::printf("key to screen on %s: %s\n", latency.place.c_str(),
                    kal::bench::latency_row(latency).measured.c_str());
    }
}

std::vector<kal::bench::RunFigures> play_games(RunOptions options, int games, const char* kind) {
    std::vector<kal::bench::RunFigures> figures;
    for (int i = 0; i < games; ++i) {
        std::fprintf(stderr, "%s %d of %d\n", kind, i + 1, games);
        figures.push_back(kal::bench::figures_of(kal::bench::play_one_game(options)));
        if (!figures.back().failure.empty()) {
            std::fprintf(stderr, "  %s\n", figures.back().failure.c_str());
        }
    }
    return figures;
}

}  // namespace

int main(int argc, char** argv) {
    Arguments args;
    if (!parse(argc, argv, args)) {
        std::fprintf(
            stderr,
            "usage: %s --game PATH [--games N] [--sound-games N] [--starts N] [--report FILE] "
            "[--questions N] [--idle-seconds S] [--env NAME=VALUE]... "
            "[--answer-as vt220|xterm|vte|tmux] [--starts-only] [--waiting-only] [--latency-only] "
            "[--presses N] [--no-trace] [--verbose]\n",
            argv[0]);
        return 2;
    }
    if (args.starts_only) {
        print_starts(measure_starts(args));
        return 0;
    }
    if (args.waiting_only) {
        print_waits(measure_waits(args), args.run.idle_seconds);
        return 0;
    }
    if (args.latency_only) {
        print_latencies(measure_latencies(args));
        return 0;
    }
    const bool traced = args.trace && perf_trace_works();
    const std::string load_before = load_average();
    const std::vector<kal::bench::StartUpFigures> starts = measure_starts(args);
    const std::vector<kal::bench::WaitingFigures> waits = measure_waits(args);
    const std::vector<kal::bench::LatencyFigures> latencies = measure_latencies(args);
    RunOptions options = args.run;
    if (traced) {
        options.trace_log = "kaleidron-bench-trace.log";
    }
    const auto games = play_games(options, args.games, "game");
    options.environment.emplace_back("ALSOFT_DRIVERS=null");
    const auto sound_games = play_games(options, args.sound_games, "game with sound");
    const std::string machine = machine_description(traced) + ", load average " + load_before +
                                " at the start and " + load_average() + " at the end";
    const std::string report = kal::bench::render_report(games, sound_games, starts, waits,
                                                         latencies, {"make bench", machine});
    std::cout << report;
    if (!args.report_path.empty()) {
        std::ofstream(args.report_path) << report;
    }
    return 0;
}
