#include "sound/scores.hpp"

#include <algorithm>
#include <array>

namespace kal {
namespace {

// The tempo at which a number of beats fills a track's loop exactly.
constexpr double tempo_for(int beats, std::uint32_t loop_ms) {
    return beats * 60000.0 / loop_ms;
}

// --- The band -----------------------------------------------------------------------------
// Every voice is band-limited at its oscillator and kept out of the top octaves by its filters:
// the drums' noise through a low-pass, the leads through a cutoff that opens as each note
// starts and closes as it fades. The stages use brighter leads and arpeggios one after another.

// A lead: a pulse with a touch of vibrato whose filter opens by an octave at each note.
constexpr Instrument lead(float cutoff, float duty) {
    return {.wave = Waveform::pulse,
            .duty = duty,
            .envelope = {6.0F, 900.0F, 0.55F, 120.0F},
            .gain = 0.26F,
            .filter = FilterMode::lowpass,
            .cutoff = cutoff,
            .sweep = 1.0F,
            .vibrato_cents = 8.0F};
}
constexpr Instrument saw_lead(float cutoff) {
    return {.wave = Waveform::saw,
            .envelope = {5.0F, 800.0F, 0.6F, 110.0F},
            .gain = 0.24F,
            .filter = FilterMode::lowpass,
            .cutoff = cutoff,
            .resonance = 1.2F,
            .sweep = 1.2F,
            .vibrato_cents = 7.0F};
}
// A plucked arpeggio: a thin pulse whose brightness dies with the note.
constexpr Instrument arp(float cutoff) {
    return {.wave = Waveform::pulse,
            .duty = 0.125F,
            .envelope = {1.0F, 170.0F, 0.12F, 60.0F},
            .gain = 0.15F,
            .filter = FilterMode::lowpass,
            .cutoff = cutoff,
            .sweep = 1.5F};
}
// Chords held under everything, so that the band never falls silent. The top voice is two
// saws a little apart, which makes the whole chord shimmer.
constexpr Instrument k_pad{.wave = Waveform::saw,
                           .envelope = {120.0F, 2500.0F, 0.75F, 250.0F},
                           .gain = 0.3F,
                           .filter = FilterMode::lowpass,
                           .cutoff = 1300.0F,
                           .detune_cents = 9.0F};
constexpr Instrument k_inner_pad{.wave = Waveform::saw,
                                 .envelope = {120.0F, 2500.0F, 0.75F, 250.0F},
                                 .gain = 0.2F,
                                 .filter = FilterMode::lowpass,
                                 .cutoff = 1200.0F};
constexpr Instrument k_soft_pad{.wave = Waveform::triangle,
                                .envelope = {80.0F, 2000.0F, 0.7F, 300.0F},
                                .gain = 0.2F,
                                .detune_cents = 6.0F};
// Off-beat chord stabs of a waltz.
constexpr Instrument k_pah{.wave = Waveform::pulse,
                           .duty = 0.25F,
                           .envelope = {3.0F, 260.0F, 0.15F, 60.0F},
                           .gain = 0.16F,
                           .filter = FilterMode::lowpass,
                           .cutoff = 1800.0F,
                           .sweep = 1.0F};
constexpr Instrument k_bass{
    .wave = Waveform::triangle, .envelope = {3.0F, 500.0F, 0.6F, 60.0F}, .gain = 0.5F};
// A plucked saw bass: its filter snaps open and closes again with each note.
constexpr Instrument k_pluck_bass{.wave = Waveform::saw,
                                  .envelope = {2.0F, 320.0F, 0.45F, 50.0F},
                                  .gain = 0.36F,
                                  .filter = FilterMode::lowpass,
                                  .cutoff = 320.0F,
                                  .resonance = 1.1F,
                                  .sweep = 2.5F};
constexpr Instrument k_pulse_bass{.wave = Waveform::pulse,
                                  .duty = 0.5F,
                                  .envelope = {3.0F, 300.0F, 0.5F, 50.0F},
                                  .gain = 0.3F,
                                  .filter = FilterMode::lowpass,
                                  .cutoff = 500.0F,
                                  .sweep = 1.5F};
// A sine that drops two octaves in a tenth of a second.
constexpr Instrument k_kick{.wave = Waveform::sine,
                            .envelope = {1.0F, 220.0F, 0.0F, 30.0F},
                            .gain = 0.42F,
                            .glide = -180.0F};
constexpr Instrument k_snare{.wave = Waveform::noise,
                             .envelope = {1.0F, 130.0F, 0.0F, 30.0F},
                             .gain = 0.9F,
                             .filter = FilterMode::bandpass,
                             .cutoff = 1900.0F,
                             .resonance = 0.8F,
                             .top_hz = 9000.0F};
// Noise between 7 and 11 kHz: the crisp part of a cymbal without the fizz above it.
constexpr Instrument hat(float decay_ms) {
    return {.wave = Waveform::noise,
            .envelope = {0.5F, decay_ms, 0.0F, 12.0F},
            .gain = 1.2F,
            .filter = FilterMode::highpass,
            .cutoff = 7000.0F,
            .top_hz = 11000.0F};
}
constexpr Instrument k_hat = hat(40.0F);
constexpr Instrument k_open_hat = hat(220.0F);

// Echoes of the lead, a dotted eighth or an eighth behind it.
constexpr Echo k_long_echo{72, 0.3F};
constexpr Echo k_short_echo{48, 0.22F};

// --- Music --------------------------------------------------------------------------------
// Every part of a track fills its loop exactly and plays through the loop point; the pads hold
// their chords across it and what still rings at the end sounds on into the start. Each loop's
// last bar answers the first three with a fill, so the loop never repeats itself bar for bar.

// Title: F major, bright and inviting: F | Am | Bb | C, the bass walking back up to F. It is
// the first thing the game plays, rendered while the title waits for its first key, so it is
// kept light: two voices of chord and an arpeggio in eighths.
constexpr std::array k_title_parts{
    Part{lead(2200.0F, 0.25F),
         "o5 l8 c f a > c < a4 g f | e4. f e c < a4 > | d f b- > d c4 < b- a | g4. a g e c e",
         true},
    Part{k_pad, "o4 q8 f1 | e1 | f1 | e1"},
    Part{k_soft_pad, "o4 q8 c1 | c1 | d1 | c1"},
    Part{arp(2000.0F),
         "o4 l8 [f a > c < a]2 | [e a > c < a]2 | [f b- > d < b-]2 | e g > c < g e g > c e"},
    Part{k_bass, "o2 l8 [f > f <]4 | [a > a <]4 | [b- > b- <]4 | > c < c > c < c e f g a"},
    Part{k_kick, "o3 l4 [c r c r]3 c r c8 c8 c8 r8"},
    Part{k_snare, "l4 [r c]6 r c r8 c16 c16 c8 c8"},
    Part{k_hat, "l8 [v9 c v5 c]16"},
};

// Result: C major, calm and warm, twelve bars; the last one steps back down to the first.
constexpr std::array k_result_parts{
    Part{lead(1800.0F, 0.5F),
         "o5 l4 e g > c < g | d2 g2 | c e a e | b2 g2 | a f > c < a | g e c e |"
         " f d < a > d | d2 < b2 > | e g > c < g | a e c e | f a g b | > c2 < g8 e8 f8 d8",
         true},
    Part{arp(1600.0F),
         "o4 l8 [c e g e]2 | [< b > d g d]2 | [c e a e]2 | [< b > e g e]2 | [c f a f]2 |"
         " [c e g e]2 | [d f a f]2 | [< b > d g d]2 | [c e g e]2 | [c e a e]2 |"
         " c f a f d g b g | c e g e d g b g"},
    Part{k_soft_pad, "o4 q8 e1 | d1 | c1 | < b1 > | c1 | c1 | d1 | d1 | e1 | e1 | c2 d2 | e2 d2"},
    Part{k_soft_pad, "o3 q8 g1 | g1 | a1 | g1 | a1 | g1 | a1 | g1 | g1 | a1 | a2 b2 | g1"},
    Part{k_bass,
         "o3 c2 < g2 | b2 g2 | a2 e2 | g2 b2 | f2 > c2 < | e2 g2 | d2 a2 | g2 d2 |"
         " > c2 < g2 | a2 e2 | f2 g2 | > c2 < g2"},
    Part{k_kick, "o3 l2 [c c]12"},
    Part{k_hat, "l4 v8 [r c]22 r c v6 c8 c8 v8 c8 c8"},
};

// Stage 1: G major, a friendly warm-up: G | Em | C | D, the lead running up into the loop.
constexpr std::array k_stage1_parts{
    Part{lead(1500.0F, 0.25F),
         "o4 l8 b4 > d < b a g a4 | g4 e g b4 a g | e g > c4 < b a g e |"
         " f+ a > d < a l16 b > c d e d c < b a",
         true},
    Part{k_pad, "o4 q8 d1 | e1 | e1 | f+1"},
    Part{k_inner_pad, "o3 q8 b1 | b1 | > c1 | < a1"},
    Part{k_inner_pad, "o3 q8 g1 | g1 | g1 | d1"},
    Part{k_pluck_bass,
         "o2 l8 g > g < d > g < g > g < d > d < | e > e < b > e < e > e < b > b < |"
         " c > c < g > c < c > c < g > c < | d > d < a > d < d f+ a > c <"},
    Part{k_kick, "o3 l8 [c r r c c r r r]3 c r r c c r c c"},
    Part{k_snare, "l4 [r c]6 r c r8 c16 c16 c8 c8"},
    Part{k_hat, "l8 [v10 c v6 c]16"},
};

// Stage 2: D minor, syncopated and a notch keener: Dm | Bb | C | A.
constexpr std::array k_stage2_parts{
    Part{lead(1800.0F, 0.25F),
         "o4 l8 a > d ^ f ^ e d < a | b- > d ^ f ^ e d c | c e ^ g ^ f e d |"
         " c+ e a e l16 f e d c+ d e c+ < a",
         true},
    Part{arp(1800.0F), "o4 l8 [d f a > d <]2 | [d f b- > d <]2 | [e g > c e <]2 | [e a > c+ e <]2"},
    Part{k_pad, "o4 q8 f1 | f1 | e1 | e1"},
    Part{k_inner_pad, "o4 q8 d1 | d1 | c1 | c+1"},
    Part{k_inner_pad, "o3 q8 a1 | b-1 | g1 | a1"},
    Part{k_pulse_bass,
         "o2 l8 d4 > d < d ^ d > d < d | < b-4 > b- < b- ^ b- > b- < b- > |"
         " c4 > c < c ^ c > c < c | < a4 > a < a > c+ e g a"},
    Part{k_kick, "o3 l8 [c r r c r r c r]3 c r r c r c c c"},
    Part{k_snare, "l4 [r c]6 r c8 c16 c16 r8 c8 c8 c8"},
    Part{k_hat, "l8 [v10 c v6 c v10 c r]8"},
    Part{k_open_hat, "l8 v8 [r r r c]8"},
};
// Stage 3: E minor in three, a faster waltz over eight bars:
// Em | C | Am | B7 | Em | C | D | B7, the lead turning up and back in the last.
constexpr std::array k_stage3_parts{
    Part{lead(2600.0F, 0.25F),
         "o5 l8 e4. f+ g4 | e4. d c < g > | c4. d e4 | d+4 < b4 > f+4 |"
         " e4. f+ g4 | a4. g f+ e | f+4 d4 a4 | l16 g f+ e d+ e f+ g a b a g f+",
         true},
    Part{arp(2800.0F),
         "o4 l8 e g b g > e < b | e g > c < g > e c < | e a > c < a > e c < | d+ f+ a f+ b f+ |"
         " e g b g > e < b | e g > c < g > e c < | d f+ a f+ > d < a | d+ f+ a f+ b a"},
    Part{k_pah, "o4 l4 q4 r g g | r g g | r a a | r a a | r g g | r g g | r a a | r a a"},
    Part{k_pah, "o4 l4 q4 r e e | r e e | r e e | r d+ d+ | r e e | r e e | r f+ f+ | r d+ d+"},
    Part{k_pad, "o3 q8 b2. | > c2. | < a2. | b2. | b2. | > c2. | < a2. | b2."},
    Part{k_pulse_bass,
         "o2 l4 e > e < b | c > c < g | < a > a e | < b > b f+ | e > e < b | c > c < g |"
         " d > d < a | < b > b a"},
    Part{k_kick, "o3 l4 [c r r]7 c r8 c8 c8 c8"},
    Part{k_snare, "l4 [r r c]7 r c8 c8 c16 c16 c8"},
    Part{k_hat, "l8 [v10 c v6 c]24"},
};

// Stage 4: F# minor, running sixteenths: F#m | D | E | C#7, the lead climbing a step each bar.
constexpr std::array k_stage4_parts{
    Part{saw_lead(2400.0F),
         "o5 l8 c+ f+ ^ a ^ g+ f+ e | f+ a ^ > d ^ c+ < b a | g+ b ^ > e ^ d c+ < b |"
         " l16 > c+ < b g+ e+ c+ < b > c+ e+ g+ b > c+ < b g+ e+ d c+",
         true},
    Part{arp(2600.0F),
         "o4 l16 [f+ a > c+ < a]4 | [f+ a > d < a]4 | [g+ b > e < b]4 | [g+ b > e+ < b]4"},
    Part{k_pad, "o4 q8 f+1 | f+1 | e1 | e+1"},
    Part{k_inner_pad, "o4 q8 c+1 | d1 | < b1 | b1"},
    Part{k_inner_pad, "o3 q8 a1 | a1 | g+1 | g+1"},
    Part{k_pluck_bass,
         "o2 l8 [f+ f+ > f+ < f+]2 | [d d > d < d]2 | [e e > e < e]2 |"
         " c+ c+ > c+ < c+ > c+ < b g+ e+"},
    Part{k_kick, "o3 l4 [c]12 c c c8 c8 c8 c8"},
    Part{k_snare, "l4 [r c]6 r c r8 c16 c16 c16 c16 c8"},
    Part{k_hat, "l8 [v7 c v12 c]16"},
};

// Stage 5: G minor, a sixteenth ostinato under staccato runs: Gm | Eb | Cm | D7.
constexpr std::array k_stage5_parts{
    Part{lead(2500.0F, 0.25F),
         "o5 l8 q5 g b- > d < b- > c < b- a g | g b- > e- < b- > d c < b- g |"
         " g > c e- c < b- g f e- | q8 l16 d f+ a > c d c < a f+ d f+ a > c d c < a f+",
         true},
    Part{arp(2800.0F), "o5 l8 [r d]4 | [r e-]4 | [r e-]4 | [r c]4"},
    Part{k_pad, "o4 q8 d1 | e-1 | e-1 | c1"},
    Part{k_inner_pad, "o3 q8 b-1 | b-1 | > c1 | < a1"},
    Part{k_inner_pad, "o3 q8 g1 | g1 | g1 | f+1"},
    Part{k_pluck_bass,
         "o2 l16 [g g > g < g]4 | [e- e- > e- < e-]4 | o3 [c c > c < c]4 |"
         " o2 [d d > d < d]3 d d > c < a"},
    Part{k_kick, "o3 l8 [c r c r]7 c c16 c16 c c"},
    Part{k_snare, "l4 [r c]6 r8 c16 c16 c8 c8 c16 c16 c16 c16 c8 c8"},
    Part{k_hat, "l16 [v11 c v6 c v8 c v6 c]16"},
};

// Stage 6: A minor, the last stretch, chromatic and driving: Am | F | Dm | E7, with a snare
// roll into the loop.
constexpr std::array k_stage6_parts{
    Part{saw_lead(4000.0F),
         "o5 l16 e8 a8 > c8 < a8 g+ a b a g+ a > c < b | f8 a8 > c8 < a8 g a b- a g f e f |"
         " a8 > d8 f8 d8 c d e d c < b a b | e g+ b > d e d < b g+ e g+ b > d e f e d",
         true},
    Part{arp(4400.0F), "o4 l16 [a > c e c <]4 | [a > c f c <]4 | [a > d f d <]4 | [g+ b > e < b]4"},
    Part{k_pad, "o4 q8 e1 | f1 | f1 | d1"},
    Part{k_inner_pad, "o4 q8 c1 | c1 | d1 | < b1"},
    Part{k_inner_pad, "o3 q8 a1 | a1 | a1 | g+1"},
    Part{k_pluck_bass,
         "o2 l16 [a a > a < a]4 | [f f > f < f]4 | [d d > d < d]4 | [e e > e < e]3 e g+ b > d"},
    Part{k_kick, "o3 l8 [c r c c]7 c c c16 c16 c16 c16"},
    Part{k_snare, "l4 [r c]6 r8 l16 [c]14"},
    Part{k_hat, "l16 [v12 c v6 c v9 c v6 c]16"},
};

// --- Jingles ------------------------------------------------------------------------------

constexpr Instrument k_brass{.wave = Waveform::pulse,
                             .duty = 0.5F,
                             .envelope = {8.0F, 900.0F, 0.5F, 120.0F},
                             .gain = 0.3F,
                             .filter = FilterMode::lowpass,
                             .cutoff = 1600.0F,
                             .sweep = 1.2F,
                             .top_hz = 9000.0F,
                             .vibrato_cents = 10.0F};
constexpr Instrument k_brass_low{.wave = Waveform::saw,
                                 .envelope = {10.0F, 900.0F, 0.5F, 120.0F},
                                 .gain = 0.24F,
                                 .filter = FilterMode::lowpass,
                                 .cutoff = 1000.0F,
                                 .sweep = 1.0F,
                                 .top_hz = 8000.0F};
constexpr Instrument k_sparkle{.wave = Waveform::pulse,
                               .duty = 0.125F,
                               .envelope = {1.0F, 200.0F, 0.0F, 40.0F},
                               .gain = 0.14F,
                               .filter = FilterMode::lowpass,
                               .cutoff = 4000.0F,
                               .top_hz = 10000.0F};
constexpr Instrument k_jingle_bass{
    .wave = Waveform::triangle, .envelope = {4.0F, 800.0F, 0.55F, 120.0F}, .gain = 0.45F};

// Clear and rank-in fanfare: ta-ta-ta-taa. The game starts it again every second, so its last
// chord has died away within 900 ms.
constexpr std::array k_kuria_parts{
    Part{k_brass, "o5 l16 q6 g g g q8 > c4."},     Part{k_brass, "o5 l16 q6 e e e q8 g4."},
    Part{k_brass_low, "o4 l16 q6 c c c q8 > e4."}, Part{k_jingle_bass, "o3 l16 q6 c c c q8 < c4."},
    Part{k_sparkle, "o6 l32 r8. c e g > c e g"},
};

// Game start: a climbing call to the starting line, the go held on top.
constexpr std::array k_start_parts{
    Part{k_brass, "o5 l16 c e g b > c8 e8 g4."},
    Part{k_brass_low, "o4 l16 r4 g8 > c8 e4."},
    Part{k_sparkle, "o5 l16 r4 r8 c e g > c e g > c4"},
    Part{k_jingle_bass, "o3 c4 < g4 > c4."},
    Part{k_kick, "o3 r2 c4"},
    Part{k_snare, "l16 r4 r8 c c c c c c"},
};

// Time over: a slow chromatic slide down to A major, disappointed rather than harsh.
constexpr std::array k_over_parts{
    Part{k_brass, "o5 l8 q7 g f+ f q8 e2"},
    Part{k_brass_low, "o4 l8 q7 e d+ d q8 c+2"},
    Part{k_jingle_bass, "o3 l8 q7 c < b b- q8 a2"},
};

// --- Effects ------------------------------------------------------------------------------
// Steady tones with little between their peak and their body, so that they stand well above
// the music without peaking high in the mix.

// A square tone: a short attack, then a body that decays toward the sustain level.
constexpr Instrument tone(float cutoff, float decay_ms, float sustain, float release_ms = 25.0F) {
    return {.wave = Waveform::pulse,
            .duty = 0.5F,
            .envelope = {1.0F, decay_ms, sustain, release_ms},
            .gain = 0.4F,
            .filter = FilterMode::lowpass,
            .cutoff = cutoff,
            .top_hz = 10000.0F};
}

// The speed cues: a band of noise rising with a tone. The slow cue rises gently and low, the
// medium one faster and higher, the fastest one sweeps quickest and brightest.
constexpr Instrument whoosh(float glide, float attack_ms, float release_ms) {
    return {.wave = Waveform::noise,
            .envelope = {attack_ms, 300.0F, 0.6F, release_ms},
            .gain = 0.2F,
            .filter = FilterMode::bandpass,
            .cutoff = 1.0F,
            .key_follow = true,
            .resonance = 2.5F,
            .top_hz = 9000.0F,
            .glide = glide};
}
constexpr Instrument rising_tone(float glide, float attack_ms, float release_ms) {
    return {.wave = Waveform::pulse,
            .duty = 0.5F,
            .envelope = {attack_ms, 300.0F, 0.7F, release_ms},
            .gain = 0.3F,
            .filter = FilterMode::lowpass,
            .cutoff = 3000.0F,
            .top_hz = 10000.0F,
            .glide = glide};
}

// Decide: one short, neutral blip that promises nothing about the answer.
constexpr std::array k_kettei_parts{Part{tone(5000.0F, 300.0F, 0.8F), "o6 q6 e32"}};
// Cursor: a softer, lower tick.
constexpr std::array k_kasoru_parts{Part{tone(2500.0F, 120.0F, 0.8F), "o5 q8 a64"}};
// The counts: a plain beep for three and two, the same beep a fourth higher for one.
constexpr std::array k_count_parts{Part{tone(3500.0F, 400.0F, 0.85F), "o5 q6 a16"}};
constexpr std::array k_count_one_parts{Part{tone(3500.0F, 400.0F, 0.85F), "o6 q6 d16"}};
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
// Right: a bright run up a major chord to a ringing top note.
constexpr std::array k_seikai_parts{Part{tone(6000.0F, 600.0F, 0.7F), "o6 l32 q8 c e g > c8"}};
// Wrong: a low, dull buzz that sags.
constexpr Instrument k_buzz{.wave = Waveform::pulse,
                            .duty = 0.5F,
                            .envelope = {3.0F, 500.0F, 0.75F, 40.0F},
                            .gain = 0.4F,
                            .filter = FilterMode::lowpass,
                            .cutoff = 700.0F,
                            .glide = -5.0F};
constexpr std::array k_hazure_parts{Part{k_buzz, "o3 l16 q6 e- q8 < b8."}};
// The wrongly chosen digit shown in red: a low, muffled knock.
constexpr std::array k_hazure0_parts{Part{tone(600.0F, 250.0F, 0.5F), "o3 q8 d16"}};
// The tally: a short two-note pop.
constexpr std::array k_kekka_parts{Part{tone(3000.0F, 200.0F, 0.85F), "o5 l32 q8 g > d"}};
// The roulette: a tick short enough to sound many times a second.
constexpr std::array k_rureto_parts{Part{tone(4000.0F, 30.0F, 0.6F, 8.0F), "o6 q8 c128"}};

// The music's drum hits peak well above its body; the few that rise above -10.5 dBFS are held
// there, which leaves room for two effects on top without the mix reaching full scale.
constexpr float k_music_ceiling_dbfs = -10.5F;
// Nothing of the set peaks above -1 dBFS.
constexpr float k_ceiling_dbfs = -1.0F;

constexpr Score music(std::span<const Part> parts, int beats, std::uint32_t loop_ms, Echo echo) {
    return {tempo_for(beats, loop_ms), parts, loop_ms, k_music_ceiling_dbfs, echo};
}
constexpr Score cue(std::span<const Part> parts, double tempo_bpm) {
    return {tempo_bpm, parts, 0, k_ceiling_dbfs};
}

constexpr std::array k_sound_scores{
    SoundScore{"title.wav", SoundKind::music, music(k_title_parts, 16, 8726, k_long_echo)},
    SoundScore{"result.wav", SoundKind::music, music(k_result_parts, 48, 24000, k_long_echo)},
    SoundScore{"kuria.wav", SoundKind::jingle, cue(k_kuria_parts, 200.0)},
    SoundScore{"stage1.wav", SoundKind::music, music(k_stage1_parts, 16, 5817, k_long_echo)},
    SoundScore{"stage2.wav", SoundKind::music, music(k_stage2_parts, 16, 5812, k_long_echo)},
    SoundScore{"stage3.wav", SoundKind::music, music(k_stage3_parts, 24, 8000, k_long_echo)},
    SoundScore{"stage4.wav", SoundKind::music, music(k_stage4_parts, 16, 5647, k_short_echo)},
    SoundScore{"stage5.wav", SoundKind::music, music(k_stage5_parts, 16, 5818, k_short_echo)},
    SoundScore{"stage6.wav", SoundKind::music, music(k_stage6_parts, 16, 5818, k_short_echo)},
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
