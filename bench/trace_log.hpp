#pragma once

// What `perf trace -e write,ppoll` saw the game do, as the game's own clock has it: every write
// to the terminal and every wait. perf reads the kernel's tracepoints and never stops the game,
// so the times are the game's, free of the delays of the terminal and of the benchmark.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kal::bench {

struct TracedCall {
    enum class Kind { wait, write };
    Kind kind = Kind::wait;
    double at_ms = 0.0;  // entry, from the start of the trace
    double duration_ms = 0.0;
    std::int64_t bytes = 0;  // a write's bytes taken by the terminal
};

// A ppoll, or a write to the terminal (descriptor 1), from one line of perf trace's output;
// nothing for any other line.
std::optional<TracedCall> parse_trace_line(std::string_view line);

// Every such call of the file, in the order they began.
std::vector<TracedCall> read_trace_file(const std::string& path);

}  // namespace kal::bench
