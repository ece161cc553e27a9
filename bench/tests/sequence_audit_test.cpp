#include "sequence_audit.hpp"

#include <gtest/gtest.h>

#include <string>

namespace kal::bench {
namespace {

struct Case {
    const char* name;
    std::string bytes;
    SequenceCounts expected;
};

SequenceCounts counts_of(const std::string& bytes) {
    SequenceAudit audit;
    audit.feed(bytes, true);
    return audit.take_counts();
}

void expect_counts(const Case& c) {
    const SequenceCounts counts = counts_of(c.bytes);
    EXPECT_EQ(counts.cursor_moves, c.expected.cursor_moves) << c.name;
    EXPECT_EQ(counts.colour_sets, c.expected.colour_sets) << c.name;
    EXPECT_EQ(counts.overtaken_moves, c.expected.overtaken_moves) << c.name;
    EXPECT_EQ(counts.overtaken_colours, c.expected.overtaken_colours) << c.name;
    EXPECT_EQ(counts.idle_moves, c.expected.idle_moves) << c.name;
    EXPECT_EQ(counts.idle_colours, c.expected.idle_colours) << c.name;
}

TEST(SequenceAudit, FindsMovesAndColoursThatChangeNothing) {
    const Case cases[] = {
        {"a move and a colour both used", "\x1b[3;5H\x1b[0;94;107mA", {1, 1, 0, 0, 0, 0}},
        {"a move overtaken by the next", "\x1b[3;5H\x1b[4;1HA", {2, 0, 1, 0, 0, 0}},
        {"a colour overtaken by the next", "\x1b[0;94;107m\x1b[0;97;44mA", {0, 2, 0, 1, 0, 0}},
        {"a move to where the cursor stands", "\x1b[3;5HAB\x1b[3;7HC", {2, 0, 0, 0, 1, 0}},
        {"a colour already in force", "\x1b[0;94;107mA\x1b[0;94;107mB", {0, 2, 0, 0, 0, 1}},
        {"a move right after the last column", "\x1b[1;79HAB\x1b[1;80HC", {2, 0, 0, 0, 0, 0}},
        {"wide characters advance two cells", "\x1b[2;1H　\x1b[2;3HX", {2, 0, 0, 0, 1, 0}},
    };
    for (const Case& c : cases) {
        expect_counts(c);
    }
}

TEST(SequenceAudit, ASequenceCutBetweenTwoReadsCountsOnce) {
    SequenceAudit audit;
    audit.feed("\x1b[3;", true);
    audit.feed("5HA\x1b[0;94", true);
    audit.feed(";107mB", true);
    const SequenceCounts counts = audit.take_counts();
    EXPECT_EQ(counts.cursor_moves, 1);
    EXPECT_EQ(counts.colour_sets, 1);
    EXPECT_EQ(counts.redundant(), 0);
}

TEST(SequenceAudit, BytesFollowedButNotCountedSetTheStateForTheNextFrame) {
    SequenceAudit audit;
    audit.feed("\x1b[0;94;107m\x1b[6;10HAB", false);
    audit.feed("\x1b[0;94;107m\x1b[6;12HC", true);
    const SequenceCounts counts = audit.take_counts();
    EXPECT_EQ(counts.idle_colours, 1);
    EXPECT_EQ(counts.idle_moves, 1);
    EXPECT_EQ(audit.take_counts().colour_sets, 0);  // taking the counts starts them again
}

}  // namespace
}  // namespace kal::bench
