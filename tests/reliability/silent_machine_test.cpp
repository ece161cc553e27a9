// The game on a machine without a sound device (a server, SSH, CI): every sound stays silent,
// and the waiting loops, which ask for the music every millisecond, do not read the music
// again and again.

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "game_fixture.hpp"
#include "screens/credits.hpp"
#include "screens/ranking_board.hpp"
#include "shell/music.hpp"
#include "watched_terminal.hpp"

namespace kal::test {
namespace {

// No device: every voice is refused, and each request is counted by sound name.
class NoSoundDevice final : public AudioDevice {
public:
    std::uint32_t open_voice(std::string_view name, const PcmFormat& /*format*/,
                             std::span<const std::uint8_t> /*samples*/,
                             std::uint32_t /*loop_frames*/) override {
        ++requests[std::string(name)];
        return 0;
    }
    bool restart(std::uint32_t /*voice*/) override { return false; }
    bool stop(std::uint32_t /*voice*/) override { return false; }
    void close(std::uint32_t /*voice*/) override {}

    std::map<std::string, int> requests;
};

class SilentMachineTest : public GameTest {
protected:
    void SetUp() override {
        GameTest::SetUp();
        terminal.use_audio(device);
        console.attach(terminal, terminal.terminal());
        console.set_traits({AmbiguousWidth::narrow, true, false});
    }

    NoSoundDevice device;
    WatchedTerminal terminal{sim};
};

TEST_F(SilentMachineTest, WaitingForSpaceOnTheBoardAsksForTheTitleMusicOnce) {
    tap(k_key_space, now() + 5000);
    EXPECT_EQ(ranking_board(), Screen::title);
    EXPECT_EQ(device.requests["title.wav"], 1);
    EXPECT_TRUE(sim.shows("Press SPACE KEY."));
}

TEST_F(SilentMachineTest, AnotherTrackIsAskedForAgainAfterTheSwitch) {
    play_music(k_track_title);
    play_music(k_track_title);
    stop_music();
    play_music(k_track_result);
    stop_music();
    play_music(k_track_title);
    EXPECT_EQ(device.requests["title.wav"], 2);
    EXPECT_EQ(device.requests["result.wav"], 1);
    EXPECT_EQ(current_music, 0U);
}

TEST_F(SilentMachineTest, CreditsStillWaitForSpaceWithoutSound) {
    tap(k_key_space, now() + 3000);
    EXPECT_EQ(credits_screen(), Screen::title);
    EXPECT_GE(now(), 3000U);
    EXPECT_EQ(device.requests["title.wav"], 1);
}

}  // namespace
}  // namespace kal::test
