#include "screens/tutorial.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "console/console.hpp"
#include "console/text.hpp"
#include "game_fixture.hpp"
#include "screen_reading.hpp"
#include "shell/music.hpp"
#include "shell/screen_kit.hpp"
#include "sound_files.hpp"

namespace kal {
namespace {

using test::columns_of;
using test::read_digit;
using test::read_time;
using test::write_silent_wav;

// Whether the text reads as blank: spaces, full-width ones included.
bool reads_blank(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        const char32_t ch = next_code_point(text, pos);
        if (ch != U' ' && ch != U'\u3000') {
            return false;
        }
    }
    return true;
}

class TutorialTest : public test::GameTest {
protected:
    void SetUp() override {
        GameTest::SetUp();
        write_silent_wav("title.wav", 10);
        write_silent_wav("kettei.wav", 10);
    }

    void hold_space() { sim.press(k_key_space, now()); }

    // Plays the board and steps 1 .. step - 1 with SPACE held, then draws step.
    void show_step(int step) {
        hold_space();
        draw_tutorial_board();
        for (int done = 1; done < step; ++done) {
            draw_tutorial_step(done);
            close_tutorial_step(done);
        }
        draw_tutorial_step(step);
        console.flush();
    }

    // Plays the whole script with SPACE held and looks at the screen once each step is drawn.
    void play_script(const std::function<void(int)>& look) {
        hold_space();
        draw_tutorial_board();
        for (int step = 1; step <= k_tutorial_steps; ++step) {
            draw_tutorial_step(step);
            console.flush();
            look(step);
            close_tutorial_step(step);
        }
    }
};

TEST_F(TutorialTest, BoardIsThePlayScreenWithItsBarsLevelAndInstruction) {
    draw_tutorial_board();
    console.flush();
    for (int x = 1; x <= 80; ++x) {
        EXPECT_EQ(sim.cell(x, 4).bg, 1) << "column " << x;
        EXPECT_EQ(sim.cell(x, 10).bg, 1) << "column " << x;
        EXPECT_EQ(sim.cell(x, 15).bg, 7) << "column " << x;
        EXPECT_EQ(sim.cell(x, 19).bg, 7) << "column " << x;
        EXPECT_EQ(sim.cell(x, 7).bg, 15) << "column " << x;
    }
    EXPECT_TRUE(sim.shows_at(54, 22, "TIME"));
    EXPECT_TRUE(sim.shows_at(2, 22, "LV"));
    EXPECT_EQ(read_digit(sim, 1, 24), 1);
    EXPECT_TRUE(sim.shows_at(7, 24, "―"));
    EXPECT_EQ(read_digit(sim, 9, 24), 1);
    EXPECT_TRUE(sim.shows_at(24, 14, "-上の数字に無い物を選んで下さい-"));
    EXPECT_EQ(sim.cell(24, 14).fg, 0);
    EXPECT_EQ(sim.cell(24, 14).bg, 15);
}

TEST_F(TutorialTest, ReadoutShowsTwentySecondsThenTheBonusThenThePenalty) {
    struct Case {
        int step;
        const char* shown;
    };
    constexpr Case cases[] = {
        {1, "20.00"}, {13, "20.00"}, {14, "22.00"}, {16, "22.00"}, {17, "19.00"}, {21, "19.00"},
    };
    play_script([&](int step) {
        for (const Case& c : cases) {
            if (c.step == step) {
                SCOPED_TRACE(step);
                EXPECT_EQ(read_time(sim), c.shown);
                EXPECT_EQ(sim.cell(60, 24).fg, 0);
                EXPECT_EQ(sim.cell(60, 24).bg, 15);
            }
        }
    });
}

TEST_F(TutorialTest, EachStepShowsItsTextsAtTheirPlacesInTheirColours) {
    struct Case {
        int step;
        int x;
        int y;
        int fg;
        int bg;
        const char* text;
    };
    const Case cases[] = {
        {1, 34, 6, 0, 15, "ゲーム説明"},
        {1, 27, 8, 0, 15, "SPACEキーで説明を進めます。"},
        {1, 17, 9, 0, 15, "(チュートリアルではカーソル操作は出来ません)"},
        {2, 2, 3, 0, 15, "ゲーム説明"},
        {2, 28, 7, 0, 15, "これが実際のゲーム画面です。"},
        {3, 18, 8, 0, 15, "ここに文字が流れてくるので、それを記憶しましょう。"},
        {5, 24, 14, 0, 15, "-上の数字に無い物を選んで下さい-"},
        {6, 31, 7, 0, 15, "こんな感じです。"},
        {7, 26, 17, 0, 15, "次に、下に数字が出てきます。"},
        {9, 32, 15, 1, 7, "▽"},
        {9, 32, 19, 1, 7, "△"},
        {10, 24, 7, 0, 15, "カーソルを[←][→]キーで動かして"},
        {10, 23, 8, 0, 15, "上に出てなかった数字を選びましょう。"},
        {11, 38, 15, 1, 7, "▽"},
        {11, 38, 19, 1, 7, "△"},
        {12, 20, 7, 0, 15, "これだ！と思ったらSPACEキーで決定です。"},
        {13, 38, 15, 0, 7, "▼"},
        {13, 38, 19, 0, 7, "▲"},
        {14, 38, 23, 9, 15, "正解"},
        {14, 61, 22, 6, 15, "Great +2sec"},
        {15, 13, 7, 0, 15, "正解すると、選んだ速さによってタイムボーナスがつきます。"},
        {16, 44, 15, 0, 7, "▽"},
        {16, 44, 19, 0, 7, "△"},
        {17, 44, 15, 0, 7, "▼"},
        {17, 44, 19, 0, 7, "▲"},
        {17, 37, 23, 12, 15, "間違い"},
        {17, 61, 22, 12, 15, "Penalty! Time -3sec"},
        {18, 22, 7, 0, 15, "逆に間違えると、タイムが減ります。"},
        {19, 19, 8, 0, 15, "タイムがゼロになったらゲームオーバーです。"},
        {20, 21, 7, 0, 15, "序盤は簡単ですが終盤は物凄く難しいので、"},
        {20, 14, 8, 0, 15, "序盤でタイムボーナスを沢山稼ぐのがクリアのコツです。"},
        {21, 20, 7, 0, 15, "全6レベル(1～5レベルは各6問、6レベルは10問)"},
        {21, 25, 8, 0, 15, "全面クリア目指して頑張って下さい。"},
    };
    play_script([&](int step) {
        for (const Case& c : cases) {
            if (c.step == step) {
                SCOPED_TRACE(std::to_string(step) + " " + c.text);
                EXPECT_TRUE(sim.shows_at(c.x, c.y, c.text))
                    << sim.text(c.x, c.y, columns_of(c.text));
                EXPECT_EQ(sim.cell(c.x, c.y).fg, c.fg);
                EXPECT_EQ(sim.cell(c.x, c.y).bg, c.bg);
            }
        }
    });
}

TEST_F(TutorialTest, CursorMarksPointAtTheFirstThenTheSecondThenTheThirdCandidate) {
    struct Case {
        int step;
        int column;  // the one column of 32, 38 and 44 that holds marks
        const char* lower;
        const char* upper;
    };
    constexpr Case cases[] = {
        {8, 0, "", ""},     {9, 32, "▽", "△"},  {11, 38, "▽", "△"},
        {13, 38, "▼", "▲"}, {16, 44, "▽", "△"}, {17, 44, "▼", "▲"},
    };
    play_script([&](int step) {
        for (const Case& c : cases) {
            if (c.step != step) {
                continue;
            }
            SCOPED_TRACE(step);
            for (const int column : {32, 38, 44}) {
                const bool marked = column == c.column;
                if (marked) {
                    EXPECT_EQ(sim.text(column, 15, 2), c.lower) << column;
                    EXPECT_EQ(sim.text(column, 19, 2), c.upper) << column;
                } else {
                    EXPECT_TRUE(reads_blank(sim.text(column, 15, 2))) << column;
                    EXPECT_TRUE(reads_blank(sim.text(column, 19, 2))) << column;
                }
                EXPECT_EQ(sim.cell(column, 15).bg, 7) << column;
            }
        }
    });
}

TEST_F(TutorialTest, CandidatesOneSevenFourStandAtColumns30_36And43) {
    show_step(8);
    EXPECT_EQ(read_digit(sim, 30, 17), 1);
    EXPECT_EQ(read_digit(sim, 36, 17), 7);
    EXPECT_EQ(read_digit(sim, 43, 17), 4);
    EXPECT_EQ(sim.text(42, 17, 1), " ");
    EXPECT_EQ(sim.cell(43, 16).fg, 9);
    EXPECT_EQ(sim.cell(43, 16).bg, 15);
    // The line that announced them is wiped from column 24 to 60.
    EXPECT_TRUE(reads_blank(sim.text(24, 17, 6))) << sim.text(24, 17, 6);
    EXPECT_TRUE(reads_blank(sim.text(49, 17, 12))) << sim.text(49, 17, 12);
}

TEST_F(TutorialTest, RightAnswerVerdictIsErasedWhileItsBonusStays) {
    show_step(15);
    EXPECT_TRUE(reads_blank(sim.text(38, 23, 4))) << sim.text(38, 23, 4);
    EXPECT_TRUE(sim.shows_at(61, 22, "Great +2sec"));
    EXPECT_EQ(read_time(sim), "22.00");
}

TEST_F(TutorialTest, SampleRowFrameDrawsEachGlyphOnlyWhereItFitsTheScreen) {
    struct Case {
        int x;
        bool four;  // glyph 4 at x
        bool one;   // glyph 1 at x + 6
    };
    constexpr Case cases[] = {
        {83, false, false}, {76, false, false},  {75, true, false}, {70, true, false},
        {69, true, true},   {1, true, true},     {0, false, true},  {-4, false, true},
        {-5, false, false}, {-49, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.x);
        draw_tutorial_board();
        draw_sample_row(c.x);
        console.flush();
        for (int row = 0; row < 3; ++row) {
            std::vector<std::pair<int, int>> glyphs;
            if (c.four) {
                glyphs.emplace_back(c.x, 4);
            }
            if (c.one) {
                glyphs.emplace_back(c.x + 6, 1);
            }
            std::string line;
            int column = 1;
            for (const auto& [left, digit] : glyphs) {
                line += std::string(static_cast<std::size_t>(left - column), ' ');
                line +=
                    k_digit_font[static_cast<std::size_t>(digit)][static_cast<std::size_t>(row)];
                column = left + 6;
            }
            line += std::string(static_cast<std::size_t>(81 - column), ' ');
            EXPECT_EQ(sim.row(6 + row), line) << "row " << 6 + row;
        }
        EXPECT_EQ(sim.row(5), std::string(80, ' '));
        EXPECT_EQ(sim.row(9), std::string(80, ' '));
        EXPECT_EQ(sim.cell(80, 4).bg, 1);
        EXPECT_EQ(sim.cell(80, 10).bg, 1);
    }
}

TEST_F(TutorialTest, ScrollingSampleRowLeavesNoTrailAndTouchesNoOtherRow) {
    show_step(3);
    close_tutorial_step(3);
    std::vector<test::TermCell> before;
    for (int y = 1; y <= 25; ++y) {
        for (int x = 1; x <= 80; ++x) {
            before.push_back(sim.cell(x, y));
        }
    }
    draw_tutorial_step(4);
    for (int y = 1; y <= 25; ++y) {
        for (int x = 1; x <= 80; ++x) {
            const test::TermCell& was = before[static_cast<std::size_t>((y - 1) * 80 + x - 1)];
            const test::TermCell now_cell = sim.cell(x, y);
            if (y >= 6 && y <= 8) {
                EXPECT_TRUE(now_cell.text.empty() || now_cell.text == " ") << x << "," << y;
                EXPECT_EQ(now_cell.bg, 15) << x << "," << y;
                continue;
            }
            EXPECT_EQ(now_cell.text, was.text) << x << "," << y;
            EXPECT_EQ(now_cell.fg, was.fg) << x << "," << y;
            EXPECT_EQ(now_cell.bg, was.bg) << x << "," << y;
        }
    }
    EXPECT_EQ(draw_x, 3);
}

TEST_F(TutorialTest, SampleRowScrollsOneColumnEveryTenMilliseconds) {
    show_step(3);
    close_tutorial_step(3);
    const std::uint64_t start = now();
    draw_tutorial_step(4);
    // From column 83 down to -49: 133 ticks.
    EXPECT_EQ(now() - start, 1330U);
}

TEST_F(TutorialTest, TitleMusicKeepsLoopingWhileTheSampleRowScrolls) {
    play_music(k_track_title);
    const std::uint64_t started = now();
    sim.advance(8000);
    draw_tutorial_step(4);
    // The loop of 8726 ms has passed at the first tick after it: the ticks fall every 10 ms.
    const std::vector<std::uint64_t> expected{started, started + 8730};
    EXPECT_EQ(sim.sim_audio().starts_of("title.wav"), expected);
}

TEST_F(TutorialTest, HoldingSpaceRunsTheScriptOneStepEvery200Ms) {
    const std::uint64_t start = now();
    hold_space();
    EXPECT_EQ(tutorial_screen(), Screen::title);
    // Step 1 passes at once; the scroll (1330 ms) and the pause of step 5 come between steps 3
    // and 6; steps 8 and 12 do not wait.
    std::vector<std::uint64_t> expected{start, start + 200, start + 400};
    std::uint64_t t = start + 400 + 1330 + 200 + 200;
    for (int advance = 0; advance < 14; ++advance, t += 200) {
        expected.push_back(t);
    }
    EXPECT_EQ(sim.sim_audio().starts_of("kettei.wav"), expected);
    EXPECT_EQ(now(), expected.back());
}

TEST_F(TutorialTest, EachPressOfSpaceAdvancesExactlyOneStep) {
    const std::uint64_t start = now();
    std::vector<std::uint64_t> presses;
    for (std::uint64_t i = 0; i < 17; ++i) {
        presses.push_back(start + 2000 * i);
        sim.tap(k_key_space, presses.back(), 60);
    }
    EXPECT_EQ(tutorial_screen(), Screen::title);
    EXPECT_EQ(sim.sim_audio().starts_of("kettei.wav"), presses);
    EXPECT_EQ(now(), presses.back());
}

TEST_F(TutorialTest, DrawRowIsTheCandidateRowOnlyInSteps7And8) {
    play_script([&](int step) { EXPECT_EQ(draw_y, step == 7 || step == 8 ? 17 : 7) << step; });
}

TEST_F(TutorialTest, ScriptEndsAtColumn3Row7WithTheLastPageShown) {
    hold_space();
    EXPECT_EQ(tutorial_screen(), Screen::title);
    EXPECT_EQ(draw_x, 3);
    EXPECT_EQ(draw_y, 7);
    EXPECT_TRUE(sim.shows_at(25, 8, "全面クリア目指して頑張って下さい。"));
}

}  // namespace
}  // namespace kal
