#include "pty_terminal.hpp"

#include <sys/wait.h>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

namespace kal::test {
namespace {

constexpr std::int64_t k_seconds = 1'000'000'000;

std::string all_output(PtyTerminal& term) {
    std::string output;
    while (const auto chunk = term.read_until(now_ns() + 5 * k_seconds)) {
        EXPECT_GE(chunk->at_ns, term.started_ns());
        output += chunk->bytes;
    }
    return output;
}

TEST(PtyTerminal, TheProgramRunsOnAnEightyByTwentyFiveTerminalInItsDirectory) {
    const std::string dir = std::filesystem::temp_directory_path();
    PtyTerminal term(
        {{"sh", "-c", "stty size; pwd; echo $KAL_BENCH_TEST"}, dir, {"KAL_BENCH_TEST=set"}});
    const std::string output = all_output(term);
    EXPECT_NE(output.find("25 80"), std::string::npos) << output;
    EXPECT_NE(output.find(dir), std::string::npos) << output;
    EXPECT_NE(output.find("set"), std::string::npos) << output;
    EXPECT_TRUE(term.closed());
    const ExitReport report = term.finish(SIGTERM);
    EXPECT_TRUE(WIFEXITED(report.status));
}

TEST(PtyTerminal, KeysSentReachTheProgramAsTyped) {
    PtyTerminal term({{"sh", "-c", "read line; echo got:$line"}, "/", {}});
    term.send("BENCH\n");
    EXPECT_NE(all_output(term).find("got:BENCH"), std::string::npos);
}

TEST(PtyTerminal, FinishingStopsAProgramThatWouldRunOn) {
    PtyTerminal term({{"sh", "-c", "echo ready; exec cat"}, "/", {}});
    ASSERT_TRUE(term.read_until(now_ns() + 5 * k_seconds));
    const ExitReport report = term.finish(SIGTERM);
    EXPECT_TRUE(WIFSIGNALED(report.status));
    EXPECT_EQ(WTERMSIG(report.status), SIGTERM);
}

}  // namespace
}  // namespace kal::test
