#include "platform/windows/audio.hpp"

#include <map>
#include <vector>

#include "platform/windows/system.hpp"

#include <mmsystem.h>

namespace kal {
namespace {

// A looping voice goes round its loop this many times, the most a header can ask for: at the
// shortest track, longer than anyone plays.
constexpr DWORD k_endless_loops = 0xFFFFFFFFU;

struct Voice {
    HWAVEOUT device = nullptr;
    std::vector<std::uint8_t> samples;
    WAVEHDR header{};
};

class WaveOutAudio final : public AudioDevice {
public:
    WaveOutAudio() = default;
    WaveOutAudio(const WaveOutAudio&) = delete;
    WaveOutAudio& operator=(const WaveOutAudio&) = delete;
    ~WaveOutAudio() override;

    std::uint32_t open_voice(std::string_view name, const PcmFormat& format,
                             std::span<const std::uint8_t> samples,
                             std::uint32_t loop_frames) override;
    bool restart(std::uint32_t voice) override;
    bool stop(std::uint32_t voice) override;
    void close(std::uint32_t voice) override;

private:
    // Handles are ours and never handed out twice in a run: a sound released and loaded again
    // can never be reached through an old handle.
    std::uint32_t next_handle_ = 1;
    // Heap-held, so that a header's address stays put while the device reads it.
    std::map<std::uint32_t, std::unique_ptr<Voice>> voices_;
};

WaveOutAudio::~WaveOutAudio() {
    while (!voices_.empty()) {
        close(voices_.begin()->first);
    }
}

WAVEFORMATEX wave_format(const PcmFormat& format) {
    WAVEFORMATEX wave{};
    wave.wFormatTag = WAVE_FORMAT_PCM;
    wave.nChannels = format.channels;
    wave.nSamplesPerSec = format.sample_rate;
    wave.wBitsPerSample = format.bits_per_sample;
    wave.nBlockAlign = static_cast<WORD>(format.frame_bytes());
    wave.nAvgBytesPerSec = format.sample_rate * format.frame_bytes();
    return wave;
}

std::uint32_t WaveOutAudio::open_voice(std::string_view /*name*/, const PcmFormat& format,
                                       std::span<const std::uint8_t> samples,
                                       std::uint32_t loop_frames) {
    const std::uint32_t frame_bytes = format.frame_bytes();
    if (frame_bytes == 0 || format.sample_rate == 0 || waveOutGetNumDevs() == 0) {
        return 0;
    }
    // Whole frames only; a looping voice holds just the frames it goes round.
    const std::size_t frames = samples.size() / frame_bytes;
    if (loop_frames > frames || frames * frame_bytes > 0xFFFFFFFFU) {
        return 0;
    }
    const std::size_t kept = (loop_frames != 0 ? loop_frames : frames) * frame_bytes;
    auto voice = std::make_unique<Voice>();
    const WAVEFORMATEX wave = wave_format(format);
    if (waveOutOpen(&voice->device, WAVE_MAPPER, &wave, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) {
        return 0;
    }
    voice->samples.assign(samples.begin(), samples.begin() + static_cast<std::ptrdiff_t>(kept));
    WAVEHDR& header = voice->header;
    header.lpData = reinterpret_cast<LPSTR>(voice->samples.data());
    header.dwBufferLength = static_cast<DWORD>(kept);
    // One write plays the buffer loop-count times: once for a sound, without end for music.
    header.dwFlags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
    header.dwLoops = loop_frames != 0 ? k_endless_loops : 1;
    if (waveOutPrepareHeader(voice->device, &header, sizeof(header)) != MMSYSERR_NOERROR) {
        waveOutClose(voice->device);
        return 0;
    }
    const std::uint32_t handle = next_handle_++;
    voices_.emplace(handle, std::move(voice));
    return handle;
}

bool WaveOutAudio::restart(std::uint32_t voice) {
    const auto found = voices_.find(voice);
    if (found == voices_.end()) {
        return false;
    }
    Voice& playing = *found->second;
    // The reset hands the header back at once, so that it can be written again from the start.
    waveOutReset(playing.device);
    return waveOutWrite(playing.device, &playing.header, sizeof(playing.header)) ==
           MMSYSERR_NOERROR;
}

bool WaveOutAudio::stop(std::uint32_t voice) {
    const auto found = voices_.find(voice);
    return found != voices_.end() && waveOutReset(found->second->device) == MMSYSERR_NOERROR;
}

void WaveOutAudio::close(std::uint32_t voice) {
    const auto found = voices_.find(voice);
    if (found == voices_.end()) {
        return;
    }
    Voice& closing = *found->second;
    waveOutReset(closing.device);
    waveOutUnprepareHeader(closing.device, &closing.header, sizeof(closing.header));
    waveOutClose(closing.device);
    voices_.erase(found);
}

}  // namespace

std::unique_ptr<AudioDevice> make_waveout_audio() {
    return std::make_unique<WaveOutAudio>();
}

}  // namespace kal
