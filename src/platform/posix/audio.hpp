#pragma once

// The game's audio output on OpenAL Soft: every voice is one OpenAL source with its own
// buffer, and OpenAL mixes them. The device opens on the first voice and closes with this
// object. Without a device every voice comes back as 0 and the game runs silently; neither
// OpenAL nor ALSA ever writes a word to the terminal.

#include <memory>

#include "platform/platform.hpp"

namespace kal {

std::unique_ptr<AudioDevice> make_openal_audio();

}  // namespace kal
