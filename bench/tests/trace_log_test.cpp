#include "trace_log.hpp"

#include <gtest/gtest.h>

namespace kal::bench {
namespace {

TEST(TraceLog, ReadsTheGamesWaitsAndTerminalWritesFromPerfTrace) {
    const auto wait = parse_trace_line(
        "  1064.398 (99.537 ms): kaleidron/28120 ppoll(ufds: 0x7ffe72d8d8a8, nfds: 1, tsp: "
        "0x7ffe72d8d870, sigsetsize: 8) = 0 (Timeout)");
    ASSERT_TRUE(wait);
    EXPECT_EQ(wait->kind, TracedCall::Kind::wait);
    EXPECT_DOUBLE_EQ(wait->at_ms, 1064.398);
    EXPECT_DOUBLE_EQ(wait->duration_ms, 99.537);

    const auto write = parse_trace_line(
        "    11.770 ( 0.022 ms): kaleidron/28120 write(fd: 1</dev/pts/2>, buf: 0x5577, count: "
        "611)                          = 611");
    ASSERT_TRUE(write);
    EXPECT_EQ(write->kind, TracedCall::Kind::write);
    EXPECT_EQ(write->bytes, 611);
}

TEST(TraceLog, IgnoresEverythingButWaitsAndWritesToTheTerminal) {
    const char* lines[] = {
        "     7.089 ( 0.024 ms): kaleidron/28120 write(fd: 4, buf: 0x7ffe, count: 336)     = 336",
        "    18.482 ( 0.617 ms): kaleidron/911 fsync(fd: 4</tmp/Rank.dat.SzCqal>)          = 0",
        "    20.000 ( 0.010 ms): kaleidron/911 write(fd: 1, buf: 0x55, count: 40)  = -1 EAGAIN",
        "         ? (         ): kaleidron/911  ... [continued]: ppoll())                   = 0",
        "",
    };
    for (const char* line : lines) {
        EXPECT_FALSE(parse_trace_line(line)) << line;
    }
}

}  // namespace
}  // namespace kal::bench
