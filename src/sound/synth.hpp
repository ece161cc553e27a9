#pragma once

// The small synthesizer behind the game's own sounds. A score is a tempo and a few parts; each
// part is one instrument (an oscillator through an envelope and a filter) playing a line of
// notes written in a compact text notation:
//
//   c d e f g a b   a note; '+' or '#' raises it a semitone, '-' lowers it
//   r               a rest
//   4 8. 16 ...     after a note or rest: its length as a fraction of a whole note, where
//                   every '.' adds half of the length before it; without one, the default
//   ^8              a tie: lengthens the note or rest before it ('^' alone: the default)
//   o4 > <          set the octave (o4 a is 440 Hz), one octave up, one octave down
//   l8              the default length
//   v12             loudness of the following notes, 0 to 15 (15 at the start)
//   q7              the following notes sound for 7/8 of their length (1 to 8; 7 at start)
//   [ ... ]3        the enclosed notes three times (twice without a count); may nest
//   spaces and '|'  ignored, so bars can be laid out for the eye
//
// Lengths are counted in ticks, 384 to a whole note, so triplets (12, 24) come out exact.
// Rendering gives 16-bit mono PCM at 48 kHz, scaled to the score's peak, with a few
// milliseconds of fade at both ends so that starting or cutting a sound never clicks.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace kal {

inline constexpr std::uint32_t k_sample_rate = 48000;
inline constexpr std::uint32_t k_ticks_per_whole = 384;
inline constexpr std::uint32_t k_ticks_per_beat = k_ticks_per_whole / 4;

enum class Waveform : std::uint8_t { pulse, triangle, saw, noise };
enum class FilterMode : std::uint8_t { none, lowpass, bandpass, highpass };

struct Envelope {
    float attack_ms = 2.0F;
    float decay_ms = 200.0F;   // the time to fall 60 dB toward the sustain level
    float sustain = 0.0F;      // 0 to 1
    float release_ms = 40.0F;  // the time to fall 60 dB once the note has ended
};

struct Instrument {
    Waveform wave = Waveform::pulse;
    float duty = 0.5F;  // pulse only: the high part of a cycle
    Envelope envelope;
    float gain = 0.5F;
    FilterMode filter = FilterMode::none;
    float cutoff = 0.0F;  // Hz, or a multiple of the note's frequency with key_follow
    bool key_follow = false;
    float resonance = 0.7F;  // Q of the filter
    float glide = 0.0F;      // semitones per second from the start of each note
    float vibrato_cents = 0.0F;
    float vibrato_hz = 5.5F;
};

struct Part {
    Instrument instrument;
    std::string_view notes;
};

struct Score {
    double tempo_bpm = 120.0;
    std::span<const Part> parts;
    float peak = 0.5F;  // the peak of the rendered sound, as a fraction of full scale
    // The exact length of the sound; 0 lets it last until its last note has died away.
    std::uint32_t length_ms = 0;
};

struct NoteEvent {
    std::uint32_t start_tick = 0;
    std::uint32_t length_ticks = 0;
    int key = 0;  // MIDI numbering: o4 c is 60, o4 a is 69
    float velocity = 1.0F;
    float gate = 1.0F;  // the part of the length that the note sounds
};

struct PartNotes {
    std::vector<NoteEvent> notes;
    std::uint32_t length_ticks = 0;  // notes and rests together
};

// The notes of one part; nothing when the text is not valid notation.
std::optional<PartNotes> parse_notes(std::string_view text);

// Renders the score as 16-bit mono samples at k_sample_rate. A part whose notes do not parse
// stays silent.
std::vector<std::int16_t> render(const Score& score);

}  // namespace kal
