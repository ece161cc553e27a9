#pragma once

// Background music kept going by polling: every waiting loop of every screen calls play_music,
// which starts the track when none is loaded. A track loops in the sound device itself at
// exactly its loop length, so a late poll never leaves a gap; play_music keeps count of the
// loops. A file too short for its loop length plays out and is started again from its
// beginning at the first poll after the loop length has passed.

#include <cstdint>

#include "console/console.hpp"

namespace kal {

inline constexpr int k_track_title = 1;
inline constexpr int k_track_result = 2;

// The step of the countdown's beats and of the paced pauses while an answer is judged.
inline constexpr int k_beat_ms = 125;

// The track of a stage 1..6: the stage tracks follow the title, result and clear tracks.
constexpr int stage_track(int stage) {
    constexpr int k_first_stage_track_offset = 3;
    return stage + k_first_stage_track_offset;
}

// The voice of the loaded track; 0 when none is loaded.
extern SoundId current_music;
// Clock reading at which the loaded track was last started, or last went round its loop.
extern std::uint64_t music_started_at;

// Loads and starts the track when none is loaded. Once the loop length of the track number
// passed in has passed, a looping track is counted on by whole loops and a short one is
// started again. To switch tracks, call stop_music, then play_music with the new track.
void play_music(int track);

// Stops the loaded track and releases it, so that the next play_music starts a new one.
void stop_music();

// The clock reading at which play_music next has something to do for the track: the first
// millisecond past its loop; for a number that is no track, the next millisecond.
std::uint64_t music_due(int track);

// Waits for SPACE with the music running, then plays the decide sound. The processor is given
// away until a key arrives or the music's loop ends.
void wait_space(int track);

void reset_music();

}  // namespace kal
