// The sound voices of the console: each loaded WAV file is a voice of the platform's audio
// device, ready to be started from its first sample at any moment.

#include <vector>

#include "console/console.hpp"
#include "sound/wav_file.hpp"

namespace kal {
namespace {

// No sound of the game comes near this; a larger claim is a damaged file and loads silent.
constexpr std::uint32_t k_max_sound_bytes = 64U * 1024U * 1024U;
// A voice is released this long after it should have played out, to cover the device's latency.
constexpr std::uint64_t k_release_margin_ms = 250;
constexpr std::uint64_t k_ms_per_second = 1000;

// The frames of one pass of a loop at this rate; 0 when the sound is too short to loop there.
std::uint32_t loop_frames(std::uint64_t loop_ms, std::uint32_t sample_rate, std::uint32_t frames) {
    const std::uint64_t loop = (loop_ms * sample_rate + k_ms_per_second / 2) / k_ms_per_second;
    return loop <= frames ? static_cast<std::uint32_t>(loop) : 0;
}

}  // namespace

SoundId Console::load_sound(const char* name) {
    return load_voice(name, 0);
}

SoundId Console::load_music(const char* name, std::uint64_t loop_ms) {
    return load_voice(name, loop_ms);
}

SoundId Console::load_voice(const char* name, std::uint64_t loop_ms) {
    if (platform_ == nullptr) {
        return 0;
    }
    release_finished_voices();
    WavFile file;
    if (file.open(name) < 0 || file.format() == nullptr) {
        return 0;
    }
    const WaveFormat& wave = *file.format();
    if (wave.format_tag != k_format_pcm) {
        return 0;
    }
    const PcmFormat format{wave.channels, wave.samples_per_sec, wave.bits_per_sample};
    std::vector<std::uint8_t> samples(std::min(file.data_size(), k_max_sound_bytes));
    std::uint32_t count = 0;
    if (file.data_size() <= k_max_sound_bytes) {
        file.read(samples.data(), file.data_size(), &count);
    }
    samples.resize(count);
    const std::uint32_t frame_bytes = format.frame_bytes();
    const std::uint32_t frames = frame_bytes == 0 ? 0 : count / frame_bytes;
    const std::uint32_t loop = loop_ms == 0 ? 0 : loop_frames(loop_ms, format.sample_rate, frames);
    const SoundId id = platform_->audio().open_voice(name, format, samples, loop);
    if (id == 0) {
        return 0;
    }
    Voice& voice = voices_[static_cast<std::int32_t>(id)];
    voice = Voice{};
    voice.frames = frames;
    voice.sample_rate = format.sample_rate;
    voice.loops = loop != 0;
    return id;
}

bool Console::sound_loops(SoundId id) const {
    const auto found = voices_.find(static_cast<std::int32_t>(id));
    return id != 0 && found != voices_.end() && found->second.loops;
}

bool Console::play_sound(SoundId id) {
    const auto found = voices_.find(static_cast<std::int32_t>(id));
    if (id == 0 || found == voices_.end()) {
        return false;
    }
    found->second.started_at = platform_->now_ms();
    return platform_->audio().restart(id);
}

bool Console::stop_sound(SoundId id) {
    if (id == 0 || !voices_.contains(static_cast<std::int32_t>(id))) {
        return false;
    }
    return platform_->audio().stop(id);
}

bool Console::free_sound(SoundId id) {
    const auto found = voices_.find(static_cast<std::int32_t>(id));
    if (id == 0 || found == voices_.end()) {
        return false;
    }
    voices_.erase(found);
    platform_->audio().close(id);
    return true;
}

void Console::free_sound_when_done(SoundId id) {
    const auto found = voices_.find(static_cast<std::int32_t>(id));
    if (id != 0 && found != voices_.end()) {
        found->second.release_when_done = true;
    }
}

void Console::release_finished_voices() {
    const std::uint64_t now = platform_->now_ms();
    for (auto it = voices_.begin(); it != voices_.end();) {
        const Voice& voice = it->second;
        const std::uint64_t length_ms =
            voice.sample_rate == 0 ? 0 : std::uint64_t{voice.frames} * 1000U / voice.sample_rate;
        if (voice.release_when_done && !voice.loops &&
            now >= voice.started_at + length_ms + k_release_margin_ms) {
            platform_->audio().close(static_cast<std::uint32_t>(it->first));
            it = voices_.erase(it);
        } else {
            ++it;
        }
    }
}

}  // namespace kal
