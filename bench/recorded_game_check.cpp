// The real game recorded through OpenAL's wave-file output while a player goes through the whole
// first stage, counts, answers and the clear fanfare included: the music never falls silent.
// The player is the benchmark's, which reads the scrolled digits off a pseudo-terminal; the
// recording runs in real time, so the check takes about a minute and a half.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "game_run.hpp"
#include "pty_terminal.hpp"
#include "temp_directory.hpp"

namespace kal::bench {
namespace {

using test::now_ns;
using test::TempDirectory;

constexpr std::int64_t k_ns_per_ms = 1'000'000;
constexpr std::int64_t k_sample_rate = 48000;
constexpr std::size_t k_channels = 2;
constexpr std::int64_t k_block_ms = 5;
constexpr double k_silence_dbfs = -40.0;
constexpr std::int64_t k_longest_allowed_ms = 30;
// The stage ends when the next level's announcement stops its music, about 3.5 s before the
// first count of that level (the music of the next stage starts a moment later, once it has
// been rendered). The margins are wider than the two clocks, the recording's and the
// terminal's, can be apart.
constexpr std::int64_t k_next_level_lead_ms = 4000;
constexpr std::int64_t k_margin_ms = 250;
constexpr int k_first_question_of_stage_2 = 7;

// The samples of the recording, the two channels averaged. The game ends by a signal, so
// OpenAL never fills in the sizes in the header: the data runs to the end of the file.
std::vector<float> recorded_samples(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const std::size_t data = bytes.find("data");
    std::vector<float> samples;
    if (data == std::string::npos) {
        return samples;
    }
    const std::size_t frame_bytes = 2 * k_channels;
    for (std::size_t at = data + 8; at + frame_bytes <= bytes.size(); at += frame_bytes) {
        float sum = 0.0F;
        for (std::size_t channel = 0; channel < k_channels; ++channel) {
            const auto low = static_cast<unsigned char>(bytes[at + 2 * channel]);
            const auto high = static_cast<unsigned char>(bytes[at + 2 * channel + 1]);
            sum += static_cast<float>(static_cast<std::int16_t>(low | (high << 8U))) / 32768.0F;
        }
        samples.push_back(sum / static_cast<float>(k_channels));
    }
    return samples;
}

double block_dbfs(const std::vector<float>& samples, std::size_t from, std::size_t count) {
    double sum = 0.0;
    for (std::size_t i = from; i < from + count; ++i) {
        sum += static_cast<double>(samples[i]) * samples[i];
    }
    return sum > 0.0 ? 10.0 * std::log10(sum / static_cast<double>(count)) : -200.0;
}

struct Stretch {
    std::int64_t longest_quiet_ms = 0;  // the longest run of 5 ms blocks below -40 dBFS
    double quietest_block_dbfs = 0.0;
    double seconds = 0.0;
};

Stretch measure(const std::vector<float>& samples, std::int64_t from_ms, std::int64_t to_ms) {
    Stretch stretch;
    const auto block = static_cast<std::size_t>(k_sample_rate * k_block_ms / 1000);
    const auto first = static_cast<std::size_t>(from_ms * k_sample_rate / 1000);
    const auto last =
        std::min(samples.size(), static_cast<std::size_t>(to_ms * k_sample_rate / 1000));
    std::int64_t quiet_ms = 0;
    stretch.quietest_block_dbfs = 0.0;
    for (std::size_t at = first; at + block <= last; at += block) {
        const double level = block_dbfs(samples, at, block);
        stretch.quietest_block_dbfs = std::min(stretch.quietest_block_dbfs, level);
        quiet_ms = level < k_silence_dbfs ? quiet_ms + k_block_ms : 0;
        stretch.longest_quiet_ms = std::max(stretch.longest_quiet_ms, quiet_ms);
    }
    stretch.seconds = static_cast<double>(last - std::min(first, last)) / k_sample_rate;
    return stretch;
}

TEST(RecordedGame, TheMusicNeverFallsSilentThroughAWholeStage) {
    const TempDirectory dir("kaleidron-rec");
    const std::filesystem::path recording = dir.path() / "game.wav";
    const std::filesystem::path config = dir.path() / "alsoft.conf";
    std::ofstream(config) << "[general]\ndrivers=wave\nchannels=stereo\nsample-type=int16\n"
                             "frequency=48000\n[wave]\nfile="
                          << recording.string() << "\n";
    RunOptions options;
    options.game = KALEIDRON_GAME;
    options.environment = {"ALSOFT_CONF=" + config.string(), "ALSOFT_DRIVERS=wave"};
    options.stop_after_question = k_first_question_of_stage_2;
    options.idle_seconds = 1;
    options.time_limit_seconds = 300;
    const RunRecord run = play_one_game(options);
    const std::int64_t ended_ns = now_ns();
    ASSERT_EQ(run.failure, "");
    ASSERT_GE(run.questions.size(), static_cast<std::size_t>(k_first_question_of_stage_2));
    for (int q = 0; q + 1 < k_first_question_of_stage_2; ++q) {
        ASSERT_TRUE(run.questions[static_cast<std::size_t>(q)].read_cleanly) << "question " << q;
    }

    const std::vector<float> samples = recorded_samples(recording);
    ASSERT_GT(samples.size(), static_cast<std::size_t>(30 * k_sample_rate));
    // The wave-file output writes in real time from the moment the game opened it until the
    // game was ended, just before the run returned.
    const std::int64_t recording_ms =
        static_cast<std::int64_t>(samples.size()) * 1000 / k_sample_rate;
    const std::int64_t started_ns = ended_ns - recording_ms * k_ns_per_ms;
    const auto at_ms = [&](std::int64_t ns) { return (ns - started_ns) / k_ns_per_ms; };
    const std::int64_t from_ms = at_ms(run.questions.front().announced_ns) + k_margin_ms;
    const std::int64_t to_ms = at_ms(run.questions[k_first_question_of_stage_2 - 1].announced_ns) -
                               k_next_level_lead_ms - k_margin_ms;
    ASSERT_GT(to_ms - from_ms, 20000) << "a whole stage";

    const Stretch stage = measure(samples, from_ms, to_ms);
    std::printf(
        "stage 1 over %.1f s: longest stretch below %.0f dBFS %lld ms, quietest %lld ms "
        "block %.1f dBFS\n",
        stage.seconds, k_silence_dbfs, static_cast<long long>(stage.longest_quiet_ms),
        static_cast<long long>(k_block_ms), stage.quietest_block_dbfs);
    EXPECT_LE(stage.longest_quiet_ms, k_longest_allowed_ms);
}

}  // namespace
}  // namespace kal::bench
