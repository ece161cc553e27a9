#pragma once

// From the records of the scripted games to the figures of one run, and from the runs to the
// table: medians over the runs, each against its target.

#include <map>
#include <string>
#include <vector>

#include "game_run.hpp"
#include "key_latency.hpp"
#include "sequence_audit.hpp"

namespace kal::bench {

// One side of the timing: as the terminal received the frames, or as the game wrote them.
struct TimingFigures {
    std::map<int, double> period_ratio;       // by delay in ms: median tick period over the delay
    std::map<int, std::size_t> period_count;  // by delay: periods measured
    double jitter_p99_ms = 0.0;               // 99th percentile of |period - delay|
};

struct RunFigures {
    TimingFigures terminal;
    TimingFigures game;  // empty unless the run was traced
    bool traced = false;
    // The game's own periods again, only those in which it never waited for a processor.
    double unqueued_jitter_p99_ms = 0.0;
    std::size_t unqueued_periods = 0;
    int periods_off = 0;         // more than 1 ms from the delay, as written
    int periods_off_queued = 0;  // of those, the ones in which the game waited for a processor
    // Writes per tick: the kernel's count over the whole scroll of each question, and perf's
    // count tick by tick.
    double counted_writes_per_tick = 0.0;       // over every question
    double most_counted_writes_per_tick = 0.0;  // the question with most
    double traced_writes_per_tick = 0.0;        // median
    int most_traced_writes_in_a_tick = 0;
    std::size_t traced_write_samples = 0;
    std::size_t counted_ticks = 0;
    // Bytes the terminal received for one tick of an 8-digit row.
    double bytes_per_tick_8 = 0.0;  // median
    double most_bytes_per_tick_8 = 0.0;
    std::size_t ticks_8 = 0;
    SequenceCounts sequences;  // over every scroll tick
    double title_idle_cpu = 0.0;
    double scroll_cpu = 0.0;        // median over the questions
    double scroll_cpu_worst = 0.0;  // the question that took most
    int scroll_cpu_worst_question = 0;
    double peak_resident_mib = 0.0;
    std::map<int, double> terminal_count_ms;           // by level: announcement to blanking / 3
    std::map<int, std::vector<double>> game_count_ms;  // by level: every count the trace shows
    // The same, only from countdowns in which the game never waited long for a processor.
    std::map<int, std::vector<double>> unqueued_count_ms;
    int questions = 0;
    int unread_questions = 0;
    int merged_ticks = 0;
    int threads = 0;
    bool reached_title_again = false;
    std::string failure;
};

RunFigures figures_of(const RunRecord& run);

struct StartUpFigures {
    double title_complete_ms = 0.0;
    double title_first_ms = 0.0;
};

StartUpFigures start_up_of(const RunRecord& run);

// The processor time of a screen of the menu while it waited for SPACE.
struct WaitingFigures {
    std::string screen;
    double cpu = 0.0;     // over wall time
    std::string failure;  // empty when the screen was reached and waited quietly
};

WaitingFigures waiting_of(const RunRecord& run, const WaitingScreen& screen);

struct ReportContext {
    std::string command;
    std::string machine;
};

// Key to screen on each place, as a row of the table: median and slowest against the target.
struct LatencyRow {
    std::string measured;
    bool met = false;
};
LatencyRow latency_row(const LatencyFigures& latency);

// The table in Markdown, then the details behind it. sound_runs are games with a sound output
// that mixes, for the processor time and memory it adds; they may be none, and so may waits
// and latencies.
std::string render_report(const std::vector<RunFigures>& runs,
                          const std::vector<RunFigures>& sound_runs,
                          const std::vector<StartUpFigures>& start_ups,
                          const std::vector<WaitingFigures>& waits,
                          const std::vector<LatencyFigures>& latencies,
                          const ReportContext& context);

}  // namespace kal::bench
