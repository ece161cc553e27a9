#pragma once

// What the kernel counts for the game's process: processor time of all its threads, write
// system calls and the bytes they carried, and the peak resident memory.

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string_view>

namespace kal::bench {

struct ProcessSample {
    std::int64_t cpu_ns = 0;         // run time of every thread, from /proc/<pid>/task/*/schedstat
    std::int64_t queued_ns = 0;      // time its threads were ready to run but had no processor
    std::int64_t write_calls = 0;    // syscw of /proc/<pid>/io
    std::int64_t bytes_written = 0;  // wchar of /proc/<pid>/io
};

// The value of the first "name: value" line of text with that name, or nothing.
std::optional<std::int64_t> field_value(std::string_view text, std::string_view name);

// Reads the counters of a running process; all zero once it has gone.
ProcessSample sample_process(pid_t pid);

// VmHWM of /proc/<pid>/status, in KiB; 0 once the process has gone.
std::int64_t peak_resident_kib(pid_t pid);

// How many threads the process runs; 0 once it has gone.
int thread_count(pid_t pid);

// The first process whose parent is pid (the game under perf trace), or 0.
pid_t child_of(pid_t pid);

}  // namespace kal::bench
