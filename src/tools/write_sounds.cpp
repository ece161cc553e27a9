// kaleidron-sounds: writes the game's own sound set as WAV files, so that players can listen
// to them or replace any of them. A WAV file of the same name in the folder that holds the
// game's Rank.dat (kaleidron --help says which) is played instead of the built-in sound.
//
//   kaleidron-sounds [DIR]          writes every sound into DIR (default ./sounds)
//   kaleidron-sounds --time NAME... renders the named sounds and prints how long each took

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <span>
#include <string_view>
#include <system_error>
#include <vector>

#include "sound/embedded_sounds.hpp"

namespace {

constexpr std::string_view k_default_dir = "sounds";
constexpr std::string_view k_time_option = "--time";

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

}  // namespace

int main(int argc, char** argv) {
    const std::span<char*> args(argv + 1, static_cast<std::size_t>(argc > 0 ? argc - 1 : 0));
    if (!args.empty() && args.front() == k_time_option) {
        return time_rendering(args.subspan(1));
    }
    if (args.size() > 1) {
        std::fprintf(stderr, "usage: kaleidron-sounds [DIR] | --time NAME...\n");
        return 2;
    }
    return write_all(args.empty() ? std::filesystem::path(k_default_dir) : args.front());
}
