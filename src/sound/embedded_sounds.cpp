#include "sound/embedded_sounds.hpp"

#include <mutex>
#include <string_view>

#include "sound/scores.hpp"
#include "sound/sound_levels.hpp"
#include "sound/synth.hpp"
#include "sound/wav_file.hpp"

namespace kal {
namespace {

constexpr std::uint16_t k_bits_per_sample = 16;
constexpr std::uint32_t k_fmt_bytes = 16;
constexpr std::uint32_t k_header_bytes = 44;

void put_u16(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFFU));
    out.push_back(static_cast<std::uint8_t>(value >> 8U));
}

void put_u32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    put_u16(out, static_cast<std::uint16_t>(value & 0xFFFFU));
    put_u16(out, static_cast<std::uint16_t>(value >> 16U));
}

void put_id(std::vector<std::uint8_t>& out, std::string_view id) {
    out.insert(out.end(), id.begin(), id.end());
}

// The images, rendered on first request. The outer vector never changes size, so a span
// handed out stays valid while later sounds are rendered.
struct SoundCache {
    std::mutex mutex;
    std::vector<std::vector<std::uint8_t>> images{sound_scores().size()};
};

SoundCache& cache() {
    static SoundCache instance;
    return instance;
}

}  // namespace

std::vector<std::uint8_t> wav_image(std::span<const std::int16_t> samples, std::uint16_t channels,
                                    std::uint32_t sample_rate) {
    const auto data_bytes = static_cast<std::uint32_t>(samples.size() * sizeof(std::int16_t));
    const auto block_align = static_cast<std::uint16_t>(channels * sizeof(std::int16_t));
    std::vector<std::uint8_t> out;
    out.reserve(k_header_bytes + data_bytes);
    put_id(out, "RIFF");
    put_u32(out, k_header_bytes - 8 + data_bytes);
    put_id(out, "WAVE");
    put_id(out, "fmt ");
    put_u32(out, k_fmt_bytes);
    put_u16(out, k_format_pcm);
    put_u16(out, channels);
    put_u32(out, sample_rate);
    put_u32(out, sample_rate * block_align);
    put_u16(out, block_align);
    put_u16(out, k_bits_per_sample);
    put_id(out, "data");
    put_u32(out, data_bytes);
    out.resize(k_header_bytes + data_bytes);
    std::uint8_t* data = out.data() + k_header_bytes;
    for (const std::int16_t sample : samples) {
        const auto bits = static_cast<std::uint16_t>(sample);
        *data++ = static_cast<std::uint8_t>(bits & 0xFFU);
        *data++ = static_cast<std::uint8_t>(bits >> 8U);
    }
    return out;
}

std::span<const std::uint8_t> find_embedded_sound(std::string_view name) {
    const SoundScore* sound = find_score(name);
    if (sound == nullptr) {
        return {};
    }
    SoundCache& sounds = cache();
    const std::scoped_lock lock(sounds.mutex);
    std::vector<std::uint8_t>& image =
        sounds.images[static_cast<std::size_t>(sound - sound_scores().data())];
    if (image.empty()) {
        image = wav_image(render(sound->score, sound_level_db(sound->name)), 1, k_sample_rate);
    }
    return image;
}

std::span<const std::string_view> embedded_sound_names() {
    static const std::vector<std::string_view> k_names = [] {
        std::vector<std::string_view> all;
        for (const SoundScore& sound : sound_scores()) {
            all.push_back(sound.name);
        }
        return all;
    }();
    return k_names;
}

}  // namespace kal
