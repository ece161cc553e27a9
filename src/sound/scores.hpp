#pragma once

// The scores of the game's 21 sounds: nine music tracks, a few jingles and the short effects.
// Each music track lasts exactly its loop length, because the game restarts it after that
// time, and ends on a short rest so that a restart that comes a little late is not heard.

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
