#include "game_side.hpp"

#include <gtest/gtest.h>

#include "game_run.hpp"

namespace kal::bench {
namespace {

TracedCall write_of(double at_ms, std::int64_t bytes) {
    return {TracedCall::Kind::write, at_ms, 0.0, bytes};
}

TracedCall wait_at(double at_ms) {
    return {TracedCall::Kind::wait, at_ms, 0.0, 0};
}

TickRecord tick_at(std::int64_t offset, std::int64_t bytes) {
    TickRecord tick;
    tick.offset = offset;
    tick.frame_bytes = bytes;
    tick.queued_ns = 0;
    return tick;
}

// The announcement (100 bytes) at 0 ms, the fifteen waits of the countdown, the blanking
// (50 bytes) read together with the first tick (300 bytes) at 2790 ms, then ticks 25 ms apart.
struct TracedQuestion {
    RunRecord run;
    std::vector<TracedCall> calls;

    TracedQuestion() {
        QuestionRecord question;
        question.number = 1;
        question.level = 1;
        question.table_row = question_row(1);
        question.announced_offset = 0;
        question.announced_bytes = 100;
        question.countdown_end_offset = 100;
        question.countdown_queued_ns = 0;
        question.ticks = {tick_at(100, 350), tick_at(450, 300), tick_at(750, 300)};
        run.questions.push_back(question);

        calls.push_back(write_of(0.0, 100));
        double at = 0.0;
        for (int count = 0; count < 3; ++count) {
            for (int beat = 0; beat < 4; ++beat, at += 125.0) {
                calls.push_back(wait_at(at + (count == 0 && beat == 0 ? 0.4 : 0.0)));
            }
            calls.push_back(wait_at(at));
            at += 430.0;
        }
        calls.push_back(write_of(2790.0, 50));
        calls.push_back(write_of(2790.1, 300));
        calls.push_back(wait_at(2790.2));
        calls.push_back(write_of(2815.1, 300));
        calls.push_back(wait_at(2815.2));
        calls.push_back(write_of(2840.10, 200));  // the next tick, written in two pieces
        calls.push_back(write_of(2840.11, 100));
    }
};

TEST(GameSide, TheCountsRunFromTheAnnouncementToTheFirstBeatOfEachNextCount) {
    const TracedQuestion traced;
    const std::vector<GameSideQuestion> view = game_side_view(traced.run, traced.calls);
    ASSERT_EQ(view.size(), 1U);
    ASSERT_TRUE(view[0].counts_ms);
    EXPECT_DOUBLE_EQ((*view[0].counts_ms)[0], 930.0);
    EXPECT_DOUBLE_EQ((*view[0].counts_ms)[1], 930.0);
    EXPECT_DOUBLE_EQ((*view[0].counts_ms)[2], 930.0);
}

TEST(GameSide, ATickIsTheLastWriteInItsFrameAndItsPeriodRunsToTheNextTicksWrite) {
    const TracedQuestion traced;
    const std::vector<GameSideQuestion> view = game_side_view(traced.run, traced.calls);
    ASSERT_EQ(view[0].periods_ms.size(), 2U);
    EXPECT_NEAR(view[0].periods_ms[0], 25.0, 1e-9);  // from the tick, not from the blanking
    EXPECT_NEAR(view[0].periods_ms[1], 25.01, 1e-9);
    EXPECT_EQ(view[0].writes_per_tick, (std::vector<int>{1, 2}));
}

TEST(GameSide, TicksReadTogetherGiveNeitherAPeriodNorACountOfWrites) {
    TracedQuestion traced;
    QuestionRecord& question = traced.run.questions[0];
    question.ticks = {tick_at(100, 350), tick_at(450, 600)};
    question.ticks[1].merged = true;
    traced.calls.pop_back();
    traced.calls.back().bytes = 300;
    const std::vector<GameSideQuestion> view = game_side_view(traced.run, traced.calls);
    EXPECT_TRUE(view[0].periods_ms.empty());
    EXPECT_TRUE(view[0].writes_per_tick.empty());
}

TEST(GameSide, ACountdownWithABeatMissingTellsNothing) {
    TracedQuestion traced;
    traced.calls.erase(traced.calls.begin() + 3);
    EXPECT_FALSE(game_side_view(traced.run, traced.calls)[0].counts_ms);
}

}  // namespace
}  // namespace kal::bench
