// kaleidron-sounds: writes the game's own sound set as WAV files, so that players can listen
// to them or replace any of them. A WAV file of the same name in the folder that holds the
// game's Rank.dat (kaleidron --help says which) is played instead of the built-in sound.
//
//   kaleidron-sounds [DIR]          writes every sound into DIR (default ./sounds)
//   kaleidron-sounds --time NAME... renders the named sounds and prints how long each took
//   kaleidron-sounds --levels FILE  measures the loudness of every sound and writes the levels
//                                   that bring each to its target into FILE (the game's
//                                   src/sound/sound_levels.inc)

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "sound/embedded_sounds.hpp"
#include "sound/scores.hpp"
#include "sound/sound_levels.hpp"
#include "sound/synth.hpp"
#include "tools/sound_measures.hpp"

namespace {

constexpr std::string_view k_default_dir = "sounds";
constexpr std::string_view k_time_option = "--time";
constexpr std::string_view k_levels_option = "--levels";
constexpr double k_level_precision_db = 0.005;
constexpr int k_level_rounds = 4;
constexpr double k_peak_limit_dbfs = -1.0;

bool write_file(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out.flush());
}

int write_all(const std::filesystem::path& dir) {
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (error) {
        std::fprintf(stderr, "kaleidron-sounds: cannot create %s: %s\n", dir.c_str(),
                     error.message().c_str());
        return 1;
    }
    for (const std::string_view name : kal::embedded_sound_names()) {
        const std::filesystem::path path = dir / name;
        if (!write_file(path, kal::find_embedded_sound(name))) {
            std::fprintf(stderr, "kaleidron-sounds: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    std::printf("wrote %zu sounds to %s\n", kal::embedded_sound_names().size(), dir.c_str());
    return 0;
}

// What the game pays when a screen first loads these sounds: each is rendered on first
// request, so the time is taken before anything else has asked for them. The processor time
// is shown beside the wall-clock time, which a busy machine stretches.
int time_rendering(std::span<char*> names) {
    using Clock = std::chrono::steady_clock;
    using Milliseconds = std::chrono::duration<double, std::milli>;
    const auto cpu_ms = [] { return 1000.0 * static_cast<double>(std::clock()) / CLOCKS_PER_SEC; };
    const Clock::time_point all_start = Clock::now();
    const double all_cpu_start = cpu_ms();
    for (const char* name : names) {
        const Clock::time_point start = Clock::now();
        const double cpu_start = cpu_ms();
        if (kal::find_embedded_sound(name).empty()) {
            std::fprintf(stderr, "kaleidron-sounds: no sound named %s\n", name);
            return 1;
        }
        std::printf("%-12s %7.1f ms  (processor %6.1f ms)\n", name,
                    Milliseconds(Clock::now() - start).count(), cpu_ms() - cpu_start);
    }
    std::printf("%-12s %7.1f ms  (processor %6.1f ms)\n", "total",
                Milliseconds(Clock::now() - all_start).count(), cpu_ms() - all_cpu_start);
    return 0;
}

kal::MonoSound mono(const std::vector<std::int16_t>& pcm) {
    kal::MonoSound sound{{}, kal::k_sample_rate};
    sound.samples.reserve(pcm.size());
    for (const std::int16_t sample : pcm) {
        sound.samples.push_back(static_cast<float>(sample) / 32768.0F);
    }
    return sound;
}

struct LimiterWork {
    double most_taken_db = 0.0;  // the most the limiter took off, over any millisecond
    double over_one_db = 0.0;    // the part of the time it took off more than 1 dB
};

// How hard the limiter worked on the sound: the sound with its ceiling against the same sound
// without one, millisecond by millisecond.
LimiterWork limiter_work(const kal::SoundScore& sound, double level) {
    kal::Score free = sound.score;
    free.ceiling_dbfs = 0.0F;
    const kal::MonoSound held = mono(kal::render(sound.score, static_cast<float>(level)));
    const kal::MonoSound unheld = mono(kal::render(free, static_cast<float>(level)));
    constexpr std::size_t k_block = kal::k_sample_rate / 1000;
    LimiterWork work;
    std::size_t blocks = 0;
    std::size_t over = 0;
    for (std::size_t at = 0; at + k_block <= held.samples.size(); at += k_block) {
        const std::span<const float> before(unheld.samples.data() + at, k_block);
        const std::span<const float> after(held.samples.data() + at, k_block);
        const double taken = kal::rms_dbfs(after) - kal::rms_dbfs(before);
        ++blocks;
        over += taken < -1.0 ? 1 : 0;
        work.most_taken_db = std::max(work.most_taken_db, -taken);
    }
    work.over_one_db = blocks == 0 ? 0.0 : static_cast<double>(over) / static_cast<double>(blocks);
    return work;
}

// Loudness scales with the level, so a round or two settles it; the rounding to 16 bits is all
// that moves it further.
double level_on_target(const kal::SoundScore& sound) {
    const double target = kal::loudness_target_lufs(sound.kind);
    double level = kal::sound_level_db(sound.name);
    for (int round = 0; round < k_level_rounds; ++round) {
        const kal::MonoSound rendered = mono(kal::render(sound.score, static_cast<float>(level)));
        const double off = target - kal::loudness_lufs(rendered);
        level += off;
        if (std::abs(off) < k_level_precision_db) {
            break;
        }
    }
    const kal::MonoSound rendered = mono(kal::render(sound.score, static_cast<float>(level)));
    const double peak = kal::peak_dbfs(rendered.samples);
    const LimiterWork work = limiter_work(sound, level);
    std::printf(
        "%-12.*s %+7.2f dB  %6.1f LUFS  peak %5.1f dBFS  held %4.1f dB at most, more "
        "than 1 dB %4.1f%% of the time%s\n",
        static_cast<int>(sound.name.size()), sound.name.data(), level, kal::loudness_lufs(rendered),
        peak, work.most_taken_db, 100.0 * work.over_one_db,
        peak > k_peak_limit_dbfs ? "  louder than the peak limit" : "");
    return level;
}

int write_levels(const char* path) {
    std::string table =
        "// Written by `make sound-levels` (kaleidron-sounds --levels): the level of each sound "
        "that brings\n// it to its loudness target. Change the scores and run it again rather "
        "than editing the figures.\n";
    for (const kal::SoundScore& sound : kal::sound_scores()) {
        char line[96];
        std::snprintf(line, sizeof line, "SoundLevel{\"%.*s\", %.2fF},\n",
                      static_cast<int>(sound.name.size()), sound.name.data(),
                      level_on_target(sound));
        table += line;
    }
    const std::span bytes(reinterpret_cast<const std::uint8_t*>(table.data()), table.size());
    if (!write_file(path, bytes)) {
        std::fprintf(stderr, "kaleidron-sounds: cannot write %s\n", path);
        return 1;
    }
    std::printf("wrote the levels to %s\n", path);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::span<char*> args(argv + 1, static_cast<std::size_t>(argc > 0 ? argc - 1 : 0));
    if (!args.empty() && args.front() == k_time_option) {
        return time_rendering(args.subspan(1));
    }
    if (args.size() == 2 && args.front() == k_levels_option) {
        return write_levels(args[1]);
    }
    if (args.size() > 1) {
        std::fprintf(stderr, "usage: kaleidron-sounds [DIR] | --time NAME... | --levels FILE\n");
        return 2;
    }
    return write_all(args.empty() ? std::filesystem::path(k_default_dir) : args.front());
}
