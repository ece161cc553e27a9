#include "sound/scores.hpp"

#include <algorithm>
#include <array>

namespace kal {
namespace {

// Headroom for mixing: music peaks at -9 dBFS and effects at -6 dBFS, so that the music and
// two effects sounding together stay below full scale.
constexpr float k_music_peak = 0.3548F;
constexpr float k_effect_peak = 0.5012F;

// The tempo at which a number of beats fills a track's loop exactly.
constexpr double tempo_for(int beats, std::uint32_t loop_ms) {
    return beats * 60000.0 / loop_ms;
}

// --- The band -----------------------------------------------------------------------------

constexpr Instrument k_lead{.wave = Waveform::pulse,
                            .duty = 0.25F,
                            .envelope = {6.0F, 700.0F, 0.55F, 90.0F},
                            .gain = 0.42F,
                            .filter = FilterMode::lowpass,
                            .cutoff = 5200.0F,
                            .vibrato_cents = 9.0F};
constexpr Instrument k_bright_lead{.wave = Waveform::pulse,
                                   .duty = 0.5F,
                                   .envelope = {4.0F, 500.0F, 0.5F, 70.0F},
                                   .gain = 0.36F,
                                   .filter = FilterMode::lowpass,
                                   .cutoff = 4200.0F,
                                   .vibrato_cents = 7.0F};
constexpr Instrument k_saw_lead{.wave = Waveform::saw,
                                .envelope = {5.0F, 600.0F, 0.6F, 80.0F},
                                .gain = 0.5F,
                                .filter = FilterMode::lowpass,
                                .cutoff = 3200.0F,
                                .vibrato_cents = 8.0F};
constexpr Instrument k_arp{.wave = Waveform::pulse,
                           .duty = 0.125F,
                           .envelope = {2.0F, 180.0F, 0.15F, 40.0F},
                           .gain = 0.26F,
                           .filter = FilterMode::lowpass,
                           .cutoff = 4500.0F};
constexpr Instrument k_pah{.wave = Waveform::pulse,
                           .duty = 0.25F,
                           .envelope = {3.0F, 220.0F, 0.1F, 40.0F},
                           .gain = 0.24F,
                           .filter = FilterMode::lowpass,
                           .cutoff = 3000.0F};
constexpr Instrument k_bass{
    .wave = Waveform::triangle, .envelope = {3.0F, 500.0F, 0.6F, 50.0F}, .gain = 0.5F};
constexpr Instrument k_pulse_bass{.wave = Waveform::pulse,
                                  .duty = 0.5F,
                                  .envelope = {3.0F, 300.0F, 0.5F, 40.0F},
                                  .gain = 0.34F,
                                  .filter = FilterMode::lowpass,
                                  .cutoff = 900.0F};
constexpr Instrument k_saw_bass{.wave = Waveform::saw,
                                .envelope = {2.0F, 250.0F, 0.45F, 35.0F},
                                .gain = 0.34F,
                                .filter = FilterMode::lowpass,
                                .cutoff = 1100.0F,
                                .resonance = 1.2F};
constexpr Instrument k_pad{.wave = Waveform::saw,
                           .envelope = {90.0F, 1500.0F, 0.6F, 180.0F},
                           .gain = 0.25F,
                           .filter = FilterMode::lowpass,
                           .cutoff = 1500.0F};
constexpr Instrument k_soft_pad{
    .wave = Waveform::triangle, .envelope = {40.0F, 1200.0F, 0.6F, 150.0F}, .gain = 0.2F};
constexpr Instrument k_kick{.wave = Waveform::triangle,
                            .envelope = {1.0F, 170.0F, 0.0F, 20.0F},
                            .gain = 0.75F,
                            .glide = -170.0F};
constexpr Instrument k_snare{.wave = Waveform::noise,
                             .envelope = {1.0F, 140.0F, 0.0F, 20.0F},
                             .gain = 1.6F,
                             .filter = FilterMode::bandpass,
                             .cutoff = 1800.0F,
                             .resonance = 0.8F};
constexpr Instrument k_hat{.wave = Waveform::noise,
                           .envelope = {1.0F, 45.0F, 0.0F, 10.0F},
                           .gain = 0.22F,
                           .filter = FilterMode::highpass,
                           .cutoff = 7000.0F};

// --- Music --------------------------------------------------------------------------------
// Every part of a track fills its loop exactly; every track ends on at least an eighth rest.

// Title: F major, bright and inviting, four bars: F | Am | Bb | C.
constexpr std::array k_title_parts{
    Part{k_lead,
         "o5 l8 c f a > c < a4 g f | e4. f e c < a4 > | d f b- > d c4 < b- a | g4. a g4 e r"},
    Part{k_pad, "o4 a1 | a1 | b-1 | g2. r4"},
    Part{k_pad, "o4 f1 | e1 | f1 | e2. r4"},
    Part{k_arp,
         "o4 l16 [f a > c f c < a f a]2 | [e a > c e c < a e a]2 | [f b- > d f d < b- f b-]2 |"
         " e g > c e c < g e g e g > c e < r4"},
    Part{k_bass, "o2 l8 [f > f <]4 | [a > a <]4 | [b- > b- <]4 | o3 [c > c <]3 c r"},
    Part{k_kick, "o3 l4 [g r g r]4"},
    Part{k_snare, "l4 [r c r c]3 r c r c8 r8"},
    Part{k_hat, "l8 [r c]15 r4"},
};

// Result: C major, calm and warm, twelve bars at 120 beats a minute.
constexpr std::array k_result_parts{
    Part{k_lead,
         "o5 l4 e g > c < g | d2 g2 | c e a e | b2 g2 | a f > c < a | g e c e |"
         " f d < a > d | d2 < b2 > | e g > c < g | a e c e | f a g b | > c2 < r2"},
    Part{k_arp,
         "o4 l8 [c e g e]2 | [< b > d g d]2 | [c e a e]2 | [< b > e g e]2 | [c f a f]2 |"
         " [c e g e]2 | [d f a f]2 | [< b > d g d]2 | [c e g e]2 | [c e a e]2 |"
         " c f a f d g b g | c e g e r2"},
    Part{k_soft_pad, "o4 e1 | d1 | c1 | < b1 > | c1 | c1 | d1 | d1 | e1 | e1 | c2 d2 | e2 r2"},
    Part{k_bass,
         "o3 c2 < g2 | b2 g2 | a2 e2 | g2 b2 | f2 > c2 < | e2 g2 | d2 a2 | g2 d2 |"
         " > c2 < g2 | a2 e2 | f2 g2 | > c2 < r2"},
    Part{k_kick, "o3 l2 [g g]11 g r"},
    Part{k_hat, "v9 l4 [r c]23 r r"},
};

// Stage 1: G major, a friendly warm-up: G | Em | C | D.
constexpr std::array k_stage1_parts{
    Part{k_bright_lead,
         "o5 l8 d g b > d < b4 a g | e g b > e < b4 a g | e g > c e < g4 f+ e |"
         " f+ a > d < a f+4 r4"},
    Part{k_arp,
         "o4 l16 [g b > d < b]4 | [g b > e < b]4 | [e g > c < g]4 | [f+ a > d < a]3 f+ a r8"},
    Part{k_bass,
         "o2 l8 g4 g > g < g4 d g | e4 e > e < e4 b e | c4 c > c < c4 g c | d4 d > d < d4 a r"},
    Part{k_kick, "o3 l4 [g g g g]3 g g g r"},
    Part{k_snare, "l4 [r c]7 r8 c16 c16 r4"},
    Part{k_hat, "v10 l8 [c c]15 c r"},
};

// Stage 2: D minor, syncopated and a notch keener: Dm | Bb | C | A7.
constexpr std::array k_stage2_parts{
    Part{k_lead, "o5 l8 d4 f a4 g f e | d4 f b-4 a g f | e4 g > c4 < b- a g | a4 c+ e g4 r4"},
    Part{k_soft_pad, "o4 f1 | f1 | e1 | e2 c+4 r4"},
    Part{k_pulse_bass,
         "o2 l8 [d d > d < d]2 | [b- b- > b- < b-]2 | o3 [c c > c < c]2 |"
         " o2 a a > a < a a a > a < r"},
    Part{k_kick, "o3 l8 [g r r g g r r r]4"},
    Part{k_snare, "l4 [r c]8"},
    Part{k_hat, "v10 l16 [r8 c c]15 r4"},
};

// Stage 3: E minor in three, a faster waltz: Em | C | Am | B7 | Em | C | D | B7.
constexpr std::array k_stage3_parts{
    Part{k_lead,
         "o5 l4 e. f+8 g | e2 c | c. d8 e | d+2 < b > | e. f+8 g | a2 g | f+. e8 d | d+2 r"},
    Part{k_pah, "o4 l4 q4 r g g | r g g | r a a | r a a | r g g | r g g | r a a | r a r"},
    Part{k_pah, "o4 l4 q4 r e e | r e e | r e e | r d+ d+ | r e e | r e e | r f+ f+ | r d+ r"},
    Part{k_bass, "o2 l4 e r b | c r g | a r e | b r f+ | e r b | c r g | d r a | b r r"},
    Part{k_kick, "o3 l4 [g r r]8"},
    Part{k_hat, "v10 l8 [r c r c r c]7 r c r c r r"},
};

// Stage 4: F# minor, running sixteenths: F#m | D | E | C#7.
constexpr std::array k_stage4_parts{
    Part{k_saw_lead,
         "o5 l16 c+8 f+8 a8 f+ a > c+4 < b a g+ f+ | f+8 a8 > d8 < a > d f+4 e d c+ < b > |"
         " e8 < g+8 b8 g+ b > e4 d c+ < b g+ | e+8 g+8 b8 > c+ e+ g+4 r4 <"},
    Part{k_arp,
         "o4 l16 [f+ a > c+ < a]4 | [f+ a > d < a]4 | [g+ b > e < b]4 | [g+ b > e+ < b]3 g+ b r8"},
    Part{k_pulse_bass,
         "o2 l8 [f+ f+ > f+ < f+]2 | [d d > d < d]2 | [e e > e < e]2 |"
         " c+ c+ > c+ < c+ c+ c+ > c+ < r"},
    Part{k_kick, "o3 l4 [g]15 r"},
    Part{k_snare, "l8 [r r c r]7 r c16 c16 c r"},
    Part{k_hat, "v10 l16 [r c c c]15 r4"},
};

// Stage 5: G minor, a sixteenth ostinato under staccato runs: Gm | Eb | Cm | D7.
constexpr std::array k_stage5_parts{
    Part{k_lead,
         "o5 l8 q5 g b- > d g f d c < b- | g b- > e- g f e- d c |"
         " < c e- g > c < b- g f e- | d f+ a > c < a f+ d r"},
    Part{k_soft_pad, "o4 b-2 a2 | g2 b-2 | g1 | a2 f+4 r4"},
    Part{k_saw_bass,
         "o2 l16 [g g > g < g]4 | [e- e- > e- < e-]4 | o3 [c c > c < c]4 |"
         " o2 [d d > d < d]3 d d > d < r"},
    Part{k_kick, "o3 l8 [g r g r]7 g g16 g16 r4"},
    Part{k_snare, "l4 [r c]7 c8 c8 r4"},
    Part{k_hat, "v10 l16 [c c c c]15 r4"},
};

// Stage 6: A minor, the last stretch, chromatic and driving: Am | F | Bdim | E7.
constexpr std::array k_stage6_parts{
    Part{k_bright_lead,
         "o5 l16 a8 > c8 e8 < a8 > d+ e f e d c < b > c | c8 f8 a8 f8 g+ a b- a g f e f |"
         " d8 f8 a-8 f8 f e d c < b a g+ b | > e8 d8 c8 < b8 g+4 r4"},
    Part{k_pah, "o4 l8 [e a > c < a]2 | [f a > c < a]2 | [f a- b a-]2 | e g+ b g+ e g+ b r"},
    Part{k_saw_bass,
         "o2 l16 [a a > a < a]4 | [f f > f < f]4 | [d d > d < d]4 | [e e > e < e]3 e e g+ r"},
    Part{k_kick, "o3 l8 [g r g g]7 g g r4"},
    Part{k_snare, "l4 [r c]6 r c c16 c16 c16 c16 r4"},
    Part{k_hat, "v11 l16 [c]60 r4"},
};

// --- Jingles ------------------------------------------------------------------------------

constexpr Instrument k_brass{.wave = Waveform::pulse,
                             .duty = 0.5F,
                             .envelope = {8.0F, 900.0F, 0.45F, 180.0F},
                             .gain = 0.4F,
                             .filter = FilterMode::lowpass,
                             .cutoff = 3600.0F,
                             .vibrato_cents = 10.0F};
constexpr Instrument k_brass_low{.wave = Waveform::saw,
                                 .envelope = {10.0F, 900.0F, 0.45F, 180.0F},
                                 .gain = 0.3F,
                                 .filter = FilterMode::lowpass,
                                 .cutoff = 2000.0F};
constexpr Instrument k_sparkle{.wave = Waveform::pulse,
                               .duty = 0.125F,
                               .envelope = {2.0F, 250.0F, 0.0F, 40.0F},
                               .gain = 0.2F,
                               .filter = FilterMode::lowpass,
                               .cutoff = 6000.0F};
constexpr Instrument k_jingle_bass{
    .wave = Waveform::triangle, .envelope = {4.0F, 800.0F, 0.5F, 150.0F}, .gain = 0.55F};

// Clear and rank-in fanfare. The game restarts it about once a second, so the phrase is
// over within a second and only the last chord's tail rings beyond.
constexpr std::array k_kuria_parts{
    Part{k_brass, "o5 l12 q6 g g g q8 > c2"},       Part{k_brass, "o5 l12 q6 e e e q8 g2"},
    Part{k_brass_low, "o4 l12 q6 c c c q8 > e2"},   Part{k_sparkle, "o6 l24 r4 c e g > c e g c"},
    Part{k_jingle_bass, "o3 l12 q6 c c c q8 < c2"},
};

// Game start: a climbing call to the starting line.
constexpr std::array k_start_parts{
    Part{k_brass, "o5 l16 c e g b > c8 e8 g4."},
    Part{k_brass_low, "o4 l16 r4 g8 > c8 e4."},
    Part{k_sparkle, "o5 l16 r4 r8 c e g > c e g > c4"},
    Part{k_jingle_bass, "o3 c4 < g4 > c4."},
    Part{k_kick, "o3 r2 g4"},
};

// Time over: a slow chromatic slide down to A major, disappointed rather than harsh.
constexpr std::array k_over_parts{
    Part{k_brass, "o5 l8 q7 g f+ f q8 e2"},
    Part{k_brass_low, "o4 l8 q7 e d+ d q8 c+2"},
    Part{k_jingle_bass, "o3 l8 q7 c < b b- q8 a2"},
};

// --- Effects ------------------------------------------------------------------------------

constexpr Instrument k_chime{.wave = Waveform::pulse,
                             .duty = 0.25F,
                             .envelope = {1.0F, 320.0F, 0.0F, 40.0F},
                             .gain = 0.5F,
                             .filter = FilterMode::lowpass,
                             .cutoff = 7000.0F};
constexpr Instrument k_chime_body{
    .wave = Waveform::triangle, .envelope = {1.0F, 380.0F, 0.0F, 40.0F}, .gain = 0.5F};
constexpr Instrument k_click{.wave = Waveform::pulse,
                             .duty = 0.25F,
                             .envelope = {1.0F, 35.0F, 0.0F, 8.0F},
                             .gain = 0.6F,
                             .filter = FilterMode::lowpass,
                             .cutoff = 6000.0F,
                             .glide = -6.0F};
constexpr Instrument k_tick{.wave = Waveform::pulse,
                            .duty = 0.25F,
                            .envelope = {0.5F, 16.0F, 0.0F, 4.0F},
                            .gain = 0.6F,
                            .filter = FilterMode::lowpass,
                            .cutoff = 7000.0F};
constexpr Instrument k_beep{.wave = Waveform::pulse,
                            .duty = 0.5F,
                            .envelope = {2.0F, 600.0F, 0.3F, 50.0F},
                            .gain = 0.45F,
                            .filter = FilterMode::lowpass,
                            .cutoff = 4000.0F};
constexpr Instrument k_beep_body{
    .wave = Waveform::triangle, .envelope = {2.0F, 600.0F, 0.3F, 50.0F}, .gain = 0.5F};
constexpr Instrument k_buzz{.wave = Waveform::pulse,
                            .duty = 0.5F,
                            .envelope = {3.0F, 400.0F, 0.5F, 40.0F},
                            .gain = 0.45F,
                            .filter = FilterMode::lowpass,
                            .cutoff = 1400.0F,
                            .glide = -4.0F};
constexpr Instrument k_buzz_body{.wave = Waveform::triangle,
                                 .envelope = {3.0F, 400.0F, 0.5F, 40.0F},
                                 .gain = 0.5F,
                                 .glide = -4.0F};
constexpr Instrument k_marimba{
    .wave = Waveform::triangle, .envelope = {1.0F, 220.0F, 0.0F, 30.0F}, .gain = 0.6F};

// The speed cues: a band of noise rising with a tone. The slow cue rises gently and low, the
// medium one faster and higher, the fastest one sweeps quickest and brightest.
constexpr Instrument whoosh(float glide, float attack_ms, float release_ms) {
    return {.wave = Waveform::noise,
            .envelope = {attack_ms, 300.0F, 0.6F, release_ms},
            .gain = 0.8F,
            .filter = FilterMode::bandpass,
            .cutoff = 1.0F,
            .key_follow = true,
            .resonance = 2.5F,
            .glide = glide};
}
constexpr Instrument rising_tone(float glide, float attack_ms, float release_ms) {
    return {.wave = Waveform::pulse,
            .duty = 0.125F,
            .envelope = {attack_ms, 300.0F, 0.6F, release_ms},
            .gain = 0.12F,
            .filter = FilterMode::lowpass,
            .cutoff = 5000.0F,
            .glide = glide};
}

constexpr std::array k_kettei_parts{
    Part{k_chime, "o6 l32 q8 e b8"},
    Part{k_chime_body, "o5 l32 q8 e b8"},
};
constexpr std::array k_kasoru_parts{Part{k_click, "o6 q8 a64"}};
constexpr std::array k_count_parts{
    Part{k_beep, "o5 a8"},
    Part{k_beep_body, "o4 a8"},
};
constexpr std::array k_count_one_parts{
    Part{k_beep, "o6 d8"},
    Part{k_beep_body, "o5 d8"},
};
constexpr std::array k_slow_cue_parts{
    Part{whoosh(38.0F, 140.0F, 110.0F), "o5 q8 c8"},
    Part{rising_tone(38.0F, 140.0F, 110.0F), "o4 q8 c8"},
};
constexpr std::array k_medium_cue_parts{
    Part{whoosh(60.0F, 90.0F, 100.0F), "o6 q8 c8"},
    Part{rising_tone(60.0F, 90.0F, 100.0F), "o4 q8 g8"},
};
constexpr std::array k_fast_cue_parts{
    Part{whoosh(95.0F, 50.0F, 90.0F), "o6 q8 g16."},
    Part{rising_tone(95.0F, 50.0F, 90.0F), "o5 q8 d16."},
};
constexpr std::array k_seikai_parts{
    Part{k_chime, "o6 l32 q8 e > c8"},
    Part{k_chime_body, "o6 l32 q8 c g8"},
};
constexpr std::array k_hazure_parts{
    Part{k_buzz, "o3 l16 q6 e- q8 e-8"},
    Part{k_buzz_body, "o2 l16 q6 e- q8 e-8"},
};
constexpr std::array k_hazure0_parts{
    Part{k_chime, "o5 l32 q8 f e8"},
    Part{k_chime_body, "o4 l32 q8 f e8"},
};
constexpr std::array k_kekka_parts{
    Part{k_marimba, "o5 q8 g8"},
    Part{k_sparkle, "o6 q8 g16"},
};
constexpr std::array k_rureto_parts{Part{k_tick, "o7 q8 c128"}};

constexpr Score music(std::span<const Part> parts, int beats, std::uint32_t loop_ms) {
    return {tempo_for(beats, loop_ms), parts, k_music_peak, loop_ms};
}
constexpr Score cue(std::span<const Part> parts, double tempo_bpm) {
    return {tempo_bpm, parts, k_effect_peak, 0};
}

constexpr std::array k_sound_scores{
    SoundScore{"title.wav", SoundKind::music, music(k_title_parts, 16, 8726)},
    SoundScore{"result.wav", SoundKind::music, music(k_result_parts, 48, 24000)},
    SoundScore{"kuria.wav", SoundKind::jingle, cue(k_kuria_parts, 180.0)},
    SoundScore{"stage1.wav", SoundKind::music, music(k_stage1_parts, 16, 5817)},
    SoundScore{"stage2.wav", SoundKind::music, music(k_stage2_parts, 16, 5812)},
    SoundScore{"stage3.wav", SoundKind::music, music(k_stage3_parts, 24, 8000)},
    SoundScore{"stage4.wav", SoundKind::music, music(k_stage4_parts, 16, 5647)},
    SoundScore{"stage5.wav", SoundKind::music, music(k_stage5_parts, 16, 5818)},
    SoundScore{"stage6.wav", SoundKind::music, music(k_stage6_parts, 16, 5818)},
    SoundScore{"start.wav", SoundKind::jingle, cue(k_start_parts, 150.0)},
    SoundScore{"over.wav", SoundKind::jingle, cue(k_over_parts, 150.0)},
    SoundScore{"kettei.wav", SoundKind::effect, cue(k_kettei_parts, 120.0)},
    SoundScore{"kasoru.wav", SoundKind::effect, cue(k_kasoru_parts, 120.0)},
    SoundScore{"3.wav", SoundKind::effect, cue(k_count_parts, 120.0)},
    SoundScore{"2.wav", SoundKind::effect, cue(k_count_parts, 120.0)},
    SoundScore{"1.wav", SoundKind::effect, cue(k_count_one_parts, 120.0)},
    SoundScore{"-60.wav", SoundKind::effect, cue(k_slow_cue_parts, 120.0)},
    SoundScore{"-200.wav", SoundKind::effect, cue(k_medium_cue_parts, 120.0)},
    SoundScore{"-100.wav", SoundKind::effect, cue(k_fast_cue_parts, 120.0)},
    SoundScore{"seikai.wav", SoundKind::effect, cue(k_seikai_parts, 120.0)},
    SoundScore{"hazure.wav", SoundKind::effect, cue(k_hazure_parts, 120.0)},
    SoundScore{"hazure0.wav", SoundKind::effect, cue(k_hazure0_parts, 120.0)},
    SoundScore{"kekka.wav", SoundKind::effect, cue(k_kekka_parts, 120.0)},
    SoundScore{"rureto.wav", SoundKind::effect, cue(k_rureto_parts, 120.0)},
};

}  // namespace

std::span<const SoundScore> sound_scores() {
    return k_sound_scores;
}

const SoundScore* find_score(std::string_view name) {
    const auto found = std::find_if(k_sound_scores.begin(), k_sound_scores.end(),
                                    [name](const SoundScore& sound) { return sound.name == name; });
    return found == k_sound_scores.end() ? nullptr : &*found;
}

}  // namespace kal
