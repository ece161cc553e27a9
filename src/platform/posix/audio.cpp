#include "platform/posix/audio.hpp"

#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>
#include <alsa/asoundlib.h>

#include <array>
#include <climits>
#include <cstdlib>
#include <map>

namespace kal {
namespace {

struct FormatEntry {
    std::uint16_t bits_per_sample;
    std::uint16_t channels;
    ALenum format;
};

// The PCM layouts OpenAL takes as they are: 8-bit unsigned and 16-bit signed, mono or stereo.
constexpr std::array k_formats{
    FormatEntry{8, 1, AL_FORMAT_MONO8},
    FormatEntry{8, 2, AL_FORMAT_STEREO8},
    FormatEntry{16, 1, AL_FORMAT_MONO16},
    FormatEntry{16, 2, AL_FORMAT_STEREO16},
};

// 0 for a layout OpenAL has no format for.
ALenum al_format(const PcmFormat& format) {
    for (const FormatEntry& entry : k_formats) {
        if (entry.bits_per_sample == format.bits_per_sample && entry.channels == format.channels) {
            return entry.format;
        }
    }
    return 0;
}

void ignore_alsa_message(const char* /*file*/, int /*line*/, const char* /*function*/,
                         int /*error*/, const char* /*format*/, ...) {}

// Both must be in place before the first al or alc call of the process: OpenAL Soft reads its
// log level once, and ALSA reports through this handler while OpenAL probes it. A log level
// the player set on purpose is left alone.
void silence_sound_libraries() {
    setenv("ALSOFT_LOGLEVEL", "0", 0);
    snd_lib_error_set_handler(ignore_alsa_message);
}

bool al_ok() {
    return alGetError() == AL_NO_ERROR;
}

class OpenAlAudio final : public AudioDevice {
public:
    OpenAlAudio() = default;
    OpenAlAudio(const OpenAlAudio&) = delete;
    OpenAlAudio& operator=(const OpenAlAudio&) = delete;
    ~OpenAlAudio() override;

    std::uint32_t open_voice(std::string_view name, const PcmFormat& format,
                             std::span<const std::uint8_t> samples,
                             std::uint32_t loop_frames) override;
    bool restart(std::uint32_t voice) override;
    bool stop(std::uint32_t voice) override;
    void close(std::uint32_t voice) override;

private:
    enum class DeviceState : std::uint8_t { unopened, open, unavailable };

    bool ready();
    bool open_device();
    ALuint make_buffer(ALenum layout, const PcmFormat& format,
                       std::span<const std::uint8_t> samples, std::uint32_t loop_frames) const;
    bool owns(std::uint32_t voice) const { return voices_.contains(voice); }

    // Opening is tried once: a machine without sound stays silent without paying for another
    // attempt on every load.
    DeviceState state_ = DeviceState::unopened;
    ALCdevice* device_ = nullptr;
    ALCcontext* context_ = nullptr;
    // OpenAL Soft has loop points on buffers; elsewhere a looping voice gets only the frames it
    // loops over, which AL_LOOPING alone then repeats.
    bool loop_points_ = false;
    std::map<ALuint, ALuint> voices_;  // source name to its buffer
};

OpenAlAudio::~OpenAlAudio() {
    while (!voices_.empty()) {
        close(voices_.begin()->first);
    }
    if (context_ != nullptr) {
        alcMakeContextCurrent(nullptr);
        alcDestroyContext(context_);
    }
    if (device_ != nullptr) {
        alcCloseDevice(device_);
    }
}

bool OpenAlAudio::ready() {
    if (state_ == DeviceState::unopened) {
        state_ = open_device() ? DeviceState::open : DeviceState::unavailable;
    }
    if (state_ != DeviceState::open) {
        return false;
    }
    return alcGetCurrentContext() == context_ || alcMakeContextCurrent(context_) == ALC_TRUE;
}

bool OpenAlAudio::open_device() {
    silence_sound_libraries();
    device_ = alcOpenDevice(nullptr);
    if (device_ == nullptr) {
        return false;
    }
    context_ = alcCreateContext(device_, nullptr);
    if (context_ != nullptr && alcMakeContextCurrent(context_) == ALC_TRUE) {
        loop_points_ = alIsExtensionPresent("AL_SOFT_loop_points") == AL_TRUE;
        return true;
    }
    if (context_ != nullptr) {
        alcDestroyContext(context_);
        context_ = nullptr;
    }
    alcCloseDevice(device_);
    device_ = nullptr;
    return false;
}

// A buffer holding the samples (0 on failure); one that loops has its loop end at loop_frames.
ALuint OpenAlAudio::make_buffer(ALenum layout, const PcmFormat& format,
                                std::span<const std::uint8_t> samples,
                                std::uint32_t loop_frames) const {
    const std::size_t kept = loop_frames != 0 && !loop_points_
                                 ? std::size_t{loop_frames} * format.frame_bytes()
                                 : samples.size();
    ALuint buffer = 0;
    alGenBuffers(1, &buffer);
    if (!al_ok()) {
        return 0;
    }
    alBufferData(buffer, layout, samples.data(), static_cast<ALsizei>(kept),
                 static_cast<ALsizei>(format.sample_rate));
    if (al_ok() && loop_frames != 0 && loop_points_) {
        const std::array<ALint, 2> loop{0, static_cast<ALint>(loop_frames)};
        alBufferiv(buffer, AL_LOOP_POINTS_SOFT, loop.data());
    }
    if (!al_ok()) {
        alDeleteBuffers(1, &buffer);
        alGetError();
        return 0;
    }
    return buffer;
}

std::uint32_t OpenAlAudio::open_voice(std::string_view /*name*/, const PcmFormat& format,
                                      std::span<const std::uint8_t> samples,
                                      std::uint32_t loop_frames) {
    const ALenum al_layout = al_format(format);
    if (al_layout == 0 || format.sample_rate == 0 || format.sample_rate > INT_MAX || !ready()) {
        return 0;
    }
    // A torn last frame is dropped: OpenAL takes whole frames only.
    const std::size_t bytes = samples.size() - samples.size() % format.frame_bytes();
    if (bytes > INT_MAX || loop_frames > bytes / format.frame_bytes()) {
        return 0;
    }
    alGetError();
    const ALuint buffer = make_buffer(al_layout, format, samples.first(bytes), loop_frames);
    if (buffer == 0) {
        return 0;
    }
    ALuint source = 0;
    alGenSources(1, &source);
    if (source != 0 && al_ok()) {
        alSourcei(source, AL_BUFFER, static_cast<ALint>(buffer));
        alSourcei(source, AL_LOOPING, loop_frames != 0 ? AL_TRUE : AL_FALSE);
        if (al_ok()) {
            voices_.emplace(source, buffer);
            return source;
        }
        alDeleteSources(1, &source);
    }
    alDeleteBuffers(1, &buffer);
    alGetError();
    return 0;
}

bool OpenAlAudio::restart(std::uint32_t voice) {
    if (!owns(voice) || !ready()) {
        return false;
    }
    alGetError();
    alSourceRewind(voice);
    alSourcePlay(voice);
    return al_ok();
}

bool OpenAlAudio::stop(std::uint32_t voice) {
    if (!owns(voice) || !ready()) {
        return false;
    }
    alGetError();
    alSourceStop(voice);
    return al_ok();
}

void OpenAlAudio::close(std::uint32_t voice) {
    const auto found = voices_.find(voice);
    if (found == voices_.end() || !ready()) {
        return;
    }
    ALuint source = found->first;
    ALuint buffer = found->second;
    voices_.erase(found);
    alSourceStop(source);
    alDeleteSources(1, &source);
    alDeleteBuffers(1, &buffer);
    alGetError();
}

}  // namespace

std::unique_ptr<AudioDevice> make_openal_audio() {
    return std::make_unique<OpenAlAudio>();
}

}  // namespace kal
