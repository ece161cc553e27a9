// waveOut on whatever Wine has here, usually no sound device at all: every voice either opens
// and plays or comes back as 0, and no call ever hangs or fails loudly.

#include <gtest/gtest.h>

#include <vector>

#include "platform/windows/audio.hpp"

namespace kal {
namespace {

constexpr PcmFormat k_mono16{1, 48000, 16};

TEST(WaveOutAudioTest, AVoiceOpensAndPlaysOrTheMachineIsSilent) {
    const std::unique_ptr<AudioDevice> audio = make_waveout_audio();
    const std::vector<std::uint8_t> samples(48000 * 2 / 10, 0);
    for (const std::uint32_t loop_frames : {0U, 2400U}) {
        const std::uint32_t voice = audio->open_voice("beep.wav", k_mono16, samples, loop_frames);
        if (voice == 0) {
            EXPECT_FALSE(audio->restart(voice));
            continue;
        }
        EXPECT_TRUE(audio->restart(voice));
        EXPECT_TRUE(audio->restart(voice));  // from the first sample again, cutting the first
        EXPECT_TRUE(audio->stop(voice));
        audio->close(voice);
        EXPECT_FALSE(audio->restart(voice));
        EXPECT_FALSE(audio->stop(voice));
    }
}

TEST(WaveOutAudioTest, AFormatWithoutWholeFramesOrALoopLongerThanTheSoundOpensNothing) {
    const std::unique_ptr<AudioDevice> audio = make_waveout_audio();
    const std::vector<std::uint8_t> samples(100, 0);
    EXPECT_EQ(audio->open_voice("bad.wav", PcmFormat{0, 48000, 16}, samples, 0), 0U);
    EXPECT_EQ(audio->open_voice("bad.wav", PcmFormat{1, 0, 16}, samples, 0), 0U);
    EXPECT_EQ(audio->open_voice("bad.wav", k_mono16, samples, 51), 0U);
}

TEST(WaveOutAudioTest, HandlesAreNeverHandedOutTwice) {
    const std::unique_ptr<AudioDevice> audio = make_waveout_audio();
    const std::vector<std::uint8_t> samples(4800, 0);
    const std::uint32_t first = audio->open_voice("a.wav", k_mono16, samples, 0);
    if (first == 0) {
        GTEST_SKIP() << "no sound device";
    }
    audio->close(first);
    const std::uint32_t second = audio->open_voice("a.wav", k_mono16, samples, 0);
    EXPECT_NE(second, first);
    audio->close(second);
}

}  // namespace
}  // namespace kal
