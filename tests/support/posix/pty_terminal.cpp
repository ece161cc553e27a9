#include "pty_terminal.hpp"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <stdexcept>

namespace kal::test {
namespace {

constexpr std::size_t k_read_size = 65536;
constexpr std::int64_t k_ns_per_s = 1'000'000'000;
constexpr int k_exec_failed = 127;

[[noreturn]] void exec_game(const LaunchSpec& launch) {
    if (chdir(launch.directory.c_str()) != 0) {
        _exit(k_exec_failed);
    }
    for (const std::string& entry : launch.environment) {
        putenv(const_cast<char*>(entry.c_str()));
    }
    std::vector<char*> argv;
    for (const std::string& arg : launch.argv) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(k_exec_failed);
}

timespec to_timespec(std::int64_t ns) {
    return {static_cast<time_t>(ns / k_ns_per_s), static_cast<long>(ns % k_ns_per_s)};
}

}  // namespace

std::int64_t now_ns() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * k_ns_per_s + now.tv_nsec;
}

PtyTerminal::PtyTerminal(const LaunchSpec& launch) {
    winsize size{};
    size.ws_row = 25;
    size.ws_col = 80;
    started_ns_ = now_ns();
    pid_ = forkpty(&master_, nullptr, nullptr, &size);
    if (pid_ < 0) {
        throw std::runtime_error("forkpty failed");
    }
    if (pid_ == 0) {
        exec_game(launch);
    }
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
}

PtyTerminal::~PtyTerminal() {
    if (!reaped_ && pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (master_ >= 0) {
        close(master_);
    }
}

std::optional<Chunk> PtyTerminal::read_until(std::int64_t deadline_ns) {
    std::array<char, k_read_size> buffer{};
    while (!closed_) {
        const ssize_t count = read(master_, buffer.data(), buffer.size());
        if (count > 0) {
            return Chunk{now_ns(), std::string(buffer.data(), static_cast<std::size_t>(count))};
        }
        if (count == 0 || (errno != EAGAIN && errno != EINTR)) {
            closed_ = true;  // EIO: the game has closed its side
            break;
        }
        const std::int64_t left = deadline_ns - now_ns();
        if (left <= 0) {
            break;
        }
        pollfd output{master_, POLLIN, 0};
        const timespec timeout = to_timespec(left);
        ppoll(&output, 1, &timeout, nullptr);
    }
    return std::nullopt;
}

bool PtyTerminal::output_waiting() const {
    pollfd output{master_, POLLIN, 0};
    return poll(&output, 1, 0) > 0 && (output.revents & POLLIN) != 0;
}

void PtyTerminal::send(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = write(master_, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR || errno == EAGAIN) {
                continue;
            }
            return;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

std::optional<int> PtyTerminal::exit_status() {
    if (!reaped_ && waitpid(pid_, &status_, WNOHANG) == pid_) {
        reaped_ = true;
    }
    return reaped_ ? std::optional<int>(status_) : std::nullopt;
}

ExitReport PtyTerminal::finish(int signal_number) {
    ExitReport report;
    if (reaped_) {
        report.status = status_;
        return report;
    }
    kill(pid_, signal_number);
    for (;;) {
        const pid_t done = wait4(pid_, &report.status, WNOHANG, &report.usage);
        if (done == pid_) {
            break;
        }
        const std::int64_t pause_ns = k_ns_per_s / 100;
        if (closed_) {
            const timespec pause = to_timespec(pause_ns);
            nanosleep(&pause, nullptr);
        } else {
            read_until(now_ns() + pause_ns);
        }
    }
    reaped_ = true;
    return report;
}

}  // namespace kal::test
