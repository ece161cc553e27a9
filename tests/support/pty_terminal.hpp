#pragma once

// A program on a pseudo-terminal of 80 x 25: started with forkpty, its output read with the time
// each piece arrived, keys written as a terminal would send them.

#include <sys/resource.h>
#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kal::test {

// Nanoseconds on the monotonic clock, the one the game reads too.
std::int64_t now_ns();

struct Chunk {
    std::int64_t at_ns;  // when read() returned it
    std::string bytes;
};

struct LaunchSpec {
    std::vector<std::string> argv;
    std::string directory;                 // the working directory of the game
    std::vector<std::string> environment;  // NAME=value added to the benchmark's own
};

struct ExitReport {
    int status = 0;
    rusage usage{};
};

class PtyTerminal {
public:
    explicit PtyTerminal(const LaunchSpec& launch);
    ~PtyTerminal();
    PtyTerminal(const PtyTerminal&) = delete;
    PtyTerminal& operator=(const PtyTerminal&) = delete;

    [[nodiscard]] pid_t pid() const { return pid_; }
    // The clock just before the fork.
    [[nodiscard]] std::int64_t started_ns() const { return started_ns_; }

    // The next output, or nothing when deadline_ns passes first or the game has closed the
    // terminal.
    std::optional<Chunk> read_until(std::int64_t deadline_ns);
    // Whether output is waiting to be read.
    [[nodiscard]] bool output_waiting() const;
    void send(std::string_view bytes);
    [[nodiscard]] bool closed() const { return closed_; }

    // The program's status as waitpid gives it once it has ended by itself; nothing while it
    // runs.
    std::optional<int> exit_status();
    // Sends the signal, drains the terminal and collects the exit status and resource use.
    ExitReport finish(int signal_number);

private:
    pid_t pid_ = -1;
    int master_ = -1;
    std::int64_t started_ns_ = 0;
    bool closed_ = false;
    bool reaped_ = false;
    int status_ = 0;
};

}  // namespace kal::test
