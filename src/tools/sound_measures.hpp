#pragma once

// What a listener meets in a sound, measured from its samples: peak, loudness (K-weighted and
// gated, the EBU R128 way, with libebur128), how much of it lies in the top octaves, how bright
// it is, how loud it is at its ends and at its quietest. The sound report and the tests that
// guard the sound set measure with these, so both see the same figures.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kal {

// A sound as floating-point samples in [-1, 1], its channels mixed down to one.
struct MonoSound {
    std::vector<float> samples;
    std::uint32_t sample_rate = 0;

    [[nodiscard]] double length_ms() const {
        return sample_rate == 0 ? 0.0 : 1000.0 * static_cast<double>(samples.size()) / sample_rate;
    }
};

// A RIFF/WAVE image of 8- or 16-bit PCM; nothing when it cannot be read.
std::optional<MonoSound> read_mono_sound(std::span<const std::uint8_t> wav);
std::optional<MonoSound> read_mono_sound(const std::string& path);

// Levels in dB relative to full scale; a silent stretch comes out as k_silence_db.
inline constexpr double k_silence_db = -200.0;
double peak_dbfs(std::span<const float> samples);
double rms_dbfs(std::span<const float> samples);

// Integrated loudness in LUFS: gated over 400 ms blocks for a sound of one block or more, and
// for a shorter one the K-weighted mean square over the whole sound.
double loudness_lufs(const MonoSound& sound);

// The energy at and above the given frequency relative to the whole, in dB (averaged power
// spectrum).
double energy_above_db(const MonoSound& sound, double frequency_hz);

// The centre of gravity of the power spectrum, in Hz: how bright the sound is.
double spectral_centroid_hz(const MonoSound& sound);

// How long the sound stays quieter than -60 dBFS at its end, in ms.
double quiet_end_ms(const MonoSound& sound);

// The RMS level of the first and of the last stretch of the given length.
double start_level_dbfs(const MonoSound& sound, double ms);
double end_level_dbfs(const MonoSound& sound, double ms);

// The RMS level of the quietest stretch of the given length; with wrap, a stretch may run over
// the end into the start, as a looping sound is heard.
double quietest_dbfs(const MonoSound& sound, double ms, bool wrap);

// The power of one frequency in a stretch of samples, relative to a full-scale sine, in dB
// (a Hann-windowed single-bin transform).
double tone_level_db(std::span<const float> samples, std::uint32_t sample_rate,
                     double frequency_hz);

}  // namespace kal
