#pragma once

// The level at which each sound of the set is rendered, in dB: the one that brings it to the
// loudness its kind is held to (loudness_target_lufs). The table is measured, not chosen:
// `make sound-levels` renders the set, measures its loudness and writes sound_levels.inc anew.

#include <string_view>

namespace kal {

struct SoundLevel {
    std::string_view name;
    float gain_db;
};

// The level of the named sound; 0 dB for a name the table does not hold.
float sound_level_db(std::string_view name);

}  // namespace kal
