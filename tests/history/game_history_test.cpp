// Whole games on the simulated terminal and what they leave in the history file.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../play/play_fixture.hpp"
#include "child_process.hpp"
#include "history/history_file.hpp"
#include "history/history_report.hpp"
#include "platform/line_file.hpp"
#include "play/normal_mode.hpp"
#include "screens/ranking_file.hpp"
#include "screens/result_screen.hpp"
#include "text_files.hpp"

namespace kal::test {
namespace {

namespace fs = std::filesystem;

// The fields of a line, the date cut off.
std::string after_date(const std::string& line) {
    return line.substr(line.find('\t'));
}

// A player who answers wrong at every third question, quickly enough for a bonus otherwise.
std::optional<Choice> every_third_wrong(const Turn& turn, std::size_t turn_number) {
    const int right = turn.missing_index();
    if (turn_number % 3 == 2) {
        return Choice{right == 0 ? 1 : 0, 800};
    }
    return Choice{right, 600 + 10 * static_cast<std::uint64_t>(turn_number)};
}

class GameHistoryTest : public PlayTest {
protected:
    void SetUp() override {
        PlayTest::SetUp();
        write_silent_wav("rureto.wav", 100);
        reset_ranking();
        load_ranking();
    }

    // Plays a game of normal mode to its end, then the result screen: SPACE stops the roulette
    // and, without a rank-in, goes on; a rank-in takes the name "BOT".
    Screen play_game(Policy policy) {
        PlayBot& bot = add_bot(std::move(policy));
        EXPECT_EQ(start_normal_mode(), Screen::result);
        turns = bot.turns;
        sim.clear_wait_looks();
        bool roulette_stopped = false;
        bool regret_passed = false;
        sim.on_wait([&](SimPlatform& terminal) {
            if (!roulette_stopped && terminal.text(44, 22, 15) == "Press SPACE KEY") {
                roulette_stopped = true;
                terminal.tap(k_key_space, terminal.now_ms() + 20, 30);
            }
            if (!regret_passed && terminal.text(10, 23, 4) == "残念") {
                regret_passed = true;
                terminal.tap(k_key_space, terminal.now_ms() + 300, 30);
            }
        });
        sim.add_line("BOT");
        const Screen next = result_screen();
        sim.clear_wait_looks();
        return next;
    }

    // What the player's confirmations took: from the cursor's appearance to the decide sound.
    [[nodiscard]] std::vector<int> reactions_heard() const {
        const std::vector<std::uint64_t> confirms =
            const_cast<SimPlatform&>(sim).sim_audio().starts_of("kettei.wav");
        std::vector<int> reactions;
        for (std::size_t i = 0; i < confirms.size() && i < turns.size(); ++i) {
            reactions.push_back(static_cast<int>(confirms[i] - turns[i].cursor_ms));
        }
        return reactions;
    }

    std::vector<Turn> turns;
};

TEST_F(GameHistoryTest, APerfectGameIsWrittenWithEveryReactionTimeAndThePlatformsDate) {
    constexpr std::time_t k_calendar = 981201600;  // 2001-02-03 at noon, UTC
    sim.set_calendar_time(k_calendar);
    EXPECT_EQ(play_game(answer_right), Screen::ranking_board);

    const std::vector<std::string> lines = lines_of(read_text("history.tsv"));
    ASSERT_EQ(lines.size(), 2U);
    EXPECT_EQ(lines[0] + "\n", k_history_header);
    const std::optional<GameRecord> game = parse_history_line(lines[1]);
    ASSERT_TRUE(game.has_value()) << lines[1];
    EXPECT_EQ(game->grade, 'S');
    EXPECT_EQ(game->correct_by_level, (std::array<int, 6>{6, 6, 6, 6, 6, 10}));
    EXPECT_EQ(game->seconds_left, play.whole_seconds_left);
    EXPECT_EQ(game->total, 354 + 5 * play.whole_seconds_left);
    EXPECT_TRUE(game->all_clear);
    ASSERT_EQ(game->reaction_ms.size(), 40U);
    EXPECT_EQ(game->reaction_ms, reactions_heard());
    EXPECT_EQ(game->date, local_date_time(k_calendar));
    EXPECT_EQ(game->date.substr(0, 8), "2001-02-");
}

TEST_F(GameHistoryTest, ATimeOverWithoutAnAnswerIsWrittenWithNoReactionTimes) {
    EXPECT_EQ(play_game([](const Turn&) { return std::optional<Choice>{}; }),
              Screen::ranking_board);

    const std::vector<std::string> lines = lines_of(read_text("history.tsv"));
    ASSERT_EQ(lines.size(), 2U);
    EXPECT_EQ(after_date(lines[1]), "\t0\tG\t0\t0\t0\t0\t0\t0\t0\t0\t");
    EXPECT_TRUE(parse_history_line(lines[1]).has_value());
}

TEST_F(GameHistoryTest, AGameWithWrongAnswersCountsOnlyTheRightOnesButTimesThemAll) {
    std::size_t turn_number = 0;
    play_game([&turn_number](const Turn& turn) { return every_third_wrong(turn, turn_number++); });

    const std::vector<std::string> lines = lines_of(read_text("history.tsv"));
    ASSERT_EQ(lines.size(), 2U);
    const std::optional<GameRecord> game = parse_history_line(lines[1]);
    ASSERT_TRUE(game.has_value()) << lines[1];
    std::array<int, 6> right{};
    for (std::size_t i = 0; i < turns.size(); ++i) {
        if (i % 3 != 2) {
            ++right[static_cast<std::size_t>(level_of_question(static_cast<int>(i) + 1) - 1)];
        }
    }
    EXPECT_EQ(game->correct_by_level, right);
    EXPECT_EQ(game->reaction_ms, reactions_heard());
    EXPECT_EQ(game->all_clear, turns.size() == 40U && game->seconds_left > 0);
    // The total and the grade are the ones the result screen showed.
    EXPECT_LT(game->total, 1000);
    EXPECT_EQ(game->total, read_digit(sim, 41, 19) * 100 + read_digit(sim, 47, 19) * 10 +
                               read_digit(sim, 53, 19));
    EXPECT_EQ(game->grade, read_grade(sim, 66, 11));
}

TEST_F(GameHistoryTest, TwoGamesAppendTwoLinesUnderOneHeader) {
    const Policy idle = [](const Turn&) { return std::optional<Choice>{}; };
    play_game(idle);
    play_game(answer_right);

    const History history = parse_history(read_text("history.tsv"));
    EXPECT_EQ(history.skipped_lines, 0);
    ASSERT_EQ(history.games.size(), 2U);
    EXPECT_EQ(history.games[0].total, 0);
    EXPECT_EQ(history.games[1].grade, 'S');
    EXPECT_EQ(lines_of(read_text("history.tsv")).size(), 3U);
}

TEST_F(GameHistoryTest, ADamagedHistoryNeverBreaksAGameOrTheReport) {
    const std::string game_line = "2025-01-01T10:00:00+09:00\t0\tG\t0\t0\t0\t0\t0\t0\t0\t0\t\n";
    struct Case {
        const char* what;
        std::function<void()> damage;
        bool written;       // the new game's line gets into the file
        int games_after;    // games the report counts afterwards
        int skipped_after;  // and lines it skips
    };
    const std::vector<Case> cases{
        {"binary junk",
         [] {
             write_text("history.tsv", std::string("\x7f"
                                                   "ELF\x02\0\x01\n\xff\xfe\t\x1b[2J",
                                                   15));
         },
         true, 1, 2},
        {"a half line", [&] { write_text("history.tsv", game_line.substr(0, 20)); }, true, 1, 1},
        {"a line with too many fields",
         [&] {
             write_text("history.tsv", std::string(k_history_header) +
                                           game_line.substr(0, game_line.size() - 1) + "\textra\n");
         },
         true, 1, 1},
        {"an empty file", [] { write_text("history.tsv", ""); }, true, 1, 0},
        {"a directory in its place", [] { fs::create_directory("history.tsv"); }, false, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TearDown();
        SetUp();
        c.damage();
        const std::string before =
            fs::is_regular_file("history.tsv") ? read_text("history.tsv") : "";

        EXPECT_EQ(play_game([](const Turn&) { return std::optional<Choice>{}; }),
                  Screen::ranking_board);

        std::string contents;
        const LineFileRead read = read_line_file("history.tsv", contents);
        if (fs::is_directory("history.tsv")) {
            EXPECT_EQ(read, LineFileRead::unreadable);
            EXPECT_TRUE(fs::is_empty("history.tsv"));
            continue;
        }
        ASSERT_EQ(read, LineFileRead::read);
        EXPECT_EQ(contents.size() > before.size(), c.written);
        const History history = parse_history(contents);
        EXPECT_EQ(history.games.size(), static_cast<std::size_t>(c.games_after));
        EXPECT_EQ(history.skipped_lines, c.skipped_after);
        const std::string report = stats_output(history, ReportOptions{});
        EXPECT_NE(report.find("ゲーム数 " + std::to_string(c.games_after)), std::string::npos)
            << report;
    }
}

// Run as an ordinary player in a process of its own: root may write a read-only file.
TEST_F(GameHistoryTest, AReadOnlyHistoryIsLeftAsItWasAndTheGameGoesOn) {
    const std::string on_disk = std::string(k_history_header) +
                                "2025-01-01T10:00:00+09:00\t0\tG\t0\t0\t0\t0\t0\t0\t0\t0\t\n";
    write_text("history.tsv", on_disk);
    ::chmod("history.tsv", 0444);
    ::chmod(".", 0755);
    const std::vector<std::int32_t> report = in_child([this] {
        if (!become_ordinary_player()) {
            return std::vector<std::int32_t>{};
        }
        const bool board =
            play_game([](const Turn&) { return std::optional<Choice>{}; }) == Screen::ranking_board;
        return std::vector<std::int32_t>{board ? 1 : 0};
    });
    ::chmod(".", 0700);
    EXPECT_EQ(report, std::vector<std::int32_t>{1});
    EXPECT_EQ(read_text("history.tsv"), on_disk);
    EXPECT_EQ(parse_history(read_text("history.tsv")).games.size(), 1U);
}

}  // namespace
}  // namespace kal::test
