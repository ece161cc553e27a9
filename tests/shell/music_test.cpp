#include "shell/music.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "console/console.hpp"
#include "game_fixture.hpp"
#include "sound_files.hpp"

namespace kal::test {
namespace {

constexpr std::uint64_t k_title_loop_ms = 8726;
constexpr std::uint64_t k_result_loop_ms = 24000;
constexpr std::uint32_t k_frames_per_ms = 8;  // the test files are 8 kHz

class MusicTest : public GameTest {
protected:
    void SetUp() override {
        GameTest::SetUp();
        reset_music();
    }

    // Polls the music at each of these times from now, as a screen's waiting loop would.
    void poll_at(int track, const std::vector<std::uint64_t>& after_ms) {
        const std::uint64_t start = now();
        for (const std::uint64_t at : after_ms) {
            sim.advance(start + at - now());
            play_music(track);
        }
    }

    [[nodiscard]] std::uint32_t loop_frames_of_current() const {
        const SimAudio& audio = const_cast<SimPlatform&>(sim).sim_audio();
        const auto found = audio.loop_frames.find(current_music);
        return found == audio.loop_frames.end() ? 0 : found->second;
    }
};

struct LengthCase {
    std::uint64_t file_ms;
    std::uint32_t loop_frames;  // 0: the voice plays once
};

TEST_F(MusicTest, ATrackAtLeastItsLoopLongLoopsInTheDeviceAtExactlyItsLoopLength) {
    const std::vector<LengthCase> cases{
        {k_title_loop_ms, k_title_loop_ms * k_frames_per_ms},
        {k_title_loop_ms + 500, k_title_loop_ms * k_frames_per_ms},
        {k_title_loop_ms - 1, 0},
        {1000, 0},
    };
    for (const LengthCase& c : cases) {
        write_silent_wav("title.wav", static_cast<std::uint32_t>(c.file_ms));
        stop_music();
        play_music(k_track_title);
        ASSERT_NE(current_music, 0U) << c.file_ms;
        EXPECT_EQ(loop_frames_of_current(), c.loop_frames) << c.file_ms;
        EXPECT_EQ(console.sound_loops(current_music), c.loop_frames != 0) << c.file_ms;
    }
}

struct PollCase {
    std::uint64_t poll_ms;        // after the start
    std::uint64_t started_at_ms;  // music_started_at afterwards, from the start
    bool counts_on;               // this poll finds a loop passed
};

// However late the polls come, a looping track is never started again: the count of whole
// loops moves on, and the output position goes to (40, 14) as at a restart.
TEST_F(MusicTest, PollsKeepCountOfWholeLoopsWithoutCuttingALoopingTrack) {
    write_silent_wav("title.wav", k_title_loop_ms);
    const std::vector<PollCase> cases{
        {k_title_loop_ms, 0, false},
        {k_title_loop_ms + 1, k_title_loop_ms, true},
        {2 * k_title_loop_ms, k_title_loop_ms, false},
        {3 * k_title_loop_ms + 400, 3 * k_title_loop_ms, true},
        {7 * k_title_loop_ms + 1, 7 * k_title_loop_ms, true},
    };
    const std::uint64_t start = now();
    play_music(k_track_title);
    for (const PollCase& c : cases) {
        console.locate(1, 1);
        sim.advance(start + c.poll_ms - now());
        play_music(k_track_title);
        EXPECT_EQ(music_started_at, start + c.started_at_ms) << c.poll_ms;
        EXPECT_EQ(console.cursor_x() == 40 && console.cursor_y() == 14, c.counts_on) << c.poll_ms;
    }
    EXPECT_EQ(sim.sim_audio().starts_of("title.wav"), std::vector<std::uint64_t>{start});
}

// A replaced file shorter than its loop plays out and is started again at the first poll after
// the loop length.
TEST_F(MusicTest, ATrackTooShortForItsLoopIsStartedAgainAtTheFirstPollAfterIt) {
    write_silent_wav("title.wav", 1000);
    const std::uint64_t start = now();
    poll_at(k_track_title, {0, 5000, k_title_loop_ms, k_title_loop_ms + 300, 2 * k_title_loop_ms,
                            2 * k_title_loop_ms + 300, 2 * k_title_loop_ms + 301});
    const std::vector<std::uint64_t> starts{start, start + k_title_loop_ms + 300,
                                            start + 2 * k_title_loop_ms + 301};
    EXPECT_EQ(sim.sim_audio().starts_of("title.wav"), starts);
    EXPECT_EQ(music_started_at, starts.back());
}

// The loop length comes from the track number asked for: a looping title polled as the result
// track is counted on by the result's loop length and still never cut.
TEST_F(MusicTest, AnotherTrackNumberCountsByItsOwnLoopLengthAndLoadsNothing) {
    write_silent_wav("title.wav", k_title_loop_ms);
    write_silent_wav("result.wav", k_result_loop_ms);
    const std::uint64_t start = now();
    play_music(k_track_title);
    poll_at(k_track_result, {k_title_loop_ms + 1, k_result_loop_ms, k_result_loop_ms + 1});
    EXPECT_EQ(music_started_at, start + k_result_loop_ms);
    EXPECT_EQ(sim.sim_audio().count(AudioEvent::Kind::open, "result.wav"), 0U);
    EXPECT_EQ(sim.sim_audio().starts_of("title.wav"), std::vector<std::uint64_t>{start});
}

TEST_F(MusicTest, AStoppedTrackStartsFromItsBeginningOnTheNextPoll) {
    write_silent_wav("title.wav", k_title_loop_ms);
    const std::uint64_t start = now();
    play_music(k_track_title);
    sim.advance(3000);
    stop_music();
    play_music(k_track_title);
    EXPECT_EQ(sim.sim_audio().starts_of("title.wav"),
              (std::vector<std::uint64_t>{start, start + 3000}));
    EXPECT_EQ(music_started_at, start + 3000);
    EXPECT_TRUE(console.sound_loops(current_music));
}

// A screen that waits for SPACE (a page of the tutorial, the credits) sleeps until the key
// comes or the music needs it, as the title does, instead of waking every millisecond; the
// music is still started again at the very millisecond its loop has passed.
TEST_F(MusicTest, WaitingForSpaceWakesOnlyForTheKeyOrTheMusic) {
    constexpr std::uint64_t k_waiting_ms = 20'000;
    constexpr std::uint64_t k_wakes_per_second_at_most = 10;  // the title looks every 100 ms
    write_silent_wav("title.wav", 1000);
    write_silent_wav("kettei.wav", 10);
    std::uint64_t wakes = 0;
    sim.on_wait([&wakes](SimPlatform&) { ++wakes; });
    const std::uint64_t start = now();
    sim.tap(k_key_space, start + k_waiting_ms);
    wait_space(k_track_title);
    sim.clear_wait_looks();

    EXPECT_EQ(now(), start + k_waiting_ms);
    EXPECT_LE(wakes, k_waiting_ms / 1000 * k_wakes_per_second_at_most);
    const std::vector<std::uint64_t> starts{start, start + k_title_loop_ms + 1,
                                            start + 2 * (k_title_loop_ms + 1)};
    EXPECT_EQ(sim.sim_audio().starts_of("title.wav"), starts);
    EXPECT_EQ(sim.sim_audio().starts_of("kettei.wav"),
              std::vector<std::uint64_t>{start + k_waiting_ms});
}

}  // namespace
}  // namespace kal::test
