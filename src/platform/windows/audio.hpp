#pragma once

// The game's audio output on Windows: every voice is a waveOut device of its own, opened for
// the sound's own format on the wave mapper, holding one prepared header over its samples; the
// system mixes the devices. Without an output device every voice comes back as 0 and the game
// runs silently.

#include <memory>

#include "platform/platform.hpp"

namespace kal {

std::unique_ptr<AudioDevice> make_waveout_audio();

}  // namespace kal
