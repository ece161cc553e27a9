#pragma once

// The game's own sound set. Each sound is rendered from its score the first time it is asked
// for and kept for the rest of the run, so a screen pays only for the sounds it loads.

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace kal {

// The RIFF/WAVE image (16-bit PCM, 48 kHz, mono) of the named sound; empty for a name the
// game does not use. The bytes stay valid until the program ends.
std::span<const std::uint8_t> find_embedded_sound(std::string_view name);

// The names of all embedded sounds.
std::span<const std::string_view> embedded_sound_names();

// A RIFF/WAVE image holding 16-bit PCM samples, interleaved when there are several channels.
std::vector<std::uint8_t> wav_image(std::span<const std::int16_t> samples, std::uint16_t channels,
                                    std::uint32_t sample_rate);

}  // namespace kal
