#include "report.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <functional>
#include <sstream>

#include "bot_rules.hpp"
#include "stats.hpp"

namespace kal::bench {
namespace {

constexpr std::array<int, 6> k_delays{5, 9, 10, 15, 20, 25};
constexpr std::array<int, 2> k_count_levels{1, 6};
constexpr double k_ns_per_ms = 1.0e6;
constexpr double k_kib_per_mib = 1024.0;
constexpr int k_row_digits_measured = 8;

constexpr double k_max_period_ratio = 1.02;
constexpr double k_max_jitter_ms = 1.0;
constexpr double k_max_idle_cpu = 0.02;
constexpr double k_max_waiting_cpu = 0.003;
constexpr double k_max_scroll_cpu = 0.10;
constexpr double k_max_title_ms = 50.0;
constexpr double k_max_key_to_screen_ms = 10.0;
constexpr double k_max_resident_mib = 30.0;
constexpr double k_count_tolerance_ms = 1.0;
// A wake-up is never instant; below this the game had a processor as soon as it asked.
constexpr double k_unqueued_ms = 0.2;
// Enough of a wait for a processor to throw a period off.
constexpr double k_queued_ms = 0.5;

using Figure = std::function<double(const RunFigures&)>;

double ms_between(std::int64_t from_ns, std::int64_t to_ns) {
    return static_cast<double>(to_ns - from_ns) / k_ns_per_ms;
}

std::string format(const char* pattern, double value) {
    std::array<char, 256> text{};
    std::snprintf(text.data(), text.size(), pattern, value);
    return text.data();
}

// Periods by delay and their deviations from the delay, into the figures of one side.
TimingFigures timing_of(const std::map<int, std::vector<double>>& periods) {
    TimingFigures timing;
    std::vector<double> deviations;
    for (const auto& [delay, values] : periods) {
        timing.period_ratio[delay] = median(values) / delay;
        timing.period_count[delay] = values.size();
        for (const double period : values) {
            deviations.push_back(std::fabs(period - delay));
        }
    }
    timing.jitter_p99_ms = percentile(deviations, 99.0);
    return timing;
}

struct TickFigures {
    std::map<int, std::vector<double>> periods;
    std::vector<double> bytes_8;
    std::int64_t writes = 0;
    std::int64_t ticks = 0;
};

void add_ticks(const QuestionRecord& question, TickFigures& ticks, RunFigures& figures) {
    for (std::size_t i = 0; i < question.ticks.size(); ++i) {
        const TickRecord& tick = question.ticks[i];
        figures.sequences += tick.sequences;
        figures.merged_ticks += tick.merged ? 1 : 0;
        if (i == 0 || tick.merged || question.ticks[i - 1].merged) {
            continue;  // the first frame holds the blanking of the announcement too
        }
        ticks.periods[question.table_row.delay_ms].push_back(
            ms_between(question.ticks[i - 1].at_ns, tick.at_ns));
        if (question.table_row.digits == k_row_digits_measured) {
            ticks.bytes_8.push_back(static_cast<double>(tick.frame_bytes));
        }
    }
}

// The kernel counts every write; over a whole scroll, the writes between the first tick and
// the last are the writes of all the ticks after the first.
void add_counted_writes(const QuestionRecord& question, TickFigures& ticks, RunFigures& figures) {
    const auto later_ticks = static_cast<std::int64_t>(question.ticks.size()) - 1;
    if (later_ticks < 1) {
        return;
    }
    const std::int64_t writes = question.last_tick.write_calls - question.first_tick.write_calls;
    ticks.writes += writes;
    ticks.ticks += later_ticks;
    figures.most_counted_writes_per_tick =
        std::max(figures.most_counted_writes_per_tick,
                 static_cast<double>(writes) / static_cast<double>(later_ticks));
}

// Which of the game's periods went wrong because another process had the processors.
void add_run_queue(const GameSideQuestion& question, std::vector<double>& unqueued,
                   RunFigures& figures) {
    for (std::size_t i = 0; i < question.periods_ms.size(); ++i) {
        const double deviation = std::fabs(question.periods_ms[i] - question.delay_ms);
        const double queued = question.queued_ms[i];
        if (queued >= 0.0 && queued < k_unqueued_ms) {
            unqueued.push_back(deviation);
        }
        if (deviation > k_max_jitter_ms) {
            ++figures.periods_off;
            figures.periods_off_queued += queued >= k_queued_ms ? 1 : 0;
        }
    }
}

void add_game_side(const std::vector<GameSideQuestion>& game_side, RunFigures& figures) {
    std::map<int, std::vector<double>> periods;
    std::vector<double> unqueued;
    std::vector<double> traced_writes;
    for (const GameSideQuestion& question : game_side) {
        add_run_queue(question, unqueued, figures);
        auto& of_delay = periods[question.delay_ms];
        of_delay.insert(of_delay.end(), question.periods_ms.begin(), question.periods_ms.end());
        for (const int writes : question.writes_per_tick) {
            figures.most_traced_writes_in_a_tick =
                std::max(figures.most_traced_writes_in_a_tick, writes);
            traced_writes.push_back(writes);
        }
        if (!question.counts_ms) {
            continue;
        }
        const auto& counts = *question.counts_ms;
        auto& all = figures.game_count_ms[question.level];
        all.insert(all.end(), counts.begin(), counts.end());
        if (question.countdown_queued_ms >= 0.0 && question.countdown_queued_ms < k_queued_ms) {
            auto& unqueued_counts = figures.unqueued_count_ms[question.level];
            unqueued_counts.insert(unqueued_counts.end(), counts.begin(), counts.end());
        }
    }
    figures.game = timing_of(periods);
    figures.unqueued_jitter_p99_ms = percentile(unqueued, 99.0);
    figures.unqueued_periods = unqueued.size();
    figures.traced_writes_per_tick = median(traced_writes);
    figures.traced_write_samples = traced_writes.size();
}

double scroll_cpu_of(const QuestionRecord& question) {
    const std::int64_t wall = question.ticks.back().at_ns - question.ticks.front().at_ns;
    return static_cast<double>(question.last_tick.cpu_ns - question.first_tick.cpu_ns) /
           static_cast<double>(wall);
}

template <typename Runs, typename Of>
double median_over(const Runs& runs, const Of& of) {
    std::vector<double> values;
    for (const auto& run : runs) {
        values.push_back(of(run));
    }
    return median(values);
}

double highest(const std::vector<RunFigures>& runs, const Figure& of) {
    double value = 0.0;
    for (const RunFigures& run : runs) {
        value = std::max(value, of(run));
    }
    return value;
}

bool all_traced(const std::vector<RunFigures>& runs) {
    return std::all_of(runs.begin(), runs.end(), [](const RunFigures& r) { return r.traced; });
}

struct Row {
    std::string figure;
    std::string target;
    std::string measured;
    bool met;
};

double ratio_at(const TimingFigures& timing, int delay) {
    return timing.period_ratio.contains(delay) ? timing.period_ratio.at(delay) : 0.0;
}

std::vector<Row> period_rows(const std::vector<RunFigures>& runs) {
    const bool traced = all_traced(runs);
    std::vector<Row> rows;
    for (const int delay : k_delays) {
        const double at_terminal =
            median_over(runs, [delay](const RunFigures& r) { return ratio_at(r.terminal, delay); });
        const double in_game =
            median_over(runs, [delay](const RunFigures& r) { return ratio_at(r.game, delay); });
        const double periods = median_over(runs, [delay](const RunFigures& r) {
            const auto& count = r.terminal.period_count;
            return count.contains(delay) ? static_cast<double>(count.at(delay)) : 0.0;
        });
        std::string measured = format("%.3f at the terminal", at_terminal);
        if (traced) {
            measured = format("%.3f as written", in_game) + ", " + measured;
        }
        const double judged = traced ? in_game : at_terminal;
        rows.push_back({"scroll tick period ÷ delay, median, " + std::to_string(delay) + " ms",
                        "≤ 1.02", measured + format(" (%.0f periods a run)", periods),
                        periods > 0 && judged > 0.0 && judged <= k_max_period_ratio});
    }
    return rows;
}

Row jitter_row(const std::vector<RunFigures>& runs) {
    const bool traced = all_traced(runs);
    const double at_terminal =
        median_over(runs, [](const RunFigures& r) { return r.terminal.jitter_p99_ms; });
    std::string measured = format("%.2f ms at the terminal", at_terminal);
    if (!traced) {
        return {"tick period jitter, 99th percentile of abs(period − delay)", "≤ 1 ms", measured,
                at_terminal <= k_max_jitter_ms};
    }
    const double in_game =
        median_over(runs, [](const RunFigures& r) { return r.game.jitter_p99_ms; });
    const double unqueued =
        median_over(runs, [](const RunFigures& r) { return r.unqueued_jitter_p99_ms; });
    const double off = median_over(runs, [](const RunFigures& r) { return r.periods_off; });
    const double off_queued =
        median_over(runs, [](const RunFigures& r) { return r.periods_off_queued; });
    measured = format("%.2f ms as written", in_game) + ", " + measured +
               format(
                   "; %.2f ms as written in the periods where the game never waited for a "
                   "processor",
                   unqueued) +
               format(" (%.0f periods a run were more than 1 ms off,", off) +
               format(" %.0f of them after the game waited ≥ 0.5 ms for a processor)", off_queued);
    return {"tick period jitter, 99th percentile of abs(period − delay)", "≤ 1 ms", measured,
            in_game <= k_max_jitter_ms};
}

Row writes_row(const std::vector<RunFigures>& runs) {
    const double counted =
        median_over(runs, [](const RunFigures& r) { return r.counted_writes_per_tick; });
    const double most_counted =
        highest(runs, [](const RunFigures& r) { return r.most_counted_writes_per_tick; });
    std::string measured = format("%.3f a tick by the kernel's count over whole scrolls", counted) +
                           format(" (%.3f in the question with most)", most_counted);
    bool met = most_counted <= 1.0 && counted > 0.0;
    if (all_traced(runs)) {
        const double traced =
            median_over(runs, [](const RunFigures& r) { return r.traced_writes_per_tick; });
        const double most = highest(runs, [](const RunFigures& r) {
            return static_cast<double>(r.most_traced_writes_in_a_tick);
        });
        const double samples = median_over(
            runs, [](const RunFigures& r) { return static_cast<double>(r.traced_write_samples); });
        measured = format("%.0f traced tick by tick", traced) + format(", %.0f at most", most) +
                   format(" over %.0f ticks a game; ", samples) + measured;
        met = met && traced == 1.0 && most == 1.0;
    }
    return {"write system calls per scroll tick", "1", measured, met};
}

Row bytes_row(const std::vector<RunFigures>& runs) {
    const double bytes = median_over(runs, [](const RunFigures& r) { return r.bytes_per_tick_8; });
    const double most = highest(runs, [](const RunFigures& r) { return r.most_bytes_per_tick_8; });
    const double redundant = highest(
        runs, [](const RunFigures& r) { return static_cast<double>(r.sequences.redundant()); });
    return {"bytes per scroll tick, 8-digit row", "report; no redundant cursor or colour sequence",
            format("%.0f median", bytes) + format(", %.0f at most", most) +
                format("; %.0f redundant sequences in all the ticks", redundant),
            redundant == 0.0};
}

// Every count of a level over the runs.
std::vector<double> counts_of(const std::vector<RunFigures>& runs, int level,
                              std::map<int, std::vector<double>> RunFigures::*counts) {
    std::vector<double> all;
    for (const RunFigures& run : runs) {
        const auto& by_level = run.*counts;
        if (by_level.contains(level)) {
            all.insert(all.end(), by_level.at(level).begin(), by_level.at(level).end());
        }
    }
    return all;
}

std::string range_of(const std::vector<double>& values) {
    if (values.empty()) {
        return "none";
    }
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    return format("%.1f", *low) + format("–%.1f ms", *high);
}

Row count_row(const std::vector<RunFigures>& runs) {
    std::string measured;
    bool met = true;
    for (const int level : k_count_levels) {
        const double nominal = count_ms(level);
        const std::vector<double> counts = counts_of(runs, level, &RunFigures::game_count_ms);
        const std::vector<double> unqueued = counts_of(runs, level, &RunFigures::unqueued_count_ms);
        const double at_terminal = median_over(runs, [level](const RunFigures& r) {
            return r.terminal_count_ms.contains(level) ? r.terminal_count_ms.at(level) : 0.0;
        });
        measured += "level " + std::to_string(level) + ": ";
        if (!counts.empty()) {
            const auto [low, high] = std::minmax_element(counts.begin(), counts.end());
            measured += format("%.1f ms median as counted by the game", median(counts)) + " (" +
                        range_of(counts) +
                        format(" over %.0f counts; ", static_cast<double>(counts.size())) +
                        range_of(unqueued) +
                        format(
                            " over the %.0f counts in which it never waited long for a "
                            "processor), ",
                            static_cast<double>(unqueued.size()));
            met = met && *low >= nominal - k_count_tolerance_ms &&
                  *high <= nominal + k_count_tolerance_ms;
        } else {
            met = met && std::fabs(at_terminal - nominal) <= k_count_tolerance_ms;
        }
        measured += format("%.1f ms at the terminal; ", at_terminal);
    }
    measured.resize(measured.size() - 2);
    return {"countdown counts at levels 1 and 6", "930 and 580 ms apart, ± 1 ms", measured, met};
}

std::vector<Row> resource_rows(const std::vector<RunFigures>& runs, const std::string& setting) {
    std::vector<Row> rows;
    const double idle = median_over(runs, [](const RunFigures& r) { return r.title_idle_cpu; });
    rows.push_back({"CPU of the game, idle on the title for 10 s" + setting, "≤ 2% of one core",
                    format("%.2f%%", idle * 100.0), idle <= k_max_idle_cpu});

    const double scroll = median_over(runs, [](const RunFigures& r) { return r.scroll_cpu; });
    const double worst = median_over(runs, [](const RunFigures& r) { return r.scroll_cpu_worst; });
    rows.push_back({"CPU during a scrolling question" + setting, "≤ 10% of one core",
                    format("%.2f%% median question", scroll * 100.0) +
                        format(", %.2f%% the costliest", worst * 100.0),
                    worst <= k_max_scroll_cpu});

    const double resident = highest(runs, [](const RunFigures& r) { return r.peak_resident_mib; });
    rows.push_back({"peak resident memory over a whole game" + setting, "≤ 30 MB",
                    format("%.1f MiB, the highest game", resident),
                    resident > 0.0 && resident <= k_max_resident_mib});
    return rows;
}

// Beside the title's idle figure: the screens that wait for SPACE should cost no more.
std::vector<Row> waiting_rows(const std::vector<WaitingFigures>& waits,
                              const std::string& setting) {
    std::vector<Row> rows;
    for (const WaitingFigures& wait : waits) {
        const bool measured = wait.failure.empty();
        rows.push_back(
            {"CPU of the game, waiting for SPACE on " + wait.screen + " for 10 s" + setting,
             "≤ 0.3% of one core", measured ? format("%.3f%%", wait.cpu * 100.0) : wait.failure,
             measured && wait.cpu <= k_max_waiting_cpu});
    }
    return rows;
}

Row start_up_row(const std::vector<StartUpFigures>& start_ups) {
    const double title =
        median_over(start_ups, [](const StartUpFigures& s) { return s.title_complete_ms; });
    const double first =
        median_over(start_ups, [](const StartUpFigures& s) { return s.title_first_ms; });
    return {"start to the first complete title frame", "≤ 50 ms",
            format("%.1f ms", title) + format(" (title without its menu line at %.1f ms", first) +
                format("; %.0f starts)", static_cast<double>(start_ups.size())),
            title > 0.0 && title <= k_max_title_ms};
}

std::vector<Row> table_rows(const std::vector<RunFigures>& runs,
                            const std::vector<RunFigures>& sound_runs,
                            const std::vector<StartUpFigures>& start_ups,
                            const std::vector<WaitingFigures>& waits,
                            const std::vector<LatencyFigures>& latencies) {
    std::vector<Row> rows = period_rows(runs);
    rows.push_back(jitter_row(runs));
    rows.push_back(writes_row(runs));
    rows.push_back(bytes_row(runs));
    const std::string setting = highest(runs, [](const RunFigures& r) { return r.threads; }) > 1
                                    ? ""
                                    : " (no sound output: the game runs silent)";
    for (Row& row : resource_rows(runs, setting)) {
        rows.push_back(row);
    }
    for (Row& row : waiting_rows(waits, setting)) {
        rows.push_back(row);
    }
    if (!sound_runs.empty()) {
        for (Row& row : resource_rows(sound_runs, ", with a sound output mixing")) {
            rows.push_back(row);
        }
    }
    rows.push_back(start_up_row(start_ups));
    for (const LatencyFigures& latency : latencies) {
        const LatencyRow row = latency_row(latency);
        rows.push_back(
            {"key to screen on " + latency.place, "≤ 10 ms median", row.measured, row.met});
    }
    rows.push_back(count_row(runs));
    return rows;
}

void append_run(std::ostringstream& out, const std::string& name, const RunFigures& run) {
    out << "- " << name << ": " << run.questions << " questions"
        << (run.reached_title_again ? ", back on the title afterwards" : "") << "; jitter p99 "
        << format("%.2f ms at the terminal", run.terminal.jitter_p99_ms)
        << format(", %.2f ms as written", run.game.jitter_p99_ms)
        << "; periods ÷ delay as written:";
    for (const auto& [delay, ratio] : run.game.period_ratio) {
        out << " " << delay << format(" ms %.3f", ratio);
    }
    out << format("; idle %.2f%%", run.title_idle_cpu * 100.0)
        << format(", scrolling %.2f%%", run.scroll_cpu * 100.0) << " (question "
        << run.scroll_cpu_worst_question << " the costliest, "
        << format("%.2f%%)", run.scroll_cpu_worst * 100.0)
        << format(", %.1f MiB; ", run.peak_resident_mib) << run.merged_ticks
        << " ticks read together, " << run.unread_questions << " questions answered blind";
    const SequenceCounts& s = run.sequences;
    out << "; " << s.cursor_moves << " cursor moves and " << s.colour_sets
        << " colour sets in the ticks (" << s.overtaken_moves << " moves and "
        << s.overtaken_colours << " colours overtaken before anything was drawn, " << s.idle_moves
        << " moves and " << s.idle_colours << " colours that changed nothing)";
    if (!run.failure.empty()) {
        out << "; FAILED: " << run.failure;
    }
    out << "\n";
}

}  // namespace

RunFigures figures_of(const RunRecord& run) {
    RunFigures figures;
    TickFigures ticks;
    std::vector<double> cpu;
    std::map<int, std::vector<double>> counts;
    for (const QuestionRecord& question : run.questions) {
        add_ticks(question, ticks, figures);
        add_counted_writes(question, ticks, figures);
        if (question.ticks.size() >= 2) {
            cpu.push_back(scroll_cpu_of(question));
            if (cpu.back() >= figures.scroll_cpu_worst) {
                figures.scroll_cpu_worst = cpu.back();
                figures.scroll_cpu_worst_question = question.number;
            }
        }
        if (question.countdown_end_ns > 0) {
            counts[question.level].push_back(
                ms_between(question.announced_ns, question.countdown_end_ns) / 3.0);
        }
        figures.unread_questions += question.answered && !question.read_cleanly ? 1 : 0;
    }
    figures.terminal = timing_of(ticks.periods);
    figures.traced = !run.game_side.empty();
    add_game_side(run.game_side, figures);
    for (const auto& [level, values] : counts) {
        figures.terminal_count_ms[level] = median(values);
    }
    if (ticks.ticks > 0) {
        figures.counted_writes_per_tick =
            static_cast<double>(ticks.writes) / static_cast<double>(ticks.ticks);
    }
    figures.counted_ticks = static_cast<std::size_t>(ticks.ticks);
    figures.bytes_per_tick_8 = median(ticks.bytes_8);
    figures.most_bytes_per_tick_8 =
        ticks.bytes_8.empty() ? 0.0 : *std::max_element(ticks.bytes_8.begin(), ticks.bytes_8.end());
    figures.ticks_8 = ticks.bytes_8.size();
    figures.title_idle_cpu = run.title_idle_cpu;
    figures.scroll_cpu = median(cpu);
    figures.peak_resident_mib =
        static_cast<double>(std::max(run.peak_resident_kib, run.max_rss_kib)) / k_kib_per_mib;
    figures.questions = static_cast<int>(run.questions.size());
    figures.threads = run.threads;
    figures.reached_title_again = run.reached_title_again;
    figures.failure = run.failure;
    return figures;
}

LatencyRow latency_row(const LatencyFigures& latency) {
    if (!latency.failure.empty() || latency.ms.empty()) {
        return {latency.failure, false};
    }
    const double middle = median(latency.ms);
    const double slowest = *std::max_element(latency.ms.begin(), latency.ms.end());
    return {format("median %.1f ms", middle) + format(", slowest %.1f ms", slowest) +
                format(" over %.0f presses", static_cast<double>(latency.ms.size())),
            middle <= k_max_key_to_screen_ms};
}

WaitingFigures waiting_of(const RunRecord& run, const WaitingScreen& screen) {
    return {std::string(screen.name), run.waiting_cpu, run.failure};
}

StartUpFigures start_up_of(const RunRecord& run) {
    return {static_cast<double>(run.title_complete_ns) / k_ns_per_ms,
            static_cast<double>(run.title_first_write_ns) / k_ns_per_ms};
}

std::string render_report(const std::vector<RunFigures>& runs,
                          const std::vector<RunFigures>& sound_runs,
                          const std::vector<StartUpFigures>& start_ups,
                          const std::vector<WaitingFigures>& waits,
                          const std::vector<LatencyFigures>& latencies,
                          const ReportContext& context) {
    std::ostringstream out;
    out << "Measured with `" << context.command << "` on " << context.machine << ": " << runs.size()
        << " whole games and " << start_ups.size()
        << " starts of the real binary on a pseudo-terminal; medians over the games.\n\n";
    out << "| figure | target | measured | |\n|---|---|---|---|\n";
    for (const Row& row : table_rows(runs, sound_runs, start_ups, waits, latencies)) {
        out << "| " << row.figure << " | " << row.target << " | " << row.measured << " | "
            << (row.met ? "✓" : "✗") << " |\n";
    }
    out << "\n";
    for (std::size_t i = 0; i < runs.size(); ++i) {
        append_run(out, "game " + std::to_string(i + 1), runs[i]);
    }
    for (std::size_t i = 0; i < sound_runs.size(); ++i) {
        append_run(out, "game with sound " + std::to_string(i + 1), sound_runs[i]);
    }
    return out.str();
}

}  // namespace kal::bench
