#include "platform/posix/audio.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "sound/embedded_sounds.hpp"
#include "sound/wav_file.hpp"
#include "temp_directory.hpp"
#include "text_files.hpp"

extern char** environ;

namespace kal {
namespace {

using namespace std::chrono_literals;

constexpr std::string_view k_child_variable = "KALEIDRON_AUDIO_CHILD";
constexpr PcmFormat k_mono16{1, 48000, 16};

std::vector<std::uint8_t> samples_of(std::string_view name) {
    WavFile wav;
    if (wav.open_memory(find_embedded_sound(name)) != S_OK) {
        return {};
    }
    std::vector<std::uint8_t> samples(wav.data_size());
    std::uint32_t count = 0;
    wav.read(samples.data(), wav.data_size(), &count);
    return samples;
}

// --- What a child process does --------------------------------------------------------------

// Exit codes of the child without a device.
constexpr int k_made_a_voice = 2;
constexpr int k_too_slow = 3;

int child_without_device() {
    const std::vector<std::uint8_t> click = samples_of("kasoru.wav");
    const auto start = std::chrono::steady_clock::now();
    const auto audio = make_openal_audio();
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (audio->open_voice("kasoru.wav", k_mono16, click, 0) != 0) {
            return k_made_a_voice;
        }
    }
    return std::chrono::steady_clock::now() - start < 500ms ? 0 : k_too_slow;
}

// Plays the cursor click alone, then the title theme, into OpenAL's wave-file output, which
// renders in real time: the sleeps are the length of what gets written.
int child_playing_into_a_file() {
    const std::vector<std::uint8_t> title = samples_of("title.wav");
    std::vector<std::uint8_t> click = samples_of("kasoru.wav");
    click.push_back(0x7F);  // a torn last frame, which the voice must drop
    auto audio = make_openal_audio();
    const std::uint32_t click_voice = audio->open_voice("kasoru.wav", k_mono16, click, 0);
    const std::uint32_t title_voice = audio->open_voice("title.wav", k_mono16, title, 0);
    if (click_voice == 0 || title_voice == 0 || click_voice == title_voice) {
        return 2;
    }
    if (audio->open_voice("deep.wav", PcmFormat{1, 48000, 24}, title, 0) != 0) {
        return 3;
    }
    if (!audio->restart(click_voice)) {
        return 4;
    }
    std::this_thread::sleep_for(400ms);
    if (!audio->restart(title_voice)) {
        return 5;
    }
    std::this_thread::sleep_for(600ms);
    audio.reset();  // closing the device completes the file's header
    return 0;
}

// A tone of exactly 50 cycles in its first 100 ms, then 100 ms of silence that a voice looping
// over the tone must never reach.
constexpr std::uint32_t k_tone_frames = 4800;

std::vector<std::uint8_t> tone_then_silence() {
    constexpr double k_amplitude = 16000.0;
    std::vector<std::uint8_t> bytes;
    for (std::uint32_t frame = 0; frame < 2 * k_tone_frames; ++frame) {
        const double phase = 2.0 * std::numbers::pi * 50.0 * frame / k_tone_frames;
        const auto sample = static_cast<std::int16_t>(
            frame < k_tone_frames ? std::lround(k_amplitude * std::sin(phase)) : 0);
        bytes.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(sample) & 0xFFU));
        bytes.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(sample) >> 8U));
    }
    return bytes;
}

// Loops the tone for a second, starting it again half way through.
int child_looping_into_a_file() {
    auto audio = make_openal_audio();
    const std::vector<std::uint8_t> tone = tone_then_silence();
    if (audio->open_voice("loop.wav", k_mono16, tone, 3 * k_tone_frames) != 0) {
        return 2;  // more loop than there are frames
    }
    const std::uint32_t voice = audio->open_voice("loop.wav", k_mono16, tone, k_tone_frames);
    if (voice == 0 || !audio->restart(voice)) {
        return 3;
    }
    std::this_thread::sleep_for(530ms);
    if (!audio->restart(voice)) {
        return 4;
    }
    std::this_thread::sleep_for(500ms);
    audio.reset();
    return 0;
}

int run_child(std::string_view scenario) {
    if (scenario == "no-device") {
        return child_without_device();
    }
    if (scenario == "wave-file") {
        return child_playing_into_a_file();
    }
    if (scenario == "looping") {
        return child_looping_into_a_file();
    }
    return 100;
}

// OpenAL Soft reads its configuration once per process, so a check with a configuration of
// its own runs in a fresh copy of this test program. In such a copy this hook, which runs
// before main, does the child's part and ends the process.
[[maybe_unused]] const bool k_child_hook = [] {
    const char* scenario = std::getenv(std::string(k_child_variable).c_str());
    if (scenario != nullptr) {
        std::_Exit(run_child(scenario));
    }
    return true;
}();

// --- The test's side -----------------------------------------------------------------------

struct ChildRun {
    int exit_code = -1;
    std::string errors;  // everything the child wrote to stderr
};

// Runs a scenario in a copy of this program with a clean sound environment plus settings.
ChildRun run_in_child(std::string_view scenario, const std::vector<std::string>& settings,
                      const std::filesystem::path& dir) {
    std::vector<std::string> env;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view variable(*entry);
        if (!variable.starts_with("ALSOFT_") && !variable.starts_with("ALSA_CONFIG_PATH=") &&
            !variable.starts_with(k_child_variable)) {
            env.emplace_back(variable);
        }
    }
    env.push_back(std::string(k_child_variable) + "=" + std::string(scenario));
    env.insert(env.end(), settings.begin(), settings.end());
    std::vector<char*> envp;
    for (std::string& variable : env) {
        envp.push_back(variable.data());
    }
    envp.push_back(nullptr);
    std::string program = "/proc/self/exe";
    std::vector<char*> argv{program.data(), nullptr};
    const std::filesystem::path errors = dir / "stderr.txt";
    const int errors_fd = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const int null_fd = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(errors_fd, STDERR_FILENO);
        ::dup2(null_fd, STDOUT_FILENO);
        ::execve(program.c_str(), argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(errors_fd);
    ::close(null_fd);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, test::read_text(errors)};
}

struct NoDeviceCase {
    const char* name;
    std::vector<std::string> settings;
};

TEST(OpenAlAudio, WithoutDeviceEveryVoiceIsZeroAtOnceAndNothingIsPrinted) {
    const test::TempDirectory dir("kaleidron-al");
    // An empty ALSA configuration knows no "default" device, and ALSA and OpenAL both say so.
    std::ofstream(dir.path() / "alsa.conf").flush();
    const std::vector<NoDeviceCase> cases{
        {"no back-end at all", {"ALSOFT_DRIVERS=nosuch"}},
        {"ALSA without a device",
         {"ALSOFT_DRIVERS=alsa", "ALSA_CONFIG_PATH=" + (dir.path() / "alsa.conf").string()}},
    };
    for (const NoDeviceCase& c : cases) {
        const ChildRun run = run_in_child("no-device", c.settings, dir.path());
        EXPECT_NE(run.exit_code, k_made_a_voice) << c.name;
        EXPECT_NE(run.exit_code, k_too_slow) << c.name;
        EXPECT_EQ(run.exit_code, 0) << c.name;
        EXPECT_EQ(run.errors, "") << c.name;
    }
}

// The loudest sample, over all channels, in each 10 ms of 16-bit interleaved output.
std::vector<int> peaks_per_10ms(const std::vector<std::uint8_t>& bytes, std::size_t channels) {
    constexpr std::size_t k_frames_per_window = 480;
    const std::size_t window_bytes = k_frames_per_window * channels * 2;
    std::vector<int> peaks;
    for (std::size_t at = 0; at + window_bytes <= bytes.size(); at += window_bytes) {
        int peak = 0;
        for (std::size_t i = at; i < at + window_bytes; i += 2) {
            const auto sample = static_cast<std::int16_t>(bytes[i] | (bytes[i + 1] << 8U));
            peak = std::max(peak, std::abs(static_cast<int>(sample)));
        }
        peaks.push_back(peak);
    }
    return peaks;
}

// Runs a scenario that plays into OpenAL's wave-file output and returns the 16-bit stereo
// samples it wrote; empty when the run failed.
std::vector<std::uint8_t> recorded(std::string_view scenario) {
    const test::TempDirectory dir("kaleidron-al");
    const std::filesystem::path output = dir.path() / "recorded.wav";
    const std::filesystem::path config = dir.path() / "alsoft.conf";
    std::ofstream(config) << "[general]\ndrivers=wave\nchannels=stereo\nsample-type=int16\n"
                             "frequency=48000\n[wave]\nfile="
                          << output.string() << "\n";
    const ChildRun run = run_in_child(scenario, {"ALSOFT_CONF=" + config.string()}, dir.path());
    EXPECT_EQ(run.exit_code, 0) << scenario;
    EXPECT_EQ(run.errors, "") << scenario;
    WavFile wav;
    if (run.exit_code != 0 || wav.open(output.c_str()) != S_OK || wav.format()->channels != 2 ||
        wav.format()->bits_per_sample != 16) {
        ADD_FAILURE() << scenario << ": no stereo 16-bit recording";
        return {};
    }
    std::vector<std::uint8_t> bytes(wav.data_size());
    std::uint32_t count = 0;
    EXPECT_EQ(wav.read(bytes.data(), wav.data_size(), &count), S_OK);
    return bytes;
}

TEST(OpenAlAudio, CursorClickAndTitleThemeAreReallyMixed) {
    const std::vector<int> peaks = peaks_per_10ms(recorded("wave-file"), 2);
    // About one second was played: 400 ms from the click, 600 ms of the theme.
    EXPECT_GE(peaks.size(), 90U);
    EXPECT_LE(peaks.size(), 400U);

    const auto click =
        std::find_if(peaks.begin(), peaks.end(), [](int peak) { return peak > 2000; });
    ASSERT_NE(click, peaks.end()) << "the click never sounded";
    const auto window = [&](std::ptrdiff_t from_ms, std::ptrdiff_t to_ms) {
        const std::ptrdiff_t last = peaks.end() - click;
        return std::vector<int>(click + std::min(from_ms / 10, last),
                                click + std::min(to_ms / 10, last));
    };
    const std::vector<int> after_click = window(150, 330);
    ASSERT_FALSE(after_click.empty());
    EXPECT_LT(*std::max_element(after_click.begin(), after_click.end()), 100)
        << "the click is short and nothing else plays yet";
    const std::vector<int> theme = window(450, 900);
    ASSERT_FALSE(theme.empty());
    const auto sounding =
        std::count_if(theme.begin(), theme.end(), [](int peak) { return peak > 1000; });
    EXPECT_GT(sounding, static_cast<std::ptrdiff_t>(theme.size() * 8 / 10)) << "the theme plays on";
}

// The tone loops at exactly its 100 ms, with never a gap: neither the silence after the loop
// point nor a wait for anyone to start it again is ever heard, also after a restart.
TEST(OpenAlAudio, ALoopingVoiceGoesRoundItsLoopWithoutAGap) {
    const std::vector<int> peaks = peaks_per_10ms(recorded("looping"), 2);
    const auto onset =
        std::find_if(peaks.begin(), peaks.end(), [](int peak) { return peak > 2000; });
    ASSERT_NE(onset, peaks.end()) << "the tone never sounded";
    const std::ptrdiff_t sounding = peaks.end() - onset;
    ASSERT_GE(sounding, 90) << "about a second was played";
    // Panned to the middle of two channels, the tone peaks near 11300 on each.
    for (std::ptrdiff_t window = 2; window < 90; ++window) {
        EXPECT_GT(onset[window], 8000) << "10 ms window " << window << " after the start";
    }
}

}  // namespace
}  // namespace kal
