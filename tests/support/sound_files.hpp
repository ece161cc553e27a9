#pragma once

// Sound files for a test: any WAV file in the working directory stands in for the game's own
// sound of that name.

#include <cstdint>
#include <string>

namespace kal::test {

// Writes a silent 8 kHz, 8-bit mono WAV file of the given length.
void write_silent_wav(const std::string& name, std::uint32_t ms);

}  // namespace kal::test
