#include "child_process.hpp"

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kal::test {

namespace {

constexpr uid_t k_nobody = 65534;
constexpr std::size_t k_most_numbers = 16;

}  // namespace

std::vector<std::int32_t> in_child(const std::function<std::vector<std::int32_t>()>& body) {
    int channel[2];
    if (pipe(channel) != 0) {
        ADD_FAILURE() << "no pipe";
        return {};
    }
    const pid_t pid = fork();
    if (pid == 0) {
        close(channel[0]);
        const std::vector<std::int32_t> report = body();
        const auto size = static_cast<ssize_t>(report.size() * sizeof(std::int32_t));
        _exit(write(channel[1], report.data(), static_cast<std::size_t>(size)) == size ? 0 : 1);
    }
    close(channel[1]);
    std::vector<std::int32_t> report(k_most_numbers);
    const ssize_t got = read(channel[0], report.data(), report.size() * sizeof(std::int32_t));
    close(channel[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    const bool exited = WIFEXITED(status) && WEXITSTATUS(status) == 0 && got >= 0;
    report.resize(exited ? static_cast<std::size_t>(got) / sizeof(std::int32_t) : 0);
    return report;
}

bool become_ordinary_player() {
    if (geteuid() != 0) {
        return true;
    }
    return setgroups(0, nullptr) == 0 && setgid(k_nobody) == 0 && setuid(k_nobody) == 0;
}

}  // namespace kal::test
