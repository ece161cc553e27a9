#include "shell/title_screen.hpp"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "auto_repeat.hpp"
#include "console/key_state.hpp"
#include "game/program.hpp"
#include "game_fixture.hpp"
#include "shell/music.hpp"

namespace kal::test {
namespace {

class TitleScreenTest : public GameTest {
protected:
    // Runs the title screen until SPACE chooses an item and returns that item's screen.
    Screen choose() { return title_screen(); }
    // The column of the marks, read off the screen.
    int mark_column() {
        for (const int x : {9, 29, 49, 69}) {
            const std::string lower = sim.text(x, 24, 2);
            if (lower == "△" || lower == "▲") {
                return x;
            }
        }
        return 0;
    }
    std::uint64_t t0 = sim.now_ms();
};

TEST_F(TitleScreenTest, TheBannerSpellsTheTitleInDarkGreyCellsAcrossColumns3To76) {
    tap(k_key_space, t0 + 500);
    choose();
    int lit = 0;
    for (int y = 3; y <= 7; ++y) {
        for (int x = 3; x <= 75; x += 2) {
            const TermCell cell = sim.cell(x, y);
            if (sim.text(x, y, 2) == "■") {
                ++lit;
                EXPECT_EQ(cell.fg, 0);
                EXPECT_EQ(cell.bg, 8);
            } else {
                EXPECT_EQ(sim.text(x, y, 2), "  ");
                EXPECT_EQ(cell.bg, 15) << x << "," << y;
            }
        }
        EXPECT_EQ(sim.text(1, y, 2), "  ");
        EXPECT_EQ(sim.cell(1, y).bg, 15);
        EXPECT_EQ(sim.cell(77, y).bg, 15);
    }
    EXPECT_GT(lit, 60);
    // The first and the last cells of the grid belong to K and N.
    EXPECT_EQ(sim.text(3, 3, 2), "■");
    EXPECT_EQ(sim.text(75, 3, 2), "■");
}

TEST_F(TitleScreenTest, TheMenuIsDrawnWithItsBoxesLabelsAndKeyHelp) {
    tap(k_key_space, t0 + 500);
    choose();
    EXPECT_EQ(sim.text(78, 5, 2), "++");
    std::string rule;
    for (int i = 0; i < 39; ++i) {
        rule += "―";
    }
    EXPECT_EQ(sim.text(2, 8, 78), rule);
    EXPECT_EQ(sim.cell(2, 8).fg, 8);
    struct Box {
        int column;
        int fg;
        int bg;
        const char* label;
        int label_fg;
    };
    for (const Box box : {Box{5, 9, 7, "挑戦", 1},
                          {25, 6, 14, "説明", 6},
                          {45, 4, 12, "順位", 4},
                          {65, 8, 7, "製作", 8}}) {
        EXPECT_EQ(sim.text(box.column, 19, 10), "■■■■■");
        EXPECT_EQ(sim.text(box.column, 23, 10), "■■■■■");
        for (const int y : {20, 21, 22}) {
            EXPECT_EQ(sim.text(box.column, y, 2), "■");
            EXPECT_EQ(sim.text(box.column + 8, y, 2), "■");
        }
        EXPECT_EQ(sim.cell(box.column, 19).fg, box.fg);
        EXPECT_EQ(sim.cell(box.column + 8, 22).bg, box.bg);
        EXPECT_EQ(sim.cell(box.column + 2, 20).bg, 15);  // the inside stays white
        EXPECT_EQ(sim.text(box.column + 3, 21, 4), box.label);
        EXPECT_EQ(sim.cell(box.column + 3, 21).fg, box.label_fg);
    }
    EXPECT_EQ(sim.text(51, 25, 29), "[SPACE]…決定  [←][→]…選択");
}

TEST_F(TitleScreenTest, SpaceOnTheFirstItemStartsNormalModeWithFilledMarks) {
    tap(k_key_space, t0 + 500);
    EXPECT_EQ(choose(), Screen::normal_mode);
    EXPECT_EQ(sim.text(9, 24, 2), "▲");
    EXPECT_EQ(sim.text(9, 18, 2), "▼");
    EXPECT_EQ(sim.cell(9, 24).fg, 0);
    ASSERT_EQ(sim.sim_audio().starts_of("kettei.wav").size(), 1U);
}

TEST_F(TitleScreenTest, RightMovesOneItemPerPressAndStopsAtTheLast) {
    for (int i = 0; i < 5; ++i) {
        tap(k_key_right, t0 + 300 + 400 * static_cast<std::uint64_t>(i));
    }
    tap(k_key_space, t0 + 3000);
    EXPECT_EQ(choose(), Screen::credits);
    EXPECT_EQ(mark_column(), 69);
    EXPECT_EQ(sim.sim_audio().starts_of("kasoru.wav").size(), 3U);  // no sound at the end
    EXPECT_EQ(sim.text(9, 24, 2), "　");
}

TEST_F(TitleScreenTest, LeftOnTheFirstItemDoesNothing) {
    tap(k_key_left, t0 + 300);
    tap(k_key_space, t0 + 1000);
    EXPECT_EQ(choose(), Screen::normal_mode);
    EXPECT_TRUE(sim.sim_audio().starts_of("kasoru.wav").empty());
}

TEST_F(TitleScreenTest, HoldingRightMovesOneItemOnly) {
    sim.press(k_key_right, t0 + 300);
    sim.release(k_key_right, t0 + 4000);
    tap(k_key_space, t0 + 4500);
    EXPECT_EQ(choose(), Screen::tutorial);
}

// On every kind of terminal and with every auto-repeat setting: a hold is one step, two taps
// are two steps however close, and keys pressed together count in the order they came.
TEST_F(TitleScreenTest, EveryPressIsOneStepAndAHoldIsOne) {
    if (on_system_console()) {
        GTEST_SKIP() << "a terminal's key bytes; the console gives key events";
    }
    struct Stroke {
        int key;
        std::uint64_t at_ms;  // after the title stands
        std::uint64_t hold_ms;
    };
    struct Case {
        std::string what;
        std::vector<Stroke> strokes;
        Screen chosen;
        std::size_t clicks;
    };
    std::vector<Case> cases{{"a hold of 1.5 s", {{k_key_right, 0, 1500}}, Screen::tutorial, 1}};
    for (const std::uint64_t gap : {40, 60, 90, 130, 200, 300, 600}) {
        cases.push_back({"two taps " + std::to_string(gap) + " ms apart",
                         {{k_key_right, 0, 30}, {k_key_right, gap, 30}},
                         Screen::ranking_board,
                         2});
    }
    for (const std::uint64_t gap : {0, 10, 20}) {
        cases.push_back(
            {"Right, then Left and Right " + std::to_string(gap) + " ms apart",
             {{k_key_right, 0, 30}, {k_key_left, 1000, 30}, {k_key_right, 1000 + gap, 30}},
             Screen::tutorial,
             3});
    }
    for (const Case& c : cases) {
        for (const bool kitty : {false, true}) {
            for (const auto& [delay, interval] : k_auto_repeat_profiles) {
                SCOPED_TRACE(c.what + (kitty ? ", kitty" : ", releases inferred") + ", repeat " +
                             std::to_string(delay) + "/" + std::to_string(interval));
                reset_game_state();
                console.attach(sim, sim.terminal());
                sim.set_kitty(kitty);
                sim.set_auto_repeat(delay, interval);
                console.set_traits({AmbiguousWidth::narrow, kitty, false});
                const std::uint64_t start = now() + 500;
                sim.sim_audio().log.clear();
                for (const Stroke& stroke : c.strokes) {
                    tap(stroke.key, start + stroke.at_ms, stroke.hold_ms);
                }
                tap(k_key_space, start + 3000);
                EXPECT_EQ(choose(), c.chosen);
                EXPECT_EQ(sim.sim_audio().starts_of("kasoru.wav").size(), c.clicks);
            }
        }
    }
}

// Without releases, a tap that may be the first repeat of a hold moves the cursor as soon as
// no repeat follows it, not at the end of the pass.
TEST_F(TitleScreenTest, ALaterTapMovesTheCursorOnceNoRepeatFollowsIt) {
    if (on_system_console()) {
        GTEST_SKIP() << "a terminal's key bytes; the console gives key events";
    }
    sim.set_kitty(false);
    console.set_traits({AmbiguousWidth::narrow, false, false});
    std::uint64_t moved_at = 0;
    sim.on_wait([&](SimPlatform&) {
        if (moved_at == 0 && mark_column() == 49) {
            moved_at = now();
        }
    });
    const std::uint64_t first = t0 + 1000;
    tap(k_key_right, first, 30);
    tap(k_key_right, first + 300, 30);
    tap(k_key_space, first + 1000);
    EXPECT_EQ(choose(), Screen::ranking_board);
    EXPECT_LE(moved_at, first + 300 + k_max_repeat_interval_ms + 1);
}

// Wherever in the menu's 100 ms pass Right comes, the cursor moves within 10 ms.
TEST_F(TitleScreenTest, TheCursorFollowsRightWithin10MsWhereverInThePassItComes) {
    if (on_system_console()) {
        GTEST_SKIP() << "a terminal's key bytes; the console gives key events";
    }
    for (const bool kitty : {false, true}) {
        for (const std::uint64_t offset : {1, 23, 50, 77, 99}) {
            SCOPED_TRACE(std::string(kitty ? "kitty, " : "releases inferred, ") +
                         std::to_string(offset));
            reset_game_state();
            console.attach(sim, sim.terminal());
            sim.set_kitty(kitty);
            console.set_traits({AmbiguousWidth::narrow, kitty, false});
            sim.clear_wait_looks();
            std::uint64_t title_at = 0;
            std::uint64_t moved_at = 0;
            sim.on_wait([&](SimPlatform&) {
                if (title_at == 0 && mark_column() == 9 && sim.text(3, 16, 1) == "|") {
                    title_at = now();
                } else if (moved_at == 0 && mark_column() == 29) {
                    moved_at = now();
                }
            });
            const std::uint64_t pressed = now() + 1000 + offset;
            tap(k_key_right, pressed, 30);
            tap(k_key_space, pressed + 1000);
            EXPECT_EQ(choose(), Screen::tutorial);
            ASSERT_NE(title_at, 0U);
            EXPECT_LE(moved_at, pressed + 10);
            EXPECT_GE(moved_at, pressed);
        }
    }
}

TEST_F(TitleScreenTest, LeftMovesBack) {
    tap(k_key_right, t0 + 300);
    tap(k_key_right, t0 + 700);
    tap(k_key_left, t0 + 1100);
    tap(k_key_space, t0 + 1500);
    EXPECT_EQ(choose(), Screen::tutorial);
}

TEST_F(TitleScreenTest, SpaceHeldFromThePreviousScreenSelectsNothingUntilReleased) {
    sim.press(k_key_space, t0);
    sim.release(k_key_space, t0 + 2000);
    tap(k_key_right, t0 + 2500);
    tap(k_key_space, t0 + 3000);
    EXPECT_EQ(choose(), Screen::tutorial);
    EXPECT_GE(sim.now_ms(), t0 + 3000);
}

TEST_F(TitleScreenTest, RightAndSpaceTogetherChooseTheNewItem) {
    sim.press(k_key_right, t0 + 300);
    sim.press(k_key_space, t0 + 310);
    sim.release(k_key_right, t0 + 600);
    sim.release(k_key_space, t0 + 900);
    EXPECT_EQ(choose(), Screen::tutorial);
}

TEST_F(TitleScreenTest, TheDescriptionFollowsTheCursorWithItsBarColour) {
    struct Item {
        int bar;
        const char* description;
    };
    const Item items[] = {
        {9, " ノーマルモード／全6ステージをクリアしていく基本のモード"},
        {6, " チュートリアル／まずはここから始めましょう。ルールの説明"},
        {12, " ランキング／最高記録の閲覧、猛者の記録をここに"},
        {8, " システム／裏で頑張ってたスタッフの観覧をひっそりと"},
    };
    for (int item = 0; item < 4; ++item) {
        SCOPED_TRACE(item);
        sim.tap(k_key_space, sim.now_ms() + 300 + 400 * static_cast<std::uint64_t>(item) + 200);
        for (int i = 0; i < item; ++i) {
            sim.tap(k_key_right, sim.now_ms() + 300 + 400 * static_cast<std::uint64_t>(i));
        }
        title_screen();
        EXPECT_EQ(sim.text(3, 16, 1), "|");
        EXPECT_EQ(sim.cell(3, 16).fg, items[item].bar);
        const std::string description = items[item].description;
        EXPECT_EQ(sim.text(4, 16, 69).substr(0, description.size()), description);
        EXPECT_EQ(sim.cell(5, 16).fg, 0);
        sim.advance(1000);
    }
}

// The title track loops in the sound device at exactly its loop length, however late the menu
// polls: it is started once and never cut.
TEST_F(TitleScreenTest, TheTitleMusicRunsAndLoopsInTheSoundDevice) {
    tap(k_key_space, t0 + 20000);
    choose();
    const SimAudio& audio = sim.sim_audio();
    EXPECT_EQ(audio.starts_of("title.wav").size(), 1U);
    ASSERT_EQ(audio.live.count(current_music), 1U);
    EXPECT_EQ(audio.live.at(current_music), "title.wav");
    ASSERT_EQ(audio.loop_frames.count(current_music), 1U);
    EXPECT_EQ(audio.loop_frames.at(current_music), 8726U * 48U);
}

}  // namespace
}  // namespace kal::test
