#include "report.hpp"

#include <gtest/gtest.h>

namespace kal::bench {
namespace {

constexpr std::int64_t k_ms = 1'000'000;

QuestionRecord scrolled_question(int number, const std::vector<std::int64_t>& periods_ms) {
    QuestionRecord question;
    question.number = number;
    question.level = 1;
    question.table_row = question_row(number);
    question.announced_ns = 0;
    question.countdown_end_ns = 2790 * k_ms;
    std::int64_t at = 3000 * k_ms;
    TickRecord tick;
    tick.at_ns = at;
    tick.frame_bytes = 500;
    question.ticks.push_back(tick);
    for (const std::int64_t period : periods_ms) {
        at += period * k_ms;
        tick.at_ns = at;
        question.ticks.push_back(tick);
    }
    question.first_tick.cpu_ns = 0;
    question.last_tick.cpu_ns = (at - 3000 * k_ms) / 100;  // 1% of the wall time
    question.first_tick.write_calls = 1000;
    question.last_tick.write_calls = 1000 + static_cast<std::int64_t>(periods_ms.size());
    return question;
}

TEST(Report, PeriodsAreMeasuredAgainstTheDelayOfTheirQuestion) {
    RunRecord run;
    run.questions.push_back(scrolled_question(1, {25, 25, 25, 27, 25}));  // 25 ms a tick
    run.questions.push_back(scrolled_question(3, {10, 10, 11}));          // 10 ms a tick
    const RunFigures figures = figures_of(run);
    EXPECT_DOUBLE_EQ(figures.terminal.period_ratio.at(25), 1.0);
    EXPECT_NEAR(figures.terminal.period_ratio.at(10), 1.0, 1e-12);
    EXPECT_EQ(figures.terminal.period_count.at(25), 5U);
    EXPECT_NEAR(figures.terminal.jitter_p99_ms, 1.93, 1e-9);
    EXPECT_NEAR(figures.scroll_cpu, 0.01, 1e-9);
    EXPECT_DOUBLE_EQ(figures.terminal_count_ms.at(1), 930.0);
    EXPECT_DOUBLE_EQ(figures.counted_writes_per_tick, 1.0);
    EXPECT_DOUBLE_EQ(figures.most_counted_writes_per_tick, 1.0);
}

TEST(Report, TicksReadTogetherGiveNoPeriod) {
    RunRecord run;
    run.questions.push_back(scrolled_question(1, {25, 40, 10, 25}));
    run.questions[0].ticks[2].merged = true;
    run.questions[0].ticks[3].merged = true;
    const RunFigures figures = figures_of(run);
    EXPECT_EQ(figures.terminal.period_count.at(25), 1U);
    EXPECT_EQ(figures.merged_ticks, 2);
}

TEST(Report, TheTableMarksEachFigureAgainstItsTarget) {
    RunRecord run;
    run.title_idle_cpu = 0.03;  // above 2%
    run.peak_resident_kib = 12 * 1024;
    run.threads = 3;  // the sound output opened
    run.questions.push_back(scrolled_question(1, {25, 25, 25}));
    const std::vector<WaitingFigures> waits{
        {"a tutorial page", 0.001, ""}, {"the credits", 0.016, ""}, {"a screen", 0.0, "it hung"}};
    const std::vector<LatencyFigures> latencies{{"the title", {3.0, 1.0, 30.0}, ""},
                                                {"the answer row", {12.0, 11.0, 2.0}, ""},
                                                {"a row", {}, "a press showed no step"}};
    const std::string table = render_report({figures_of(run)}, {}, {{20.0, 19.0}}, waits, latencies,
                                            {"make bench", "a test machine"});
    EXPECT_NE(table.find("| CPU of the game, idle on the title for 10 s | ≤ 2% of one core | "
                         "3.00% | ✗ |"),
              std::string::npos);
    EXPECT_NE(table.find("| CPU of the game, waiting for SPACE on a tutorial page for 10 s | "
                         "≤ 0.3% of one core | 0.100% | ✓ |"),
              std::string::npos);
    EXPECT_NE(table.find("| CPU of the game, waiting for SPACE on the credits for 10 s | "
                         "≤ 0.3% of one core | 1.600% | ✗ |"),
              std::string::npos);
    EXPECT_NE(table.find("waiting for SPACE on a screen for 10 s | ≤ 0.3% of one core | it hung "
                         "| ✗ |"),
              std::string::npos);
    EXPECT_NE(table.find("| peak resident memory over a whole game | ≤ 30 MB | 12.0 MiB, the "
                         "highest game | ✓ |"),
              std::string::npos);
    EXPECT_NE(table.find("| start to the first complete title frame | ≤ 50 ms | 20.0 ms"),
              std::string::npos);
    EXPECT_NE(table.find("| key to screen on the title | ≤ 10 ms median | median 3.0 ms, slowest "
                         "30.0 ms over 3 presses | ✓ |"),
              std::string::npos);
    EXPECT_NE(table.find("| key to screen on the answer row | ≤ 10 ms median | median 11.0 ms, "
                         "slowest 12.0 ms over 3 presses | ✗ |"),
              std::string::npos);
    EXPECT_NE(
        table.find("| key to screen on a row | ≤ 10 ms median | a press showed no step | ✗ |"),
        std::string::npos);
}

TEST(Report, FiguresOfASilentGameSaySoAndGamesWithSoundGetTheirOwnRows) {
    RunRecord silent;
    silent.threads = 1;
    silent.questions.push_back(scrolled_question(1, {25, 25}));
    RunRecord with_sound = silent;
    with_sound.threads = 3;
    with_sound.title_idle_cpu = 0.01;
    const std::string table =
        render_report({figures_of(silent)}, {figures_of(with_sound)}, {{20.0, 19.0}}, {}, {},
                      {"make bench", "a test machine"});
    EXPECT_NE(table.find("idle on the title for 10 s (no sound output: the game runs silent)"),
              std::string::npos);
    EXPECT_NE(table.find("| CPU of the game, idle on the title for 10 s, with a sound output "
                         "mixing | ≤ 2% of one core | 1.00% | ✓ |"),
              std::string::npos);
}

}  // namespace
}  // namespace kal::bench
