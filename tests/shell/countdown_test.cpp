#include "shell/countdown.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "console/console.hpp"
#include "game_fixture.hpp"
#include "play/play_state.hpp"
#include "screen_reading.hpp"
#include "shell/draw.hpp"
#include "shell/music.hpp"
#include "shell/screen_kit.hpp"
#include "sound_files.hpp"

namespace kal::test {
namespace {

// What the player saw of the announcement.
struct Announcement {
    std::vector<int> speed_glyphs;  // digit glyph at each column from 28 to 52 on rows 6-8
    std::string unit;               // text at (51, 7) and (53, 7)
    int digit_count = -1;
    std::string caption;
    std::string count_caption;
    int fg = -1;
    int bg = -1;
};

class CountdownTest : public GameTest {
protected:
    void SetUp() override {
        GameTest::SetUp();
        reset_play_state();
        reset_screen_kit();
        play.level = 1;
        play.stage = 1;
        for (const char* name : {"1.wav", "2.wav", "3.wav"}) {
            write_silent_wav(name, 1500);
        }
        console.color(0, 15);
        console.cls(k_keep, k_keep);
        console.flush();
    }
    void TearDown() override {
        reset_play_state();
        reset_screen_kit();
        GameTest::TearDown();
    }

    // Runs the announcement and keeps the screen as it stood complete at the first wait: it is
    // gone again by the time announce_question returns.
    Announcement watch(int digits, int speed) {
        Announcement seen;
        bool looked = false;
        sim.on_wait([&](SimPlatform&) {
            if (looked) {
                return;
            }
            looked = true;
            for (int x = 28; x <= 52; ++x) {
                seen.speed_glyphs.push_back(read_digit(sim, x, 7));
            }
            seen.unit = sim.text(51, 7, 4);
            seen.digit_count = read_digit(sim, 37, 17);
            seen.caption = sim.text(44, 17, 2);
            seen.count_caption = sim.text(27, 7, 6);
            seen.fg = sim.cell(37, 16).fg;
            seen.bg = sim.cell(37, 16).bg;
        });
        announce_question(digits, speed);
        sim.clear_wait_looks();
        return seen;
    }
};

TEST_F(CountdownTest, TheSpeedFigureStandsInGlyphsFollowedByKm) {
    struct Glyph {
        int x;
        int digit;
    };
    struct Case {
        int speed;
        std::vector<Glyph> glyphs;
        const char* unit;  // columns 51 to 54 of row 7
    };
    const Case cases[] = {
        {9, {{38, 0}, {44, 9}}, "km  "},
        {85, {{38, 8}, {44, 5}}, "km  "},
        {99, {{38, 9}, {44, 9}}, "km  "},
        {100, {{34, 1}, {40, 0}, {46, 0}}, "  km"},
        {120, {{34, 1}, {40, 2}, {46, 0}}, "  km"},
        {999, {{34, 9}, {40, 9}, {46, 9}}, "  km"},
    };
    for (const Case& c : cases) {
        const Announcement seen = watch(4, c.speed);
        std::vector<int> expected(25, -1);
        for (const Glyph& glyph : c.glyphs) {
            expected[static_cast<std::size_t>(glyph.x - 28)] = glyph.digit;
        }
        EXPECT_EQ(seen.speed_glyphs, expected) << c.speed;
        EXPECT_EQ(seen.unit, c.unit) << c.speed;
        EXPECT_EQ(seen.count_caption, "ソクド") << c.speed;
    }
}

TEST_F(CountdownTest, TheDigitCountStandsAtColumn37WithItsCaption) {
    for (const int digits : {2, 5, 8}) {
        const Announcement seen = watch(digits, 60);
        EXPECT_EQ(seen.digit_count, digits);
        EXPECT_EQ(seen.caption, "桁");
    }
}

TEST_F(CountdownTest, TheAnnouncementIsDrawnInTheLevelColourOnWhite) {
    struct Case {
        int level;
        int fg;
    };
    const Case cases[] = {{1, 2}, {3, 6}, {5, 12}, {6, 4}};
    for (const Case& c : cases) {
        play.level = c.level;
        const Announcement seen = watch(3, 60);
        EXPECT_EQ(seen.fg, c.fg) << c.level;
        EXPECT_EQ(seen.bg, 15) << c.level;
    }
}

TEST_F(CountdownTest, EachCountLastsAThousandMsLess70PerLevel) {
    struct Case {
        int level;
        std::uint64_t count_ms;
    };
    const Case cases[] = {{1, 930}, {2, 860}, {3, 790}, {4, 720}, {5, 650}, {6, 580}};
    for (const Case& c : cases) {
        play.level = c.level;
        sim.sim_audio().log.clear();
        const std::uint64_t start = now();
        announce_question(4, 60);
        const SimAudio& audio = sim.sim_audio();
        EXPECT_EQ(audio.starts_of("3.wav"), std::vector<std::uint64_t>{start}) << c.level;
        EXPECT_EQ(audio.starts_of("2.wav"), std::vector<std::uint64_t>{start + c.count_ms})
            << c.level;
        EXPECT_EQ(audio.starts_of("1.wav"), std::vector<std::uint64_t>{start + 2 * c.count_ms})
            << c.level;
        EXPECT_EQ(now(), start + 3 * c.count_ms) << c.level;
    }
}

TEST_F(CountdownTest, TheStageMusicStartsWithTheFirstCount) {
    struct Case {
        int stage;
        const char* file;
    };
    const Case cases[] = {{1, "stage1.wav"}, {3, "stage3.wav"}, {6, "stage6.wav"}};
    for (const Case& c : cases) {
        write_silent_wav(c.file, 1000);
        stop_music();
        play.stage = c.stage;
        const std::uint64_t start = now();
        announce_question(4, 60);
        EXPECT_EQ(sim.sim_audio().starts_of(c.file), std::vector<std::uint64_t>{start}) << c.stage;
    }
}

// At level 1 the music is serviced at 0, 125, 250, 375, 500 and 930 ms into the first count,
// every 125 ms through the second and the third, and at their ends, but not during the rests.
TEST_F(CountdownTest, TheStageMusicLoopsAtTheFirstTickAfterItsLoopLength) {
    constexpr std::uint64_t k_stage1_loop_ms = 5817;
    struct Case {
        std::uint64_t loop_ends_after_ms;  // from the start of the announcement
        std::uint64_t restart_after_ms;
    };
    const Case cases[] = {{200, 250}, {249, 250},   {250, 375},  {499, 500},
                          {500, 930}, {1500, 1860}, {2400, 2790}};
    write_silent_wav("stage1.wav", 1000);
    for (const Case& c : cases) {
        stop_music();
        sim.sim_audio().log.clear();
        const std::uint64_t music_start = now();
        play_music(4);
        sim.advance(k_stage1_loop_ms - c.loop_ends_after_ms);
        const std::uint64_t start = now();
        announce_question(4, 60);
        const std::vector<std::uint64_t> expected{music_start, start + c.restart_after_ms};
        EXPECT_EQ(sim.sim_audio().starts_of("stage1.wav"), expected) << c.loop_ends_after_ms;
    }
}

TEST_F(CountdownTest, TheAnnouncementBandTurnsWhiteWhenTheCountIsOver) {
    play.level = 5;
    console.color(0, 15);
    for (const int y : {5, 6, 7, 8, 9, 15, 16, 17, 18, 19}) {
        print_at(1, y, std::string(80, 'X'));
    }
    announce_question(4, 120);
    console.flush();
    for (const int y : {6, 7, 8, 16, 17, 18}) {
        EXPECT_EQ(sim.text(27, y, 40), std::string(40, ' ')) << y;
        EXPECT_EQ(sim.cell(27, y).bg, 15) << y;
        EXPECT_EQ(sim.cell(66, y).bg, 15) << y;
        EXPECT_EQ(sim.text(1, y, 26), std::string(26, 'X')) << y;
        EXPECT_EQ(sim.text(67, y, 14), std::string(14, 'X')) << y;
    }
    for (const int y : {5, 9, 15, 19}) {
        EXPECT_EQ(sim.row(y), std::string(80, 'X')) << y;
    }
}

TEST_F(CountdownTest, TheLastCountPlaysOnAsTheQuestionBegins) {
    announce_question(4, 60);
    const SimAudio& audio = sim.sim_audio();
    EXPECT_EQ(audio.count(AudioEvent::Kind::stop, "1.wav"), 0U);
    EXPECT_EQ(audio.count(AudioEvent::Kind::close, "1.wav"), 0U);
}

TEST_F(CountdownTest, CountSoundsAreReleasedOnceTheyHavePlayedOut) {
    for (const char* name : {"1.wav", "2.wav", "3.wav"}) {
        write_silent_wav(name, 200);
    }
    for (int question = 0; question < 5; ++question) {
        announce_question(4, 60);
    }
    std::size_t live_counts = 0;
    for (const auto& [voice, name] : sim.sim_audio().live) {
        live_counts += name == "1.wav" || name == "2.wav" || name == "3.wav" ? 1U : 0U;
    }
    EXPECT_EQ(live_counts, 3U);
    for (const char* name : {"1.wav", "2.wav", "3.wav"}) {
        EXPECT_EQ(sim.sim_audio().count(AudioEvent::Kind::close, name), 4U) << name;
    }
}

TEST_F(CountdownTest, MissingCountSoundsKeepTheTimingOfTheCount) {
    for (const char* name : {"1.wav", "2.wav", "3.wav"}) {
        std::remove(name);
    }
    sim.sim_audio().absent = true;
    play.level = 6;
    const std::uint64_t start = now();
    announce_question(4, 60);
    EXPECT_EQ(now(), start + 3 * 580);
}

}  // namespace
}  // namespace kal::test
