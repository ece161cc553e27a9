#pragma once

// The scores of the game's sounds: the music tracks, a few jingles and the short effects. Each
// music track lasts exactly its loop length and plays through its loop point: the sound device
// loops it there, so it must join its own start without a gap.

#include <cstdint>
#include <span>
#include <string_view>

#include "sound/synth.hpp"

namespace kal {

enum class SoundKind : std::uint8_t {
    music,   // loops for as long as a screen runs
    jingle,  // a phrase of a second or two: game start, clear fanfare, time over
    effect,  // a short cue that answers a key or a count
};

// The loudness each kind of sound is set to (K-weighted and gated, in LUFS): the music under
// everything, the effects clearly above it, the jingles a little above those.
constexpr double loudness_target_lufs(SoundKind kind) {
    switch (kind) {
        case SoundKind::music:
            return -24.0;
        case SoundKind::jingle:
            return -16.0;
        case SoundKind::effect:
            break;
    }
    return -17.0;
}

struct SoundScore {
    std::string_view name;  // the WAV file name the game loads
    SoundKind kind;
    Score score;
};

// Every sound of the game, each name once.
std::span<const SoundScore> sound_scores();

// The score of the named sound; nullptr for a name the game does not use.
const SoundScore* find_score(std::string_view name);

}  // namespace kal
