#pragma once

// The scroll and the countdown as the game itself timed them: the records of a run tied to the
// writes and waits that perf traced. Every byte the terminal received came from one write, in
// order, so the write that starts at a frame's byte offset in the output is that frame's.

#include <array>
#include <optional>
#include <vector>

#include "trace_log.hpp"

namespace kal::bench {

struct RunRecord;

struct GameSideQuestion {
    int number = 0;
    int level = 0;
    int delay_ms = 0;
    std::vector<double> periods_ms;  // between the writes of consecutive ticks
    // For each period, how long the game waited for a processor in it; -1 when not known.
    std::vector<double> queued_ms;
    std::vector<int> writes_per_tick;
    std::optional<std::array<double, 3>> counts_ms;  // the three counts of the countdown
    double countdown_queued_ms = -1.0;  // how long the game waited for a processor meanwhile
};

std::vector<GameSideQuestion> game_side_view(const RunRecord& run,
                                             const std::vector<TracedCall>& calls);

}  // namespace kal::bench
