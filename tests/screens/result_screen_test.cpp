#include "screens/result_screen.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "console/text.hpp"
#include "game_fixture.hpp"
#include "play/play_state.hpp"
#include "rank_files.hpp"
#include "screen_reading.hpp"
#include "screens/ranking_board.hpp"
#include "screens/ranking_file.hpp"
#include "shell/music.hpp"
#include "sound_files.hpp"

namespace kal {
namespace {

using test::Bytes;
using test::columns_of;
using test::rank_record;
using test::read_bytes;
using test::read_digit;
using test::read_grade;
using test::write_silent_wav;

using Counts = std::array<int, 6>;

// When things happen, counted from the moment the screen starts: the layout stands after 2.1 s,
// the seven tally steps take a second each, then the roulette spins in 10 ms cycles.
constexpr std::uint64_t k_first_cue_ms = 2100;
constexpr std::uint64_t k_roulette_ms = 9100;
constexpr std::uint64_t k_space_in_roulette_ms = 9500;
constexpr std::uint64_t k_space_after_result_ms = 12000;
// Well after the name prompt stands.
constexpr std::uint64_t k_typing_ms = 20000;
constexpr std::uint64_t k_keystroke_ms = 30;

constexpr std::string_view k_name_prompt = "名前をエントリーして下さい(半角14文字以内):";

constexpr Counts k_all_correct{6, 6, 6, 6, 6, 10};
constexpr Counts k_none_correct{0, 0, 0, 0, 0, 0};

class ResultScreenTest : public test::GameTest {
protected:
    void SetUp() override {
        GameTest::SetUp();
        for (const char* name :
             {"kekka.wav", "rureto.wav", "kuria.wav", "result.wav", "title.wav", "kettei.wav"}) {
            write_silent_wav(name, 100);
        }
        reset_play_state();
        reset_ranking();
        load_ranking();
        after_game = 0;
        start_ = now();
    }

    void set_game(int score, const Counts& counts, int seconds) {
        play.score = score;
        for (std::size_t level = 1; level <= counts.size(); ++level) {
            play.correct_by_level[level] = counts[level - 1];
        }
        play.whole_seconds_left = seconds;
    }

    // Runs the screen with SPACE pressed during the roulette and, for a game that does not rank
    // in, again once the result stands; each line is typed at the name prompt.
    Screen run(const std::vector<std::string>& lines = {}) {
        tap(k_key_space, start_ + k_space_in_roulette_ms);
        tap(k_key_space, start_ + k_space_after_result_ms);
        for (const std::string& line : lines) {
            sim.add_line(line);
        }
        return result_screen();
    }

    // Sends the bytes one by one, as typed, from start_ + k_typing_ms on; a string in the list
    // is one piece, pasted or a key's sequence. Returns when the last piece arrives.
    std::uint64_t type(const std::vector<std::string>& pieces) {
        std::uint64_t at = start_ + k_typing_ms;
        for (const std::string& piece : pieces) {
            sim.send(piece, at);
            at += k_keystroke_ms;
        }
        return at - k_keystroke_ms;
    }

    [[nodiscard]] std::array<int, 3> total_glyphs() const {
        return {read_digit(sim, 41, 19), read_digit(sim, 47, 19), read_digit(sim, 53, 19)};
    }

    // The grade letter in the block at columns 66 to 75, rows 9 to 13.
    [[nodiscard]] char grade_shown() const { return read_grade(sim, 66, 11); }

    [[nodiscard]] std::uint64_t since_start(std::uint64_t at) const { return at - start_; }

    std::uint64_t start_ = 0;
};

TEST_F(ResultScreenTest, AllCorrectGameWithTenSecondsLeftScoresFourHundredFourGradedS) {
    set_game(354, k_all_correct, 10);
    EXPECT_EQ(run({"NAME"}), Screen::ranking_board);
    EXPECT_EQ(total_glyphs(), (std::array<int, 3>{4, 0, 4}));
    EXPECT_EQ(grade_shown(), 'S');
    EXPECT_EQ(sim.cell(68, 9).fg, 6);
    EXPECT_EQ(sim.text(68, 14, 6), "神の眼");
    EXPECT_EQ(sim.cell(68, 14).fg, 6);
    EXPECT_EQ(sim.cell(68, 14).bg, 15);
    EXPECT_EQ(rank_table[0].score, 404);
}

TEST_F(ResultScreenTest, TimeOverWithSixteenPointsIsGradedG) {
    set_game(16, {4, 0, 0, 0, 0, 0}, 0);
    EXPECT_EQ(run(), Screen::ranking_board);
    EXPECT_EQ(total_glyphs(), (std::array<int, 3>{0, 1, 6}));
    EXPECT_EQ(grade_shown(), 'G');
    EXPECT_EQ(sim.text(64, 14, 14), "最悪かも･･････");
    EXPECT_EQ(sim.cell(64, 14).fg, 0);
    EXPECT_EQ(sim.cell(64, 14).bg, 15);
}

TEST_F(ResultScreenTest, TotalOfEightyFiveIsDrawnAsZeroEightFive) {
    set_game(85, {6, 6, 3, 1, 0, 0}, 0);
    run({"NAME"});
    EXPECT_EQ(total_glyphs(), (std::array<int, 3>{0, 8, 5}));
}

TEST_F(ResultScreenTest, LayoutLabelsEveryLevelWithItsPointsPerAnswer) {
    set_game(10, k_none_correct, 0);
    run();
    EXPECT_EQ(sim.text(68, 3, 6), "RESULT");
    EXPECT_EQ(sim.cell(68, 3).fg, 9);
    EXPECT_EQ(sim.text(2, 5, 14), "レベル1 正解数");
    EXPECT_EQ(sim.text(32, 15, 14), "レベル6 正解数");
    EXPECT_EQ(sim.text(23, 14, 6), "× 9点");
    EXPECT_EQ(sim.text(54, 9, 6), "× 6点");
    EXPECT_EQ(sim.text(54, 14, 7), "× 18点");
    EXPECT_EQ(sim.text(2, 20, 8), "残り時間");
    EXPECT_EQ(sim.text(32, 20, 8), "合計得点");
    EXPECT_EQ(sim.text(2, 21, 28), "――――――――――――――");
}

TEST_F(ResultScreenTest, TallyShowsEachLevelCountAtItsPlace) {
    set_game(100, {1, 2, 3, 4, 5, 9}, 7);
    run({"NAME"});
    EXPECT_EQ(read_digit(sim, 17, 4), 1);
    EXPECT_EQ(read_digit(sim, 48, 4), 2);
    EXPECT_EQ(read_digit(sim, 17, 9), 3);
    EXPECT_EQ(read_digit(sim, 48, 9), 4);
    EXPECT_EQ(read_digit(sim, 17, 14), 5);
    EXPECT_EQ(read_digit(sim, 48, 14), 9);
    EXPECT_EQ(sim.cell(17, 4).fg, 9);
}

TEST_F(ResultScreenTest, LevelSixCountOfTenShowsAsPlainText) {
    set_game(180, {0, 0, 0, 0, 0, 10}, 0);
    run({"NAME"});
    EXPECT_EQ(sim.text(52, 14, 2), "10");
    EXPECT_EQ(read_digit(sim, 48, 14), -1);
}

TEST_F(ResultScreenTest, SecondsLeftTakeATensGlyphFromTenOn) {
    struct Case {
        int seconds;
        int tens;  // -1: no glyph
        int units;
    };
    for (const Case c : {Case{9, -1, 9}, Case{10, 1, 0}, Case{99, 9, 9}}) {
        SCOPED_TRACE(c.seconds);
        TearDown();
        SetUp();
        set_game(0, k_none_correct, c.seconds);
        run({"NAME"});
        EXPECT_EQ(read_digit(sim, 10, 19), c.tens);
        EXPECT_EQ(read_digit(sim, 16, 19), c.units);
    }
}

TEST_F(ResultScreenTest, SecondsLeftOfAHundredOrMoreShowAsNinetyNineButAllCount) {
    set_game(0, k_none_correct, 120);
    run({"NAME"});
    EXPECT_EQ(read_digit(sim, 10, 19), 9);
    EXPECT_EQ(read_digit(sim, 16, 19), 9);
    EXPECT_EQ(total_glyphs(), (std::array<int, 3>{6, 0, 0}));
}

TEST_F(ResultScreenTest, TotalOfAThousandOrMoreShowsAsNineNineNineButRanksWithItsValue) {
    set_game(900, k_all_correct, 30);
    run({"NAME"});
    EXPECT_EQ(total_glyphs(), (std::array<int, 3>{9, 9, 9}));
    EXPECT_EQ(grade_shown(), 'S');
    EXPECT_EQ(rank_table[0].score, 1050);
}

TEST_F(ResultScreenTest, TotalReachingTheFifthPlaceRanksInInRedAndOneBelowDoesNot) {
    struct Case {
        int total;
        int colour;
        std::string_view message;
        int place_glyph;
    };
    for (const Case c :
         {Case{30, 12, "位にランクイン!", 5}, Case{29, 0, "残念!ランクイン出来ませんでした", -1}}) {
        SCOPED_TRACE(c.total);
        TearDown();
        SetUp();
        set_game(c.total, k_none_correct, 0);
        run({"NAME"});
        for (const int x : {41, 47, 53}) {
            EXPECT_EQ(sim.cell(x, 19).fg, c.colour) << "column " << x;
        }
        EXPECT_EQ(read_digit(sim, 4, 23), c.place_glyph);
        EXPECT_TRUE(sim.shows(c.message));
    }
}

TEST_F(ResultScreenTest, PromptShowsTheScoreOfTheFifthPlace) {
    set_game(10, k_none_correct, 0);
    run();
    EXPECT_EQ(sim.text(64, 18, 15), "現在の5位の得点");
    EXPECT_EQ(sim.text(75, 20, 4), "30点");
    EXPECT_EQ(sim.cell(75, 20).fg, 6);
    EXPECT_FALSE(sim.shows("Press SPACE KEY"));
}

TEST_F(ResultScreenTest, NinetyRanksInAtThirdPlaceAboveTheOldNinetyInRankDat) {
    const RankTable before = rank_table;
    set_game(90, {6, 6, 1, 0, 0, 0}, 0);
    EXPECT_EQ(run({"NAME"}), Screen::ranking_board);
    EXPECT_EQ(read_digit(sim, 4, 23), 3);
    EXPECT_EQ(sim.text(10, 23, 15), "位にランクイン!");

    RankEntry new_entry = before[4];
    new_entry.score = 90;
    const std::string_view name{"NAME\0", 5};
    std::copy(name.begin(), name.end(), new_entry.name.begin());
    Bytes expected;
    for (const RankEntry& entry : {before[0], before[1], new_entry, before[2], before[3]}) {
        const Bytes bytes = rank_record(static_cast<std::uint32_t>(entry.score),
                                        std::string_view(entry.name.data(), entry.name.size()));
        expected.insert(expected.end(), bytes.begin(), bytes.end());
    }
    expected.resize(k_rank_file_bytes, 0);
    EXPECT_EQ(read_bytes("Rank.dat"), expected);
}

TEST_F(ResultScreenTest, RankInFanfareSoundsAgainOneSecondLater) {
    set_game(90, {6, 6, 1, 0, 0, 0}, 0);
    run({"NAME"});
    const std::vector<std::uint64_t> fanfares = sim.sim_audio().starts_of("kuria.wav");
    ASSERT_EQ(fanfares.size(), 2U);
    EXPECT_EQ(fanfares[1] - fanfares[0], 1000U);
}

TEST_F(ResultScreenTest, NameEntryAsksAgainUntilTheWordFitsFourteenBytes) {
    struct Case {
        std::vector<std::string> lines;
        std::string kept;  // code page 932 bytes
    };
    const std::array<Case, 4> cases{{
        {{"ABCDEFGHIJKLMNO", "ABCDEFGHIJKLMN"}, "ABCDEFGHIJKLMN"},
        {{"あいうえおかきく", "あいうえおかき"},
         "\x82\xa0\x82\xa2\x82\xa4\x82\xa6\x82\xa8\x82\xa9\x82\xab"},
        {{"NAME😀", "NAME"}, "NAME"},
        {{"ABCDEFGHIJKLMNOP SECOND"}, "SECOND"},
    }};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lines.front());
        TearDown();
        SetUp();
        set_game(354, k_all_correct, 10);
        EXPECT_EQ(run(c.lines), Screen::ranking_board);
        EXPECT_EQ(std::string(rank_table[0].name.data()), c.kept);
    }
}

TEST_F(ResultScreenTest, KeysPressedDuringTheRouletteDoNotReachTheName) {
    set_game(354, k_all_correct, 10);
    sim.send("xyz", start_ + k_roulette_ms + 50);
    tap(k_key_left, start_ + k_roulette_ms + 100);
    run({"NAME"});
    EXPECT_EQ(std::string(rank_table[0].name.data()), "NAME");
}

TEST_F(ResultScreenTest, EndOfInputDuringNameEntryQuitsWithTheRankingSaved) {
    set_game(90, {6, 6, 1, 0, 0, 0}, 0);
    EXPECT_EQ(run(), Screen::quit);
    const Bytes file = read_bytes("Rank.dat");
    ASSERT_EQ(file.size(), k_rank_file_bytes);
    const std::size_t third = 2 * k_rank_record_bytes;
    EXPECT_EQ(file[third], 90);
    EXPECT_EQ(file[third + 4], 0);  // the name is empty
    EXPECT_FALSE(console.cursor_info().visible);
}

TEST_F(ResultScreenTest, TallyCuesSoundOneSecondApart) {
    set_game(10, k_none_correct, 0);
    run();
    const std::vector<std::uint64_t> cues = sim.sim_audio().starts_of("kekka.wav");
    ASSERT_EQ(cues.size(), 7U);
    for (std::size_t i = 0; i < cues.size(); ++i) {
        EXPECT_EQ(since_start(cues[i]), k_first_cue_ms + 1000 * i) << "cue " << i;
    }
}

TEST_F(ResultScreenTest, RouletteTicksEveryTenMillisecondsUntilSpace) {
    set_game(10, k_none_correct, 0);
    run();
    const std::vector<std::uint64_t> ticks = sim.sim_audio().starts_of("rureto.wav");
    ASSERT_FALSE(ticks.empty());
    EXPECT_EQ(since_start(ticks.front()), k_roulette_ms);
    EXPECT_EQ(since_start(ticks.back()), k_space_in_roulette_ms - 10);
    EXPECT_EQ(ticks.size(), (k_space_in_roulette_ms - k_roulette_ms) / 10);
}

TEST_F(ResultScreenTest, GameWithoutRankInWaitsForSpaceBeforeTheBoard) {
    set_game(10, k_none_correct, 0);
    EXPECT_EQ(run(), Screen::ranking_board);
    EXPECT_GE(now(), start_ + k_space_after_result_ms);
    EXPECT_EQ(sim.sim_audio().starts_of("kettei.wav").size(), 1U);
}

TEST_F(ResultScreenTest, EndingMarksTheGameAndSwitchesToTheTitleMusic) {
    set_game(354, k_all_correct, 10);
    run({"NAME"});
    EXPECT_EQ(after_game, 1);
    EXPECT_NE(current_music, 0U);
    EXPECT_EQ(sim.sim_audio().live.count(current_music), 1U);
    EXPECT_EQ(sim.sim_audio().live.at(current_music), "title.wav");
    EXPECT_EQ(sim.sim_audio().starts_of("result.wav").size(), 1U);
}

// Keystrokes one by one, each character a piece of its own.
std::vector<std::string> keystrokes(std::string_view text) {
    std::vector<std::string> pieces;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t start = pos;
        next_code_point(text, pos);
        pieces.emplace_back(text.substr(start, pos - start));
    }
    return pieces;
}

TEST_F(ResultScreenTest, WhateverIsTypedStaysInTheNameFieldAndTheScreenNeverScrolls) {
    if (on_system_console()) {
        GTEST_SKIP() << "a terminal's key sequences; the console gives keys, not bytes";
    }
    struct Case {
        const char* what;
        std::vector<std::string> typed;  // then Enter
        std::string shown;               // in the field before that Enter
        std::string then;                // the line typed next, when the first is refused
        std::string kept;                // code page 932 bytes
    };
    const Case cases[] = {
        {"a word too long for the field", keystrokes(std::string(36, 'W')), std::string(22, 'W'),
         "NAME", "NAME"},
        {"wide characters", keystrokes("あいうえおかきくけこさしすせそ"), "おかきくけこさしすせそ",
         "あい", "\x82\xa0\x82\xa2"},
        {"pasted words",
         {"ONE TWO THREE FOUR FIVE SIX SEVEN"},
         "EE FOUR FIVE SIX SEVEN",
         "",
         "ONE"},
        {"control keys and Backspace",
         {"\x1b[A", "\x1b[15~", "\x01", "\t", "A", "B", "\x7f", "\x1b[D", "C", "\x07"},
         " AC",
         "",
         "AC"},
        {"a lone Escape", {"A", "B", "\x1b"}, "AB", "", "AB"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TearDown();
        SetUp();
        set_game(354, k_all_correct, 10);
        const std::uint64_t last = type(c.typed);
        sim.send("\r", last + 1000);
        if (!c.then.empty()) {
            sim.send(c.then + "\r", last + 2000);
        }
        std::string field_before_enter;
        std::vector<std::string> problems;
        sim.on_wait([&](test::SimPlatform& s) {
            if (s.now_ms() < start_ + k_roulette_ms) {
                return;
            }
            if (s.row(25) != std::string(80, ' ')) {
                problems.push_back("row 25: " + s.row(25));
            }
            if (!s.shows_at(68, 3, "RESULT")) {
                problems.push_back("RESULT moved");
            }
            if (s.now_ms() >= last && s.now_ms() < last + 1000) {
                field_before_enter = s.text(58, 24, 23);
                if (!s.shows_at(15, 24, k_name_prompt)) {
                    problems.push_back("the prompt is gone");
                }
            }
        });
        EXPECT_EQ(run(), Screen::ranking_board);
        EXPECT_EQ(problems, std::vector<std::string>{});
        EXPECT_EQ(field_before_enter, c.shown + std::string(23 - columns_of(c.shown), ' '));
        EXPECT_EQ(std::string(rank_table[0].name.data()), c.kept);
    }
}

TEST_F(ResultScreenTest, ThePromptAndTheFieldComeBackWhenTheScreenIsRepaintedDuringTheEntry) {
    if (on_system_console()) {
        GTEST_SKIP()
            << "a terminal drawn over while the game was stopped; the console is the game's own";
    }
    set_game(354, k_all_correct, 10);
    const std::uint64_t last = type(keystrokes("NAM"));
    sim.send("E\r", last + 3000);
    std::string after_repaint;
    bool wiped = false;
    sim.on_wait([&](test::SimPlatform& s) {
        if (!wiped && s.now_ms() > last) {
            // Stopped with Ctrl-Z, the screen was drawn over meanwhile; the game resumes.
            s.write_output("\x1b[0m\x1b[2J");
            s.resize(80, 25);
            wiped = true;
        } else if (wiped && after_repaint.empty() && s.now_ms() > last + 1500) {
            after_repaint = s.text(15, 24, 66);
        }
    });
    EXPECT_EQ(run(), Screen::ranking_board);
    EXPECT_EQ(after_repaint, std::string(k_name_prompt) + "NAM" + std::string(20, ' '));
    EXPECT_EQ(std::string(rank_table[0].name.data()), "NAME");
}

TEST_F(ResultScreenTest, ANameIsTypedInTheLocalesOwnEncoding) {
    if (on_system_console()) {
        GTEST_SKIP() << "the locale's encoding of a terminal; the console gives characters";
    }
    struct Case {
        const char* what;
        bool shift_jis;
        std::vector<std::string> lines;
        std::string kept;  // code page 932 bytes
    };
    const Case cases[] = {
        {"Shift-JIS", true, {"\x82\xa0\x82\xa2\x82\xa4"}, "\x82\xa0\x82\xa2\x82\xa4"},
        {"Shift-JIS half-width katakana", true, {"\xb1\xb2\xb3"}, "\xb1\xb2\xb3"},
        {"Shift-JIS, 16 bytes then 14",
         true,
         {std::string("\x82\xa0", 2) + std::string(14, 'A'), std::string(14, 'B')},
         std::string(14, 'B')},
        {"Shift-JIS, a byte that is no character", true, {"A\x85\x40", "OK"}, "OK"},
        {"UTF-8", false, {"あいう"}, "\x82\xa0\x82\xa2\x82\xa4"},
        {"UTF-8, code page 932 bytes are no UTF-8", false, {"\x82\xa0", "OK"}, "OK"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TearDown();
        SetUp();
        console.set_traits({AmbiguousWidth::narrow, true, c.shift_jis});
        set_game(354, k_all_correct, 10);
        EXPECT_EQ(run(c.lines), Screen::ranking_board);
        EXPECT_EQ(std::string(rank_table[0].name.data()), c.kept);
    }
}

}  // namespace
}  // namespace kal
