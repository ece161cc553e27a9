// A sound written by a program that streams WAV to a pipe (sox, arecord, espeak-ng to standard
// output), put in place of one of the game's sounds: its header claims nearly 2 GiB of
// samples, and the game plays the samples that are there. A file that really holds more than
// any sound of the game stays silent, as before.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <string>

#include "game_fixture.hpp"
#include "watched_terminal.hpp"

namespace kal::test {
namespace {

// Takes every voice and keeps how many sample bytes it was given, by sound name.
class SampleCounter final : public AudioDevice {
public:
    std::uint32_t open_voice(std::string_view name, const PcmFormat& /*format*/,
                             std::span<const std::uint8_t> samples,
                             std::uint32_t /*loop_frames*/) override {
        sample_bytes[std::string(name)] = samples.size();
        return ++voices_;
    }
    bool restart(std::uint32_t /*voice*/) override { return true; }
    bool stop(std::uint32_t /*voice*/) override { return true; }
    void close(std::uint32_t /*voice*/) override {}

    std::map<std::string, std::size_t> sample_bytes;

private:
    std::uint32_t voices_ = 0;
};

class StreamedSoundTest : public GameTest {
protected:
    void SetUp() override {
        GameTest::SetUp();
        terminal.use_audio(device);
        console.attach(terminal, terminal.terminal());
    }

    SampleCounter device;
    WatchedTerminal terminal{sim};
};

TEST_F(StreamedSoundTest, ASoundWrittenToAPipePlaysTheSamplesThatAreThere) {
    if (std::system("command -v sox >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "sox is not installed";
    }
    ASSERT_EQ(std::system("sox -n -r 48000 -b 16 -c 2 -t wav - synth 0.5 sine 440 2>/dev/null "
                          "| cat > title.wav"),
              0);
    EXPECT_NE(console.load_sound("title.wav"), 0U);
    EXPECT_EQ(device.sample_bytes["title.wav"], 96000U);
}

TEST_F(StreamedSoundTest, AStreamedFileHoldingMoreThanAnySoundOfTheGameStaysSilent) {
    constexpr unsigned char header[] = {
        'R', 'I', 'F', 'F', 0x24, 0xf0, 0xff, 0x7f, 'W', 'A',  'V',  'E',  'f',  'm', 't',
        ' ', 16,  0,   0,   0,    1,    0,    1,    0,   0x80, 0xbb, 0,    0,    0,   0x77,
        1,   0,   2,   0,   16,   0,    'd',  'a',  't', 'a',  0x00, 0xf0, 0xff, 0x7f};
    {
        std::ofstream out("title.wav", std::ios::binary);
        out.write(reinterpret_cast<const char*>(header), sizeof(header));
    }
    // 64 MiB and a frame of samples, as a hole in the file that costs no disk.
    ASSERT_EQ(
        ::truncate("title.wav", static_cast<off_t>(sizeof(header) + 64U * 1024U * 1024U + 2U)), 0);
    console.load_sound("title.wav");
    EXPECT_EQ(device.sample_bytes["title.wav"], 0U);
}

}  // namespace
}  // namespace kal::test
