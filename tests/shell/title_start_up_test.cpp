#include <gtest/gtest.h>

#include <string>

#include "game_fixture.hpp"
#include "shell/screen_flow.hpp"
#include "shell/title_screen.hpp"
#include "watched_terminal.hpp"

namespace kal::test {
namespace {

constexpr std::string_view k_first_menu_line =
    "ノーマルモード／全6ステージをクリアしていく基本のモード";

// The simulated sound output, noting whether the whole title stood on the screen when the first
// sound was loaded.
class WatchedAudio final : public AudioDevice {
public:
    explicit WatchedAudio(SimPlatform& sim) : sim_(sim) {}

    std::uint32_t open_voice(std::string_view name, const PcmFormat& format,
                             std::span<const std::uint8_t> samples,
                             std::uint32_t loop_frames) override {
        if (!first_load_seen) {
            first_load_seen = true;
            title_stood_at_first_load = sim_.shows("[SPACE]") && sim_.shows(k_first_menu_line);
        }
        return sim_.sim_audio().open_voice(name, format, samples, loop_frames);
    }
    bool restart(std::uint32_t voice) override { return sim_.sim_audio().restart(voice); }
    bool stop(std::uint32_t voice) override { return sim_.sim_audio().stop(voice); }
    void close(std::uint32_t voice) override { sim_.sim_audio().close(voice); }

    bool first_load_seen = false;
    bool title_stood_at_first_load = false;

private:
    SimPlatform& sim_;
};

class TitleStartUpTest : public GameTest {
protected:
    void SetUp() override {
        GameTest::SetUp();
        platform.use_audio(audio);
        console.attach(platform, platform.terminal());
        console.set_traits({AmbiguousWidth::narrow, true, false});
    }

    WatchedAudio audio{sim};
    WatchedTerminal platform{sim};
};

// Opening the sound output and rendering the built-in sounds take longer than drawing: the
// title, its menu line included, is on the screen before either begins.
TEST_F(TitleStartUpTest, TheWholeTitleIsOnTheScreenBeforeItsFirstSoundLoads) {
    tap(k_key_space, now() + 500);
    EXPECT_EQ(title_screen(), Screen::normal_mode);
    ASSERT_TRUE(audio.first_load_seen);
    EXPECT_TRUE(audio.title_stood_at_first_load);
}

}  // namespace
}  // namespace kal::test
