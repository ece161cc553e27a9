#include "tools/sound_measures.hpp"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <fstream>
#include <iterator>
#include <memory>
#include <numbers>

#include "sound/wav_file.hpp"

namespace kal {
namespace {

constexpr double k_block_ms = 400.0;        // a loudness block
constexpr double k_quiet_level = 1e-3;      // -60 dBFS
constexpr std::size_t k_frame_size = 4096;  // of the averaged power spectrum
constexpr std::size_t k_hop = k_frame_size / 2;

double to_db(double power_ratio) {
    return power_ratio > 0.0 ? 10.0 * std::log10(power_ratio) : k_silence_db;
}

std::size_t frames_of(const MonoSound& sound, double ms) {
    const auto frames = static_cast<std::size_t>(std::lround(ms * sound.sample_rate / 1000.0));
    return std::min(frames, sound.samples.size());
}

float sample_value(const std::uint8_t* bytes, std::uint16_t bits) {
    if (bits == 8) {
        return (static_cast<float>(bytes[0]) - 128.0F) / 128.0F;
    }
    const auto value = static_cast<std::int16_t>(bytes[0] | (bytes[1] << 8U));
    return static_cast<float>(value) / 32768.0F;
}

// In-place radix-2 transform; the size is a power of two.
void fft(std::vector<std::complex<double>>& data) {
    const std::size_t n = data.size();
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1U;
        for (; (j & bit) != 0; bit >>= 1U) {
            j ^= bit;
        }
        j ^= bit;
        if (i < j) {
            std::swap(data[i], data[j]);
        }
    }
    for (std::size_t length = 2; length <= n; length <<= 1U) {
        const double angle = -2.0 * std::numbers::pi / static_cast<double>(length);
        const std::complex<double> step(std::cos(angle), std::sin(angle));
        for (std::size_t start = 0; start < n; start += length) {
            std::complex<double> twiddle(1.0, 0.0);
            for (std::size_t k = 0; k < length / 2; ++k) {
                const std::complex<double> even = data[start + k];
                const std::complex<double> odd = data[start + k + length / 2] * twiddle;
                data[start + k] = even + odd;
                data[start + k + length / 2] = even - odd;
                twiddle *= step;
            }
        }
    }
}

double hann(std::size_t i, std::size_t size) {
    return 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(i) /
                                static_cast<double>(size));
}

// The power spectrum averaged over half-overlapping Hann-windowed frames, bins 0 to N/2.
std::vector<double> power_spectrum(const MonoSound& sound) {
    std::vector<double> power(k_frame_size / 2 + 1, 0.0);
    std::vector<std::complex<double>> frame(k_frame_size);
    const std::size_t count = sound.samples.size();
    for (std::size_t start = 0; start == 0 || start + k_frame_size <= count; start += k_hop) {
        for (std::size_t i = 0; i < k_frame_size; ++i) {
            const double value = start + i < count ? sound.samples[start + i] : 0.0;
            frame[i] = value * hann(i, k_frame_size);
        }
        fft(frame);
        for (std::size_t bin = 0; bin < power.size(); ++bin) {
            power[bin] += std::norm(frame[bin]);
        }
    }
    return power;
}

double bin_hz(const MonoSound& sound, std::size_t bin) {
    return static_cast<double>(bin) * sound.sample_rate / static_cast<double>(k_frame_size);
}

double mean_square(std::span<const float> samples) {
    double sum = 0.0;
    for (const float sample : samples) {
        sum += static_cast<double>(sample) * sample;
    }
    return samples.empty() ? 0.0 : sum / static_cast<double>(samples.size());
}

struct Ebur128Deleter {
    void operator()(ebur128_state* state) const { ebur128_destroy(&state); }
};

}  // namespace

std::optional<MonoSound> read_mono_sound(std::span<const std::uint8_t> wav) {
    WavFile file;
    if (file.open_memory(wav) != S_OK || file.format() == nullptr) {
        return std::nullopt;
    }
    const WaveFormat& format = *file.format();
    const std::uint16_t bits = format.bits_per_sample;
    if (format.format_tag != k_format_pcm || (bits != 8 && bits != 16) || format.channels == 0) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes(file.data_size());
    std::uint32_t count = 0;
    if (file.read(bytes.data(), file.data_size(), &count) != S_OK) {
        return std::nullopt;
    }
    const std::size_t sample_bytes = bits / 8U;
    const std::size_t frame_bytes = sample_bytes * format.channels;
    MonoSound sound{{}, format.samples_per_sec};
    sound.samples.reserve(count / frame_bytes);
    for (std::size_t at = 0; at + frame_bytes <= count; at += frame_bytes) {
        float sum = 0.0F;
        for (std::size_t channel = 0; channel < format.channels; ++channel) {
            sum += sample_value(&bytes[at + channel * sample_bytes], bits);
        }
        sound.samples.push_back(sum / static_cast<float>(format.channels));
    }
    return sound;
}

std::optional<MonoSound> read_mono_sound(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                          std::istreambuf_iterator<char>()};
    return read_mono_sound(bytes);
}

double peak_dbfs(std::span<const float> samples) {
    float peak = 0.0F;
    for (const float sample : samples) {
        peak = std::max(peak, std::abs(sample));
    }
    return to_db(static_cast<double>(peak) * peak);
}

double rms_dbfs(std::span<const float> samples) {
    return to_db(mean_square(samples));
}

double loudness_lufs(const MonoSound& sound) {
    const std::unique_ptr<ebur128_state, Ebur128Deleter> state(
        ebur128_init(1, sound.sample_rate, EBUR128_MODE_I));
    if (!state || sound.samples.empty()) {
        return k_silence_db;
    }
    const double length_ms = sound.length_ms();
    if (length_ms >= k_block_ms) {
        ebur128_add_frames_float(state.get(), sound.samples.data(), sound.samples.size());
        double lufs = k_silence_db;
        ebur128_loudness_global(state.get(), &lufs);
        return std::isfinite(lufs) ? lufs : k_silence_db;
    }
    // Shorter than a block: the mean over the sound, padded with silence to a whole millisecond
    // since the window is counted in milliseconds.
    const auto window_ms = static_cast<unsigned long>(std::ceil(length_ms));
    std::vector<float> padded = sound.samples;
    padded.resize(window_ms * sound.sample_rate / 1000U, 0.0F);
    ebur128_add_frames_float(state.get(), padded.data(), padded.size());
    double lufs = k_silence_db;
    ebur128_loudness_window(state.get(), window_ms, &lufs);
    // The window's mean ran over the padded length; the sound's own length is what counts.
    lufs += to_db(static_cast<double>(padded.size()) / static_cast<double>(sound.samples.size()));
    return std::isfinite(lufs) ? lufs : k_silence_db;
}

double energy_above_db(const MonoSound& sound, double frequency_hz) {
    const std::vector<double> power = power_spectrum(sound);
    double total = 0.0;
    double above = 0.0;
    for (std::size_t bin = 0; bin < power.size(); ++bin) {
        total += power[bin];
        above += bin_hz(sound, bin) >= frequency_hz ? power[bin] : 0.0;
    }
    return total > 0.0 ? to_db(above / total) : k_silence_db;
}

double spectral_centroid_hz(const MonoSound& sound) {
    const std::vector<double> power = power_spectrum(sound);
    double total = 0.0;
    double weighted = 0.0;
    for (std::size_t bin = 0; bin < power.size(); ++bin) {
        total += power[bin];
        weighted += power[bin] * bin_hz(sound, bin);
    }
    return total > 0.0 ? weighted / total : 0.0;
}

double quiet_end_ms(const MonoSound& sound) {
    const auto last_loud =
        std::find_if(sound.samples.rbegin(), sound.samples.rend(),
                     [](float sample) { return std::abs(sample) >= k_quiet_level; });
    const auto quiet = static_cast<double>(last_loud - sound.samples.rbegin());
    return sound.sample_rate == 0 ? 0.0 : 1000.0 * quiet / sound.sample_rate;
}

double start_level_dbfs(const MonoSound& sound, double ms) {
    return rms_dbfs(std::span(sound.samples).first(frames_of(sound, ms)));
}

double end_level_dbfs(const MonoSound& sound, double ms) {
    return rms_dbfs(std::span(sound.samples).last(frames_of(sound, ms)));
}

double quietest_dbfs(const MonoSound& sound, double ms, bool wrap) {
    const std::size_t count = sound.samples.size();
    const std::size_t window = frames_of(sound, ms);
    if (window == 0) {
        return k_silence_db;
    }
    const auto square = [&](std::size_t i) {
        const double value = sound.samples[i % count];
        return value * value;
    };
    double sum = 0.0;
    for (std::size_t i = 0; i < window; ++i) {
        sum += square(i);
    }
    double quietest = sum;
    const std::size_t last_start = wrap ? count - 1 : count - window;
    for (std::size_t start = 1; start <= last_start; ++start) {
        sum += square(start + window - 1) - square(start - 1);
        quietest = std::min(quietest, sum);
    }
    return to_db(std::max(quietest, 0.0) / static_cast<double>(window));
}

double tone_level_db(std::span<const float> samples, std::uint32_t sample_rate,
                     double frequency_hz) {
    std::complex<double> sum(0.0, 0.0);
    double window_sum = 0.0;
    const double step = 2.0 * std::numbers::pi * frequency_hz / sample_rate;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const double weight = hann(i, samples.size());
        const double phase = step * static_cast<double>(i);
        sum += weight * static_cast<double>(samples[i]) *
               std::complex<double>(std::cos(phase), -std::sin(phase));
        window_sum += weight;
    }
    // A sine of amplitude 1 gives |sum| = window_sum / 2.
    const double amplitude = window_sum > 0.0 ? 2.0 * std::abs(sum) / window_sum : 0.0;
    return to_db(amplitude * amplitude);
}

}  // namespace kal
