#include "shell/music.hpp"

#include <array>

namespace kal {

SoundId current_music = 0;
std::uint64_t music_started_at = 0;

namespace {

// A track that could not be loaded (no sound device, a damaged file) is not read again until
// the track changes: the waiting loops call play_music every millisecond.
int unloadable_track = 0;

struct MusicTrack {
    const char* file;
    std::uint64_t loop_ms;
};

constexpr std::array<MusicTrack, 9> k_music_tracks{{
    {"title.wav", 8726},
    {"result.wav", 24000},
    {"kuria.wav", 24000},
    {"stage1.wav", 5817},
    {"stage2.wav", 5812},
    {"stage3.wav", 8000},
    {"stage4.wav", 5647},
    {"stage5.wav", 5818},
    {"stage6.wav", 5818},
}};

const MusicTrack* find_track(int track) {
    if (track < 1 || track > static_cast<int>(k_music_tracks.size())) {
        return nullptr;
    }
    return &k_music_tracks[static_cast<std::size_t>(track - 1)];
}

}  // namespace

void play_music(int track) {
    const MusicTrack* entry = find_track(track);
    if (current_music == 0 && entry != nullptr) {
        if (track != unloadable_track) {
            current_music = console.load_music(entry->file, entry->loop_ms);
            unloadable_track = current_music == 0 ? track : 0;
        }
        console.play_sound(current_music);
        music_started_at = console.now();
    }
    const std::uint64_t now = console.now();
    // The loop length comes from the track number passed in, not from the loaded track.
    if (entry != nullptr && music_started_at + entry->loop_ms < now) {
        console.locate(40, 14);
        if (console.sound_loops(current_music)) {
            // The device has gone round the loop by itself, exactly on time, however late
            // this call comes: only the count of whole loops moves on.
            music_started_at += (now - music_started_at) / entry->loop_ms * entry->loop_ms;
        } else {
            console.play_sound(current_music);
            music_started_at = console.now();
        }
    }
}

void stop_music() {
    console.stop_sound(current_music);
    console.free_sound(current_music);
    current_music = 0;
    unloadable_track = 0;
}

std::uint64_t music_due(int track) {
    const MusicTrack* entry = find_track(track);
    return entry != nullptr ? music_started_at + entry->loop_ms + 1 : console.now() + 1;
}

void wait_space(int track) {
    const SoundId decide = console.load_sound("kettei.wav");
    for (;;) {
        play_music(track);
        if (console.inkey(k_key_space) != 0) {
            break;
        }
        // Nothing but a key or the end of the music's loop can change anything: sleep until
        // one of them comes, not from millisecond to millisecond.
        console.idle_until(music_due(track));
    }
    console.play_sound(decide);
    console.free_sound_when_done(decide);
}

void reset_music() {
    current_music = 0;
    music_started_at = 0;
    unloadable_track = 0;
}

}  // namespace kal
