// kaleidron-sound-report: the game's sound set measured as a listener meets it, against the
// figures the set is held to.
//
//   kaleidron-sound-report [DIR]   measures the WAV files in DIR (the built-in set without DIR)
//
// Per sound: length, loop length, the quiet stretch at its end, peak, loudness, the energy at
// and above 16 kHz, and the level of the last and the first 150 ms (where a loop joins); per
// music track also its notes and drum hits per second, the register of its lead, its brightness
// and its quietest 30 ms. A figure off its target is marked with '!' and makes the exit status 1.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sound/embedded_sounds.hpp"
#include "sound/scores.hpp"
#include "tools/sound_measures.hpp"

namespace kal {
namespace {

constexpr double k_peak_limit_dbfs = -1.0;
constexpr double k_loudness_tolerance_db = 1.0;
constexpr double k_top_band_hz = 16000.0;
constexpr double k_top_band_limit_db = -30.0;
constexpr double k_seam_ms = 150.0;
constexpr double k_seam_floor_dbfs = -40.0;
constexpr double k_quietest_window_ms = 30.0;
constexpr double k_fanfare_limit_ms = 900.0;
constexpr std::string_view k_fanfare = "kuria.wav";
constexpr double k_last_stage_busier = 1.5;

const char* kind_name(SoundKind kind) {
    switch (kind) {
        case SoundKind::music:
            return "music";
        case SoundKind::jingle:
            return "jingle";
        case SoundKind::effect:
            break;
    }
    return "effect";
}

struct Figures {
    const SoundScore* score = nullptr;
    MonoSound sound;
    double peak = 0.0;
    double loudness = 0.0;
    double top_band = 0.0;
    double quiet_end = 0.0;
    double seam_end = 0.0;
    double seam_start = 0.0;
    // Music only.
    double events_per_second = 0.0;
    double lead_key = 0.0;
    double centroid = 0.0;
    double quietest = 0.0;
};

// Every note and drum hit of the track, per second of its loop.
double events_per_second(const Score& score) {
    std::size_t events = 0;
    for (const Part& part : score.parts) {
        if (const auto notes = parse_notes(part.notes)) {
            events += notes->notes.size();
        }
    }
    return score.loop_ms == 0 ? 0.0 : 1000.0 * static_cast<double>(events) / score.loop_ms;
}

// The mean key of the first part, the lead, in MIDI numbers (o4 a is 69).
double lead_key(const Score& score) {
    if (score.parts.empty()) {
        return 0.0;
    }
    const auto notes = parse_notes(score.parts.front().notes);
    if (!notes || notes->notes.empty()) {
        return 0.0;
    }
    double sum = 0.0;
    for (const NoteEvent& note : notes->notes) {
        sum += note.key;
    }
    return sum / static_cast<double>(notes->notes.size());
}

std::optional<MonoSound> load(const SoundScore& score, const std::string& dir) {
    if (dir.empty()) {
        return read_mono_sound(find_embedded_sound(score.name));
    }
    return read_mono_sound(dir + "/" + std::string(score.name));
}

Figures measure(const SoundScore& score, MonoSound sound) {
    Figures f;
    f.score = &score;
    f.sound = std::move(sound);
    f.peak = peak_dbfs(f.sound.samples);
    f.loudness = loudness_lufs(f.sound);
    f.top_band = energy_above_db(f.sound, k_top_band_hz);
    f.quiet_end = quiet_end_ms(f.sound);
    f.seam_end = end_level_dbfs(f.sound, k_seam_ms);
    f.seam_start = start_level_dbfs(f.sound, k_seam_ms);
    if (score.kind == SoundKind::music) {
        f.events_per_second = events_per_second(score.score);
        f.lead_key = lead_key(score.score);
        f.centroid = spectral_centroid_hz(f.sound);
        f.quietest = quietest_dbfs(f.sound, k_quietest_window_ms, true);
    }
    return f;
}

bool is_stage(const Figures& f) {
    return f.score->name.starts_with("stage");
}

class Checks {
public:
    // Returns the mark to print beside the figure.
    const char* mark(bool on_target) {
        misses_ += on_target ? 0 : 1;
        return on_target ? " " : "!";
    }
    [[nodiscard]] int misses() const { return misses_; }

private:
    int misses_ = 0;
};

void print_sounds(const std::vector<Figures>& all, Checks& checks) {
    std::printf("%-12s %-6s %8s %6s %7s %7s %8s %7s %7s %6s %7s\n", "sound", "kind", "length",
                "loop", "quiet", "peak", "loudness", "target", ">16kHz", "seam", "");
    std::printf("%-12s %-6s %8s %6s %7s %7s %8s %7s %7s %6s %7s\n", "", "", "ms", "ms", "end ms",
                "dBFS", "LUFS", "LUFS", "dB", "end", "start");
    for (const Figures& f : all) {
        const SoundKind kind = f.score->kind;
        const double target = loudness_target_lufs(kind);
        const bool music = kind == SoundKind::music;
        const bool fanfare = f.score->name == k_fanfare;
        const double sound_ends = f.sound.length_ms() - f.quiet_end;
        char loop[16] = "-";
        if (music) {
            std::snprintf(loop, sizeof loop, "%u", f.score->score.loop_ms);
        }
        std::printf("%-12.*s %-6s %8.1f %6s %6.0f%s %6.1f%s %7.1f%s %7.0f %6.1f%s",
                    static_cast<int>(f.score->name.size()), f.score->name.data(), kind_name(kind),
                    f.sound.length_ms(), loop, f.quiet_end,
                    checks.mark(!fanfare || sound_ends <= k_fanfare_limit_ms), f.peak,
                    checks.mark(f.peak <= k_peak_limit_dbfs), f.loudness,
                    checks.mark(std::abs(f.loudness - target) <= k_loudness_tolerance_db), target,
                    f.top_band, checks.mark(f.top_band <= k_top_band_limit_db));
        if (music) {
            std::printf(" %5.1f%s %6.1f%s\n", f.seam_end,
                        checks.mark(f.seam_end >= k_seam_floor_dbfs), f.seam_start,
                        checks.mark(f.seam_start >= k_seam_floor_dbfs));
        } else {
            std::printf(" %6s %7s\n", "-", "-");
        }
    }
}

void print_music(const std::vector<Figures>& all, Checks& checks) {
    std::printf("\n%-12s %9s %8s %10s %9s\n", "music", "events/s", "lead key", "brightness",
                "quietest");
    std::printf("%-12s %9s %8s %10s %9s\n", "", "", "(MIDI)", "Hz", "30ms dBFS");
    const Figures* previous_stage = nullptr;
    const Figures* first_stage = nullptr;
    for (const Figures& f : all) {
        if (f.score->kind != SoundKind::music) {
            continue;
        }
        const bool stage = is_stage(f);
        const bool rises = !stage || previous_stage == nullptr ||
                           f.events_per_second >= previous_stage->events_per_second;
        const bool higher =
            !stage || previous_stage == nullptr || f.lead_key >= previous_stage->lead_key;
        const bool brighter =
            !stage || previous_stage == nullptr || f.centroid >= previous_stage->centroid;
        std::printf("%-12.*s %8.1f%s %7.1f%s %9.0f%s %8.1f%s\n",
                    static_cast<int>(f.score->name.size()), f.score->name.data(),
                    f.events_per_second, checks.mark(rises), f.lead_key, checks.mark(higher),
                    f.centroid, checks.mark(brighter), f.quietest,
                    checks.mark(f.quietest >= k_seam_floor_dbfs));
        if (stage) {
            first_stage = first_stage == nullptr ? &f : first_stage;
            previous_stage = &f;
        }
    }
    if (first_stage != nullptr && previous_stage != first_stage) {
        const double ratio = previous_stage->events_per_second / first_stage->events_per_second;
        std::printf("last stage against the first: %.2f times as busy%s\n", ratio,
                    checks.mark(ratio >= k_last_stage_busier));
    }
}

// The music's peak and the two loudest effects' peaks, added as they may meet in the mix.
void print_headroom(const std::vector<Figures>& all, Checks& checks) {
    double music_peak = 0.0;
    std::vector<double> effect_peaks;
    for (const Figures& f : all) {
        const double linear = std::pow(10.0, f.peak / 20.0);
        if (f.score->kind == SoundKind::music) {
            music_peak = std::max(music_peak, linear);
        } else if (f.score->kind == SoundKind::effect) {
            effect_peaks.push_back(linear);
        }
    }
    std::sort(effect_peaks.begin(), effect_peaks.end(), std::greater<>());
    effect_peaks.resize(2, 0.0);
    const double sum = music_peak + effect_peaks[0] + effect_peaks[1];
    std::printf("\nmusic peak + two loudest effect peaks: %.3f of full scale (%.1f dBFS)%s\n", sum,
                20.0 * std::log10(sum), checks.mark(sum < 1.0));
}

}  // namespace
}  // namespace kal

int main(int argc, char** argv) {
    const std::string dir = argc > 1 ? argv[1] : "";
    std::vector<kal::Figures> all;
    for (const kal::SoundScore& score : kal::sound_scores()) {
        std::optional<kal::MonoSound> sound = kal::load(score, dir);
        if (!sound) {
            std::fprintf(stderr, "kaleidron-sound-report: cannot read %.*s\n",
                         static_cast<int>(score.name.size()), score.name.data());
            return 2;
        }
        all.push_back(kal::measure(score, std::move(*sound)));
    }
    kal::Checks checks;
    kal::print_sounds(all, checks);
    kal::print_music(all, checks);
    kal::print_headroom(all, checks);
    if (checks.misses() == 0) {
        std::printf("every figure on target\n");
        return 0;
    }
    std::printf("%d figures off target (marked !)\n", checks.misses());
    return 1;
}
