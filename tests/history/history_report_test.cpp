#include "history/history_report.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "console/text.hpp"
#include "game/command_line.hpp"
#include "game_fixture.hpp"
#include "history/history_file.hpp"
#include "history/terminal_chart.hpp"
#include "platform/line_file.hpp"
#include "text_files.hpp"

namespace kal::test {
namespace {

namespace fs = std::filesystem;

// Four games, worked out by hand:
//   1. no answer: total 0, G
//   2. level 1: 3 right of 4 answered; total 12, G
//   3. level 1: 6 of 6, level 2: 2 of 3; total 32, F
//   4. levels 1 and 2: 6 of 6 each, level 3: 1 of 2; total 54, E
const std::vector<std::string> k_four_games{
    "2025-01-01T09:00:00+09:00\t0\tG\t0\t0\t0\t0\t0\t0\t0\t0\t",
    "2025-01-02T09:00:00+09:00\t12\tG\t3\t0\t0\t0\t0\t0\t0\t0\t1500,1400,1300,3000",
    "2025-01-03T09:00:00+09:00\t32\tF\t6\t2\t0\t0\t0\t0\t0\t0\t"
    "1000,900,800,700,600,500,2000,1000,1500",
    "2025-01-04T09:00:00+09:00\t54\tE\t6\t6\t1\t0\t0\t0\t0\t0\t"
    "500,500,500,500,500,500,800,800,800,800,800,800,1200,1300",
};

std::string history_text(const std::vector<std::string>& games) {
    std::string text(k_history_header);
    for (const std::string& game : games) {
        text += game + "\n";
    }
    return text;
}

// A cleared game with the seconds left given: 354 points plus 5 a second.
std::string cleared_game(int seconds, int reaction_ms) {
    std::string line = "2025-02-01T20:00:00+09:00\t" + std::to_string(354 + 5 * seconds) +
                       "\tS\t6\t6\t6\t6\t6\t10\t" + std::to_string(seconds) + "\t1\t";
    for (int i = 0; i < 40; ++i) {
        line += (i == 0 ? "" : ",") + std::to_string(reaction_ms);
    }
    return line;
}

std::string without_escapes(std::string text) {
    for (std::size_t at = text.find('\x1b'); at != std::string::npos; at = text.find('\x1b')) {
        text.erase(at, text.find('m', at) - at + 1);
    }
    return text;
}

using HistoryReportTest = GameTest;

TEST_F(HistoryReportTest, TheNumbersOfAHistoryWrittenByTheTest) {
    std::ofstream("history.tsv") << history_text(k_four_games);
    std::string contents;
    ASSERT_EQ(read_line_file("history.tsv", contents), LineFileRead::read);
    const HistorySummary summary = summarize_history(parse_history(contents));

    EXPECT_EQ(summary.games, 4);
    EXPECT_EQ(summary.skipped_lines, 0);
    EXPECT_EQ(summary.first_date, "2025-01-01");
    EXPECT_EQ(summary.last_date, "2025-01-04");
    EXPECT_EQ(summary.best_total, 54);
    EXPECT_DOUBLE_EQ(summary.median_total, 22.0);
    EXPECT_EQ(summary.grade_counts, (std::array<int, 8>{0, 0, 0, 0, 0, 1, 1, 2}));  // S A..G
    EXPECT_EQ(summary.recent_totals, (std::vector<int>{0, 12, 32, 54}));
    EXPECT_EQ(summary.first_games, 2);
    EXPECT_EQ(summary.last_games, 2);

    struct Level {
        int answered;
        int correct;
        std::optional<int> first_ms;
        std::optional<int> last_ms;
    };
    const std::array<Level, 6> expected{{
        {16, 15, 1450, 500},
        {9, 8, std::nullopt, 800},
        {2, 1, std::nullopt, 1250},
        {0, 0, std::nullopt, std::nullopt},
        {0, 0, std::nullopt, std::nullopt},
        {0, 0, std::nullopt, std::nullopt},
    }};
    for (std::size_t level = 0; level < expected.size(); ++level) {
        SCOPED_TRACE(level + 1);
        EXPECT_EQ(summary.levels[level].answered, expected[level].answered);
        EXPECT_EQ(summary.levels[level].correct, expected[level].correct);
        EXPECT_EQ(summary.levels[level].first_median_ms, expected[level].first_ms);
        EXPECT_EQ(summary.levels[level].last_median_ms, expected[level].last_ms);
    }

    const std::string report = history_report(summary, ChartGlyphs::braille, false);
    for (const char* shown :
         {"ゲーム数 4   最高 54点   中央値 22点", "評価  S:0 A:0 B:0 C:0 D:0 E:1 F:1 G:2",
          "レベル1  最初 ", "1450ms", "500ms  -66%", "93%  15/16", "88%  8/9", "50%  1/2"}) {
        EXPECT_NE(report.find(shown), std::string::npos) << shown << "\n" << report;
    }
    const std::string tsv = history_tsv(summary);
    for (const char* value :
         {"games\t4\n", "median_total\t22\n", "grade_G\t2\n", "level1_accuracy_percent\t93.7\n",
          "level1_median_reaction_first_ms\t1450\n", "level2_median_reaction_first_ms\t\n",
          "level3_median_reaction_last_ms\t1250\n"}) {
        EXPECT_NE(tsv.find(value), std::string::npos) << value;
    }
}

TEST(HistorySummaryTest, TheFirstAndTheLatestGamesNeverOverlap) {
    struct Case {
        int games;
        int first;
        int last;
        double median;
    };
    for (const Case c : {Case{1, 0, 1, 54}, Case{2, 1, 1, 54}, Case{3, 1, 2, 54},
                         Case{19, 9, 10, 54}, Case{20, 10, 10, 54}, Case{75, 10, 10, 54}}) {
        SCOPED_TRACE(c.games);
        History history;
        for (int i = 0; i < c.games; ++i) {
            history.games.push_back(*parse_history_line(k_four_games[3]));
        }
        const HistorySummary summary = summarize_history(history);
        EXPECT_EQ(summary.first_games, c.first);
        EXPECT_EQ(summary.last_games, c.last);
        EXPECT_EQ(summary.recent_totals.size(), std::min<std::size_t>(c.games, 60));
        EXPECT_EQ(summary.first_recent_game, std::max(1, c.games - 59));
        EXPECT_DOUBLE_EQ(summary.median_total, c.median);
    }
    EXPECT_DOUBLE_EQ(median({3, 1, 2}), 2.0);
    EXPECT_DOUBLE_EQ(median({4, 1, 2, 3}), 2.5);
}

TEST(TerminalChartTest, EachTotalGetsItsColumnOfDots) {
    EXPECT_EQ(bar_heights({0, 5, 225, 404, 450, 500}, 450, 32),
              (std::vector<int>{0, 1, 16, 29, 32, 32}));

    struct Case {
        ChartGlyphs glyphs;
        std::vector<std::string> rows;
    };
    // Bars 4, 8, 0 and 5 dots high over two rows, the line at the 6th dot.
    for (const Case& c : {Case{ChartGlyphs::braille, {"⠤⣿⠤⣤", "⣿⣿ ⣿"}},
                          Case{ChartGlyphs::ascii, {"-#--", "## #"}}}) {
        std::vector<std::string> rows;
        std::vector<std::vector<Ink>> inks;
        for (const ChartRow& row : vertical_bars({4, 8, 0, 5}, 2, 6, c.glyphs)) {
            rows.emplace_back();
            inks.emplace_back();
            for (const ChartCell& cell : row) {
                rows.back() += cell.glyph;
                inks.back().push_back(cell.ink);
            }
        }
        EXPECT_EQ(rows, c.rows);
        EXPECT_EQ(inks[0][0], Ink::line);
        EXPECT_EQ(inks[0][1], Ink::bar);
        EXPECT_EQ(inks[1][2], Ink::none);
    }

    std::string bar;
    for (const ChartCell& cell : horizontal_bar(5, 4, ChartGlyphs::braille)) {
        bar += cell.glyph;
    }
    EXPECT_EQ(bar, "⣿⣿⡇ ");
}

TEST(ReportTextTest, TheTotalsChartShowsTheBestLineAtItsHeight) {
    History history = parse_history(history_text(k_four_games));
    const std::vector<std::string> lines =
        lines_of(history_report(summarize_history(history), ChartGlyphs::braille, false));
    const auto heading = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
        return line.starts_with("合計得点");
    });
    ASSERT_NE(heading, lines.end());
    // A scale of 0 to 60 over 32 dots: 0, 12, 32 and 54 are 0, 6, 17 and 29 dots high, and
    // the best line runs at the 29th dot, in the top row, which the best total labels.
    const std::vector<std::string> chart(heading + 1, heading + 10);
    EXPECT_EQ(chart, (std::vector<std::string>{
                         "   54 |⣀⣀⣀⣀",
                         "      |   ⣿",
                         "      |   ⣿",
                         "      |  ⣀⣿",
                         "      |  ⣿⣿",
                         "      |  ⣿⣿",
                         "      | ⣤⣿⣿",
                         "      | ⣿⣿⣿",
                         "    0 +----",
                     }));
}

TEST(ReportTextTest, TheScaleEndsAtARoundNumberAboveTheBest) {
    struct Case {
        int best;
        int top;
    };
    for (const Case c :
         {Case{0, 10}, Case{12, 20}, Case{39, 40}, Case{40, 50}, Case{54, 60}, Case{399, 400},
          Case{404, 500}, Case{1854, 2000}, Case{99'999'999, 100'000'000}}) {
        SCOPED_TRACE(c.best);
        EXPECT_EQ(totals_scale_top(c.best), c.top);
    }
}

TEST(ReportTextTest, EveryLineFitsEightyColumnsOnAnyTerminal) {
    std::vector<std::string> many;
    for (int i = 0; i < 130; ++i) {
        many.push_back(cleared_game(i * 150, 100 + 977 * i));
    }
    many.push_back(cleared_game(19'999'929, 99'999'999));
    for (const auto& games : {std::vector<std::string>{k_four_games[0]}, k_four_games, many}) {
        const HistorySummary summary = summarize_history(parse_history(history_text(games)));
        ASSERT_EQ(summary.games, static_cast<int>(games.size()));
        for (const ChartGlyphs glyphs : {ChartGlyphs::braille, ChartGlyphs::ascii}) {
            for (const bool colour : {false, true}) {
                const std::string report = history_report(summary, glyphs, colour);
                for (const std::string& line : lines_of(report)) {
                    EXPECT_LE(report_columns(line), 80) << line;
                    std::size_t pos = 0;
                    while (pos < line.size()) {
                        // Terminals disagree on the width of ambiguous characters.
                        EXPECT_FALSE(is_ambiguous_width(next_code_point(line, pos))) << line;
                    }
                }
            }
        }
    }
}

TEST(ReportTextTest, ColourAddsOnlyEscapeSequencesAndPlainOutputHasNone) {
    const History history = parse_history(history_text(k_four_games));
    const HistorySummary summary = summarize_history(history);
    const std::string plain = stats_output(history, ReportOptions{false, false, false});
    const std::string coloured = stats_output(history, ReportOptions{false, true, false});
    EXPECT_EQ(plain.find('\x1b'), std::string::npos);
    EXPECT_NE(coloured.find("\x1b[93m54点\x1b[0m"), std::string::npos);
    EXPECT_EQ(without_escapes(coloured), plain);
    EXPECT_EQ(stats_output(history, ReportOptions{true, true, false}).find('\x1b'),
              std::string::npos);
}

TEST(ReportTextTest, AShiftJisTerminalGetsCodePage932AndAsciiCharts) {
    const History history = parse_history(history_text(k_four_games));
    const std::string bytes = stats_output(history, ReportOptions{false, false, true});
    std::string expected;
    ASSERT_TRUE(utf8_to_cp932(history_report(summarize_history(history), ChartGlyphs::ascii, false),
                              expected));
    EXPECT_EQ(bytes, expected);
    EXPECT_NE(bytes.find("\x83\x51\x81\x5b\x83\x80\x90\x94 4"), std::string::npos)  // ゲーム数 4
        << "the labels are code page 932";
}

TEST(ReportTextTest, WithoutAGameTheReportIsOneLine) {
    struct Case {
        std::string text;
        std::string line;
    };
    for (const Case& c : {Case{"", "まだ記録がありません。ノーマルモードを遊ぶと記録されます。\n"},
                          Case{std::string(k_history_header),
                               "まだ記録がありません。ノーマルモードを遊ぶと記録されます。\n"},
                          Case{"junk\nmore junk\n", "読める記録がありません (読めない行 2)\n"}}) {
        const History history = parse_history(c.text);
        EXPECT_EQ(stats_output(history, ReportOptions{false, true, false}), c.line);
        EXPECT_EQ(stats_output(history, ReportOptions{true, false, false}),
                  "name\tvalue\ngames\t0\nskipped_lines\t" + std::to_string(history.skipped_lines) +
                      "\n");
    }
}

// A line of the four games played on another day.
std::string on_day(std::string line, std::string_view day) {
    return line.replace(0, day.size(), day);
}

// Histories as a spreadsheet saves them, as two machines' files put together, and as a long
// training leaves them: the report and its numbers say the same, whatever the file looks like.
TEST(ReportTextTest, TheReportReadsEveryHistoryAsItWasPlayed) {
    struct Case {
        const char* what;
        std::string text;
        std::vector<std::string> in_report;
        std::vector<std::string> in_tsv;
    };
    std::vector<std::string> long_training(333, k_four_games[3]);
    long_training.push_back(k_four_games[1]);
    const std::vector<Case> cases{
        {"a byte order mark before the header",
         "\xEF\xBB\xBF" + history_text(k_four_games),
         {"  2025-01-01 - 2025-01-04\n", "ゲーム数 4 "},
         {"games\t4\n", "skipped_lines\t0\n"}},
        {"days out of order",
         history_text({on_day(k_four_games[1], "2026-02-15"), on_day(k_four_games[2], "2026-03-01"),
                       on_day(k_four_games[3], "2026-01-02")}),
         {"  2026-01-02 - 2026-03-01\n"},
         {"first_date\t2026-01-02\n", "last_date\t2026-03-01\n"}},
        {"one miss in 2002 answers, none in 1998",
         history_text(long_training),
         {"99%  2001/2002", "100%  1998/1998", "50%  333/666"},
         {"level1_accuracy_percent\t99.9\n", "level2_accuracy_percent\t100.0\n",
          "level3_accuracy_percent\t50.0\n"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const History history = parse_history(c.text);
        const std::string report = stats_output(history, ReportOptions{false, false, false});
        for (const std::string& shown : c.in_report) {
            EXPECT_NE(report.find(shown), std::string::npos) << shown << "\n" << report;
        }
        EXPECT_EQ(report.find("読めない行"), std::string::npos) << report;
        const std::string tsv = stats_output(history, ReportOptions{true, false, false});
        for (const std::string& value : c.in_tsv) {
            EXPECT_NE(tsv.find(value), std::string::npos) << value << "\n" << tsv;
        }
    }
}

TEST(ReportTextTest, TheTsvIsTwoColumnsUnderAHeader) {
    const std::string tsv =
        history_tsv(summarize_history(parse_history(history_text(k_four_games))));
    const std::vector<std::string> lines = lines_of(tsv);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "name\tvalue");
    for (const std::string& line : lines) {
        EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 1) << line;
    }
}

TEST_F(HistoryReportTest, StatsReadsTheHistoryOrSaysWhyNot) {
    struct Case {
        const char* what;
        std::function<void()> prepare;
        int status;
        std::string out_starts;
        std::string err;
    };
    const std::vector<Case> cases{
        {"no history yet", [] {}, 0, "まだ記録がありません", ""},
        {"a history", [] { std::ofstream("history.tsv") << history_text(k_four_games); }, 0,
         "KALEIDRON 訓練の記録", ""},
        {"a folder in its place", [] { fs::create_directory("history.tsv"); }, 1, "",
         "kaleidron: cannot read the history history.tsv\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all("history.tsv");
        c.prepare();
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(answer_stats("history.tsv", ReportOptions{}, out, err), c.status);
        EXPECT_TRUE(out.str().starts_with(c.out_starts)) << out.str();
        EXPECT_EQ(out.str().empty(), c.out_starts.empty());
        EXPECT_EQ(err.str(), c.err);
    }
}

}  // namespace
}  // namespace kal::test
