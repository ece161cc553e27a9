#include "game_side.hpp"

#include <map>

#include "game_run.hpp"

namespace kal::bench {
namespace {

constexpr std::size_t k_waits_per_countdown = 15;  // three counts of four beats and a rest
constexpr std::size_t k_waits_per_count = 5;
constexpr double k_ns_per_ms = 1.0e6;

struct TracedWrite {
    std::size_t call;   // index into the calls
    std::size_t index;  // how many writes came before it
};

// The traced writes by the byte offset of the output where each began.
std::map<std::int64_t, TracedWrite> writes_by_offset(const std::vector<TracedCall>& calls) {
    std::map<std::int64_t, TracedWrite> writes;
    std::int64_t offset = 0;
    std::size_t index = 0;
    for (std::size_t i = 0; i < calls.size(); ++i) {
        if (calls[i].kind == TracedCall::Kind::write) {
            writes[offset] = {i, index++};
            offset += calls[i].bytes;
        }
    }
    return writes;
}

// Count one starts as the announcement is written, each next count as the wait of its first
// beat begins, and the third ends as the announcement is blanked.
std::optional<std::array<double, 3>> countdown_of(const std::vector<TracedCall>& calls,
                                                  std::size_t announced, std::size_t blanked) {
    std::vector<double> waits;
    for (std::size_t i = announced + 1; i < blanked; ++i) {
        if (calls[i].kind == TracedCall::Kind::wait) {
            waits.push_back(calls[i].at_ms);
        }
    }
    if (waits.size() != k_waits_per_countdown) {
        return std::nullopt;
    }
    const std::array<double, 4> bounds{calls[announced].at_ms, waits[k_waits_per_count],
                                       waits[2 * k_waits_per_count], calls[blanked].at_ms};
    return std::array<double, 3>{bounds[1] - bounds[0], bounds[2] - bounds[1],
                                 bounds[3] - bounds[2]};
}

// The last traced write that began within the bytes of a frame: a frame read together with the
// write before it, such as the blanking of the announcement before the first tick, is the last.
const TracedWrite* last_write_in(const std::map<std::int64_t, TracedWrite>& writes,
                                 std::int64_t offset, std::int64_t bytes) {
    if (offset < 0) {
        return nullptr;
    }
    auto after = writes.lower_bound(offset + bytes);
    if (after == writes.begin()) {
        return nullptr;
    }
    --after;
    return after->first >= offset ? &after->second : nullptr;
}

// The wait for a processor that can have moved a period: the benchmark samples just after
// each tick arrives, and the game may still have been held up between that tick's write and
// its next reading of the clock, which counts towards the sample before.
double queued_around(std::int64_t before_ns, std::int64_t during_ns) {
    if (before_ns < 0 || during_ns < 0) {
        return -1.0;
    }
    return static_cast<double>(before_ns + during_ns) / k_ns_per_ms;
}

const TracedWrite* write_at(const std::map<std::int64_t, TracedWrite>& writes,
                            std::int64_t offset) {
    const auto found = writes.find(offset);
    return offset >= 0 && found != writes.end() ? &found->second : nullptr;
}

}  // namespace

std::vector<GameSideQuestion> game_side_view(const RunRecord& run,
                                             const std::vector<TracedCall>& calls) {
    const std::map<std::int64_t, TracedWrite> writes = writes_by_offset(calls);
    std::vector<GameSideQuestion> view;
    for (const QuestionRecord& question : run.questions) {
        GameSideQuestion side;
        side.number = question.number;
        side.level = question.level;
        side.delay_ms = question.table_row.delay_ms;
        const TracedWrite* announced =
            last_write_in(writes, question.announced_offset, question.announced_bytes);
        const TracedWrite* blanked = write_at(writes, question.countdown_end_offset);
        if (announced != nullptr && blanked != nullptr) {
            side.counts_ms = countdown_of(calls, announced->call, blanked->call);
        }
        if (question.countdown_queued_ns >= 0) {
            side.countdown_queued_ms =
                static_cast<double>(question.countdown_queued_ns) / k_ns_per_ms;
        }
        const TracedWrite* previous = nullptr;
        std::int64_t previous_queued_ns = -1;
        for (const TickRecord& tick : question.ticks) {
            // A frame that holds two ticks ends on the second tick's write: neither the writes
            // nor the time since the tick before belong to one tick.
            const TracedWrite* write =
                tick.merged ? nullptr : last_write_in(writes, tick.offset, tick.frame_bytes);
            if (previous != nullptr && write != nullptr) {
                side.periods_ms.push_back(calls[write->call].at_ms - calls[previous->call].at_ms);
                side.queued_ms.push_back(queued_around(previous_queued_ns, tick.queued_ns));
                side.writes_per_tick.push_back(static_cast<int>(write->index - previous->index));
            }
            previous = write;
            previous_queued_ns = tick.queued_ns;
        }
        view.push_back(side);
    }
    return view;
}

}  // namespace kal::bench
