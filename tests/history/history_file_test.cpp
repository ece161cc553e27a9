#include "history/history_file.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "child_process.hpp"
#include "game_fixture.hpp"
#include "platform/line_file.hpp"
#include "text_files.hpp"

namespace kal::test {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view k_date = "2025-03-14T21:05:09+09:00";

// Forty reaction times, a second each.
std::string forty_reactions() {
    std::string list = "1000";
    for (int i = 1; i < 40; ++i) {
        list += ",1000";
    }
    return list;
}

TEST(HistoryLineTest, OnlyLinesThatReadAsAGameAreTaken) {
    const std::string clear = forty_reactions();
    struct Case {
        const char* what;
        std::string line;
        bool taken;
    };
    const std::vector<Case> cases{
        {"a perfect game", std::string(k_date) + "\t404\tS\t6\t6\t6\t6\t6\t10\t10\t1\t" + clear,
         true},
        {"no answer", std::string(k_date) + "\t0\tG\t0\t0\t0\t0\t0\t0\t0\t0\t", true},
        {"two right of three", std::string(k_date) + "\t23\tF\t2\t0\t0\t0\t0\t0\t3\t0\t400,90,8000",
         true},
        {"a date alone", "2025-03-14\t0\tG\t0\t0\t0\t0\t0\t0\t0\t0\t", true},
        {"too many fields", std::string(k_date) + "\t0\tG\t0\t0\t0\t0\t0\t0\t0\t0\t\textra", false},
        {"a field missing", std::string(k_date) + "\t0\tG\t0\t0\t0\t0\t0\t0\t0\t", false},
        {"spaces for tabs", std::string(k_date) + " 0 G 0 0 0 0 0 0 0 0 ", false},
        {"a total that does not add up", std::string(k_date) + "\t30\tF\t0\t0\t0\t0\t0\t0\t0\t0\t",
         false},
        {"a grade that does not fit the total",
         std::string(k_date) + "\t0\tS\t0\t0\t0\t0\t0\t0\t0\t0\t", false},
        {"more right than answered", std::string(k_date) + "\t8\tG\t2\t0\t0\t0\t0\t0\t0\t0\t100",
         false},
        {"more right than the level has",
         std::string(k_date) + "\t28\tF\t7\t0\t0\t0\t0\t0\t0\t0\t" + clear, false},
        {"cleared without forty answers",
         std::string(k_date) + "\t4\tG\t1\t0\t0\t0\t0\t0\t0\t1\t100", false},
        {"forty-one answers",
         std::string(k_date) + "\t0\tG\t0\t0\t0\t0\t0\t0\t0\t0\t" + clear + ",1000", false},
        {"a negative number", std::string(k_date) + "\t-5\tG\t0\t0\t0\t0\t0\t-1\t0\t0\t", false},
        {"a number too long", std::string(k_date) + "\t0\tG\t0\t0\t0\t0\t0\t0\t0\t0\t123456789",
         false},
        {"an empty reaction", std::string(k_date) + "\t4\tG\t1\t0\t0\t0\t0\t0\t0\t0\t100,,200",
         false},
        {"all_clear neither 0 nor 1", std::string(k_date) + "\t0\tG\t0\t0\t0\t0\t0\t0\t0\tyes\t",
         false},
        {"no date", "\t0\tG\t0\t0\t0\t0\t0\t0\t0\t0\t", false},
        {"an escape sequence in the date", "2025-03-14\x1b[2J\t0\tG\t0\t0\t0\t0\t0\t0\t0\t0\t",
         false},
        {"binary junk",
         std::string("\x7f"
                     "ELF\x02\x01\x01\0\0\t\t\t\t\t\t\t\t\t\t\t",
                     21),
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(parse_history_line(c.line).has_value(), c.taken);
    }
}

TEST(HistoryLineTest, AGameReadsBackAsItWasWritten) {
    GameRecord game;
    game.date = k_date;
    game.correct_by_level = {6, 5, 1, 0, 0, 0};
    game.seconds_left = 0;
    game.total = 6 * 4 + 5 * 4 + 6;
    game.grade = 'E';
    game.reaction_ms = {312, 4500, 999, 1200, 2300, 2301, 3999, 4000, 17, 250, 640, 700, 800, 1};
    const std::string line = history_line(game);
    EXPECT_EQ(line.back(), '\n');
    EXPECT_EQ(parse_history_line(std::string_view(line).substr(0, line.size() - 1)), game);
}

TEST(HistoryFileTest, BadLinesAreSkippedAndCountedBlankAndHeaderLinesAreNot) {
    const std::string good = std::string(k_date) + "\t0\tG\t0\t0\t0\t0\t0\t0\t0\t0\t";
    struct Case {
        const char* what;
        std::string text;
        std::size_t games;
        int skipped;
    };
    const std::vector<Case> cases{
        {"an empty file", "", 0, 0},
        {"a header alone", std::string(k_history_header), 0, 0},
        {"two games", std::string(k_history_header) + good + "\n" + good + "\n", 2, 0},
        {"a header again in the middle", good + "\n" + std::string(k_history_header) + good + "\n",
         2, 0},
        {"blank lines", "\n" + good + "\n\n", 1, 0},
        {"line ends of another system", good + "\r\n" + good + "\r\n", 2, 0},
        {"a last line cut short", good + "\n" + good.substr(0, 30), 1, 1},
        {"a whole last line without its line end", good + "\n" + good, 1, 1},
        {"a line cut short, then a game", good.substr(0, 30) + "\n" + good + "\n", 1, 1},
        {"junk lines", std::string("\x01\x02\x03\n\xff\xfe\n", 7) + good + "\n", 1, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const History history = parse_history(c.text);
        EXPECT_EQ(history.games.size(), c.games);
        EXPECT_EQ(history.skipped_lines, c.skipped);
    }
}

TEST(HistoryFileTest, TheDateIsLocalTimeWithItsOffsetFromUtc) {
    const char* old = std::getenv("TZ");
    const std::optional<std::string> saved =
        old != nullptr ? std::optional<std::string>(old) : std::nullopt;
    struct Case {
        const char* zone;
        const char* date;
    };
    // 2025-03-14 12:05:09 UTC.
    constexpr std::time_t k_moment = 1741953909;
    for (const Case c :
         {Case{"UTC0", "2025-03-14T12:05:09+00:00"}, Case{"JST-9", "2025-03-14T21:05:09+09:00"},
          Case{"NST3:30", "2025-03-14T08:35:09-03:30"},
          Case{"LINT-14", "2025-03-15T02:05:09+14:00"}}) {
        SCOPED_TRACE(c.zone);
        ::setenv("TZ", c.zone, 1);
        ::tzset();
        EXPECT_EQ(local_date_time(k_moment), c.date);
    }
    if (saved) {
        ::setenv("TZ", saved->c_str(), 1);
    } else {
        ::unsetenv("TZ");
    }
    ::tzset();
}

TEST(HistoryFileTest, TheHistoryLivesBesideTheRankingFile) {
    EXPECT_EQ(history_path_beside("Rank.dat"), "history.tsv");
    EXPECT_EQ(history_path_beside("kept/mine.dat"), "kept/history.tsv");
    EXPECT_EQ(history_path_beside("日本/mine.dat"), "日本/history.tsv");
    EXPECT_EQ(history_path_beside("/home/p/.local/share/kaleidron/Rank.dat"),
              "/home/p/.local/share/kaleidron/history.tsv");
}

using LineFileTest = GameTest;

TEST_F(LineFileTest, AppendingWritesTheHeaderOnceAndEachLineWhole) {
    EXPECT_TRUE(append_line("h.tsv", "head\n", "one\n"));
    EXPECT_TRUE(append_line("h.tsv", "head\n", "two\n"));
    EXPECT_EQ(read_text("h.tsv"), "head\none\ntwo\n");

    // A line left without its line end does not swallow the next one.
    write_text("cut.tsv", "head\nhalf a li");
    EXPECT_TRUE(append_line("cut.tsv", "head\n", "three\n"));
    EXPECT_EQ(read_text("cut.tsv"), "head\nhalf a li\nthree\n");

    // A file that exists but is empty gets the header too.
    write_text("empty.tsv", "");
    EXPECT_TRUE(append_line("empty.tsv", "head\n", "four\n"));
    EXPECT_EQ(read_text("empty.tsv"), "head\nfour\n");
}

TEST_F(LineFileTest, WhatCannotBeAppendedToIsLeftAlone) {
    fs::create_directory("folder");
    write_text("locked.tsv", "head\nold\n");
    ::chmod("locked.tsv", 0444);
    ::chmod(".", 0755);
    ASSERT_EQ(::mkfifo("fifo.tsv", 0600), 0);

    EXPECT_FALSE(append_line("folder", "head\n", "new\n"));
    EXPECT_FALSE(append_line("missing/h.tsv", "head\n", "new\n"));
    EXPECT_FALSE(append_line("fifo.tsv", "head\n", "new\n"));
    // As an ordinary player in a process of its own: root may write a read-only file.
    const std::vector<std::int32_t> locked = in_child([] {
        if (!become_ordinary_player()) {
            return std::vector<std::int32_t>{};
        }
        return std::vector<std::int32_t>{append_line("locked.tsv", "head\n", "new\n") ? 1 : 0};
    });
    ::chmod(".", 0700);
    EXPECT_EQ(locked, std::vector<std::int32_t>{0});
    EXPECT_EQ(read_text("locked.tsv"), "head\nold\n");
    EXPECT_TRUE(fs::is_empty("folder"));
    EXPECT_FALSE(fs::exists("missing"));
}

TEST_F(LineFileTest, ReadingTellsAMissingFileFromAnUnreadableOne) {
    fs::create_directory("folder");
    write_text("h.tsv", "head\nline\n");
    ASSERT_EQ(::mkfifo("fifo.tsv", 0600), 0);
    std::string contents = "left over";
    EXPECT_EQ(read_line_file("h.tsv", contents), LineFileRead::read);
    EXPECT_EQ(contents, "head\nline\n");
    EXPECT_EQ(read_line_file("none.tsv", contents), LineFileRead::missing);
    EXPECT_EQ(read_line_file("none/h.tsv", contents), LineFileRead::missing);
    EXPECT_EQ(read_line_file("folder", contents), LineFileRead::unreadable);
    EXPECT_EQ(read_line_file("fifo.tsv", contents), LineFileRead::unreadable);
    EXPECT_TRUE(contents.empty());
}

}  // namespace
}  // namespace kal::test
