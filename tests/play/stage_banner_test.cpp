#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "play/normal_mode.hpp"
#include "play/play_state.hpp"
#include "play_fixture.hpp"
#include "shell/draw.hpp"

namespace kal::test {
namespace {

using StageBannerTest = PlayTest;

// The opening: 200 ms, the mode banner for 3 s, 500 ms, the level banner for 3 s, then the
// half second before every question.
constexpr std::uint64_t k_opening_ms = 200 + 3000 + 500 + 3000 + 500;
// A new level: "cleared" blinks for six half-seconds, 750 ms, the bars take the new colour for
// 500 ms, the level banner for 3 s, then the half second before every question.
constexpr std::uint64_t k_level_change_ms = 6 * 500 + 750 + 500 + 3000 + 500;

// Where the game stands when the banner comes.
struct BannerMoment {
    int question_no;
    int level;  // as next_question left it
    int stage;  // the level whose banner was shown last
};

// What the banner leaves behind.
struct BannerOutcome {
    int bar_bg;             // rows 4 and 10 afterwards
    const char* new_music;  // the stage track started by the banner
    std::uint64_t duration_ms;
};

struct BannerCase {
    BannerMoment moment;
    BannerOutcome outcome;
    std::vector<Sighting> texts;
};

std::vector<BannerCase> banner_cases() {
    return {
        {{1, 1, 0},
         {1, "stage1.wav", k_opening_ms},
         {{33, 7, "ノーマルモード", 2, 15},
          {29, 17, "全6ステージを走破せよ！", 2, 15},
          {36, 7, "レベル 1", 2, 15},
          {18, 17, "～まずは小手慣らし。タイムボーナスを狙おう！～", 2, 15}}},
        {{7, 2, 1},
         {1, "stage2.wav", k_level_change_ms},
         {{32, 7, "レベル1 クリア！", 2, 15},
          {36, 7, "レベル 2", 2, 15},
          {20, 17, "～スピードコース。目を凝らして見極めろ！～", 2, 15}}},
        {{13, 3, 2},
         {6, "stage3.wav", k_level_change_ms},
         {{32, 7, "レベル2 クリア！", 2, 15},
          {36, 7, "レベル 3", 6, 15},
          {27, 17, "これよりハードコース突入！", 6, 15},
          {25, 18, "正解時の得点が1.5倍になります", 6, 15}}},
        {{19, 4, 3},
         {6, "stage4.wav", k_level_change_ms},
         {{32, 7, "レベル3 クリア！", 6, 15},
          {36, 7, "レベル 4", 6, 15},
          {18, 17, "～そろそろ本気で行きますよ。クリア出来るかな？～", 6, 15}}},
        {{25, 5, 4},
         {12, "stage5.wav", k_level_change_ms},
         {{32, 7, "レベル4 クリア！", 6, 15},
          {36, 7, "レベル 5", 12, 15},
          {24, 17, "これよりベリーハードコース突入！", 12, 15},
          {21, 18, "正解したときの得点が更に1.5倍になります", 12, 15}}},
        {{31, 6, 5},
         {4, "stage6.wav", k_level_change_ms},
         {{32, 7, "レベル5 クリア！", 12, 15},
          {32, 7, "ファイナルレベル", 4, 15},
          {34, 8, "ラスト 10問", 4, 15},
          {23, 17, "これよりウルトラハードコース突入！", 4, 15},
          {19, 18, "正解したときの得点が更に更に2倍になります", 4, 15}}},
    };
}

// The play screen as normal mode leaves it before a banner: white, with blue bars.
void draw_frame() {
    console.cls(0, 15);
    console.color(15, 1);
    blank_row(4);
    blank_row(10);
}

TEST_F(StageBannerTest, OpeningAndLevelBannersShowTheirTextsInTheLevelColoursAndTidyUp) {
    for (const auto& [moment, outcome, texts] : banner_cases()) {
        SCOPED_TRACE(moment.question_no);
        draw_frame();
        play.question_no = moment.question_no;
        play.level = moment.level;
        play.stage = moment.stage;
        if (moment.stage > 0) {
            play_music(play.stage + 3);
        }
        std::vector<Sighting> seen(texts.size());
        for (std::size_t i = 0; i < texts.size(); ++i) {
            seen[i] = {texts[i].x, texts[i].y, texts[i].text};
        }
        sim.clear_wait_looks();
        watch_for(seen);
        const std::uint64_t started = now();

        EXPECT_EQ(show_stage_banner(), BannerEnd::question_follows);

        EXPECT_EQ(now() - started, outcome.duration_ms);
        EXPECT_EQ(play.stage, moment.level);
        for (std::size_t i = 0; i < seen.size(); ++i) {
            EXPECT_TRUE(seen[i].seen) << texts[i].text;
            EXPECT_EQ(seen[i].fg, texts[i].fg) << texts[i].text;
            EXPECT_EQ(seen[i].bg, texts[i].bg) << texts[i].text;
        }
        for (const int y : {7, 8, 17, 18}) {
            EXPECT_EQ(as_read(sim.row(y)), std::string(80, ' ')) << "row " << y;
        }
        EXPECT_EQ(sim.cell(1, 4).bg, outcome.bar_bg);
        EXPECT_EQ(sim.cell(80, 10).bg, outcome.bar_bg);
        ASSERT_NE(current_music, 0U);
        EXPECT_EQ(sim.sim_audio().live.at(current_music), outcome.new_music);
    }
}

TEST_F(StageBannerTest, LevelClearedBlinksThreeTimesWithTheClearSound) {
    play.question_no = 13;
    play.level = 3;
    play.stage = 2;
    std::vector<std::uint64_t> shown;
    bool was_shown = false;
    sim.on_wait([&](SimPlatform&) {
        const bool showing = sim.text(32, 7, 16) == "レベル2 クリア！";
        if (showing && !was_shown) {
            shown.push_back(now());
        }
        was_shown = showing;
    });
    const std::uint64_t started = now();

    show_stage_banner();

    EXPECT_EQ(shown, (std::vector<std::uint64_t>{started, started + 1000, started + 2000}));
    EXPECT_EQ(sim.sim_audio().starts_of("kuria.wav"), shown);
}

TEST_F(StageBannerTest, QuestionWithinALevelOnlyPausesHalfASecond) {
    play.question_no = 8;
    play.level = 2;
    play.stage = 2;
    draw_frame();
    const std::string before = sim.row(7) + sim.row(17);
    const std::uint64_t started = now();

    EXPECT_EQ(show_stage_banner(), BannerEnd::question_follows);

    EXPECT_EQ(now() - started, 500U);
    EXPECT_EQ(sim.row(7) + sim.row(17), before);
    EXPECT_TRUE(sim.sim_audio().starts_of("kuria.wav").empty());
}

TEST_F(StageBannerTest, AllClearBlinksFiveTimesThenEndsTheGame) {
    play.question_no = 41;
    play.level = 6;
    play.stage = 6;
    std::vector<Sighting> seen{{28, 7, "オールステージ　クリア！"}};
    watch_for(seen);
    const std::uint64_t started = now();

    EXPECT_EQ(show_stage_banner(), BannerEnd::all_clear);

    EXPECT_EQ(now() - started, 10U * 500U);
    EXPECT_TRUE(seen[0].seen);
    EXPECT_EQ(seen[0].fg, 12);
    EXPECT_EQ(sim.sim_audio().starts_of("kuria.wav").size(), 5U);
    EXPECT_EQ(read_digit(sim, 9, 24), 1);
    EXPECT_EQ(read_digit(sim, 15, 24), 0);
    EXPECT_EQ(as_read(sim.text(28, 7, 24)), std::string(24, ' '));
}

TEST_F(StageBannerTest, LevelIndicatorCountsQuestionsWithinTheLevel) {
    struct Case {
        int question;
        int level;
        int number;
        int second_glyph;
    };
    const Case cases[] = {{1, 1, 1, -1},  {6, 1, 6, -1},  {7, 2, 1, -1},  {12, 2, 6, -1},
                          {13, 3, 1, -1}, {19, 4, 1, -1}, {25, 5, 1, -1}, {30, 5, 6, -1},
                          {31, 6, 1, -1}, {39, 6, 9, -1}, {40, 6, 1, 0},  {41, 6, 1, 0}};
    console.cls(0, 15);
    int question = 0;
    for (const Case& c : cases) {
        while (question < c.question) {
            const QuestionSpec& row = next_question();
            ++question;
            EXPECT_EQ(&row, &question_row(question));
        }
        console.flush();
        EXPECT_EQ(play.level, c.level) << "question " << c.question;
        EXPECT_EQ(sim.text(2, 22, 2), "LV");
        EXPECT_EQ(read_digit(sim, 1, 24), c.level) << "question " << c.question;
        EXPECT_EQ(read_digit(sim, 9, 24), c.number) << "question " << c.question;
        EXPECT_EQ(read_digit(sim, 15, 24), c.second_glyph) << "question " << c.question;
        EXPECT_EQ(sim.cell(2, 22).fg, 0);
    }
}

}  // namespace
}  // namespace kal::test
