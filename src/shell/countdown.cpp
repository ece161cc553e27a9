#include "shell/countdown.hpp"

#include <algorithm>
#include <array>

#include "console/console.hpp"
// The one reach of shell/ into play/: the countdown paces itself by the level and the stage
// of the play under way.
#include "play/play_state.hpp"
#include "shell/draw.hpp"
#include "shell/music.hpp"
#include "shell/screen_kit.hpp"
#include "shell/ticker.hpp"

namespace kal {
namespace {

constexpr int k_digit_count_x = 37;
constexpr int k_digit_count_y = 17;
constexpr int k_digit_caption_x = 44;

constexpr int k_speed_y = 7;
constexpr int k_speed_caption_x = 27;
constexpr int k_speed_hundreds_x = 34;
constexpr int k_speed_base_x = 32;
constexpr int k_speed_unit_offset = 19;

// Each count: the count sound, then four beats of 125 ms with the music serviced after each,
// then the rest of the count, which shortens by 70 ms per level.
constexpr int k_beats_per_count = 4;
constexpr int k_count_rest_ms = 500;
constexpr int k_rest_shortening_per_level_ms = 70;

constexpr std::array<int, 6> k_announcement_rows{6, 7, 8, 16, 17, 18};
constexpr int k_announcement_x = 27;
constexpr int k_announcement_width = 40;

struct CountStep {
    const char* sound;
    bool music_after_rest;
};

constexpr std::array<CountStep, 3> k_count_steps{{
    {"3.wav", true},
    {"2.wav", false},
    {"1.wav", true},
}};

// The voices of the count sounds, in the order of k_count_steps.
using CountVoices = std::array<SoundId, k_count_steps.size()>;

CountVoices load_count_sounds() {
    CountVoices voices{};
    // "1.wav" first, then "2.wav" and "3.wav".
    for (std::size_t i = voices.size(); i-- > 0;) {
        voices[i] = console.load_sound(k_count_steps[i].sound);
    }
    return voices;
}

void draw_digit_count(int digits) {
    draw_x = k_digit_count_x;
    draw_y = k_digit_count_y;
    draw_digit(digits, k_digit_count_x);
    print_at(k_digit_caption_x, k_digit_count_y, "桁");
}

// The hundreds glyph appears only from 100 on and pushes the figure two columns right; the
// tens glyph is always drawn, so 9 reads 09.
void draw_speed(int speed) {
    draw_y = k_speed_y;
    print_at(k_speed_caption_x, k_speed_y, "ソクド");
    int base = k_speed_base_x;
    if (speed >= 100) {
        draw_digit(speed / 100, k_speed_hundreds_x);
        base = k_speed_hundreds_x;
        speed %= 100;
    }
    draw_digit(speed / 10, base + k_digit_glyph_columns);
    draw_digit(speed % 10, base + 2 * k_digit_glyph_columns);
    print_at(base + k_speed_unit_offset, k_speed_y, "km");
}

void count_once(SoundId sound, bool music_after_rest, int track, int level, Ticker& steps) {
    console.play_sound(sound);
    play_music(track);
    for (int beat = 0; beat < k_beats_per_count; ++beat) {
        steps.wait(k_beat_ms);
        play_music(track);
    }
    const int rest = std::max(0, k_count_rest_ms - k_rest_shortening_per_level_ms * level);
    steps.wait(static_cast<std::uint64_t>(rest));
    if (music_after_rest) {
        play_music(track);
    }
}

void blank_announcement() {
    for (const int row : k_announcement_rows) {
        blank(k_announcement_x, row, k_announcement_width);
    }
}

}  // namespace

void announce_question(int digits, int speed) {
    const CountVoices voices = load_count_sounds();
    // The first beat ends a beat after the announcement began, its drawing included.
    Ticker steps;
    level_fg_color(play.level);
    draw_digit_count(digits);
    draw_speed(speed);

    const int track = stage_track(play.stage);
    for (std::size_t i = 0; i < k_count_steps.size(); ++i) {
        count_once(voices[i], k_count_steps[i].music_after_rest, track, play.level, steps);
    }
    blank_announcement();
    // The last count may still be sounding as the question begins: let it play out.
    for (const SoundId voice : voices) {
        console.free_sound_when_done(voice);
    }
}

}  // namespace kal
