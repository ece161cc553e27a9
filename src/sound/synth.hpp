#pragma once

// The small synthesizer behind the game's own sounds. A score is a tempo and a few parts; each
// part is one instrument (band-limited oscillators through a filter and an envelope, through
// the score's echo if wanted) playing a line of notes written in a compact text notation:
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
// Rendering gives 16-bit mono PCM at 48 kHz. A looping score (music) is rendered as it sounds
// on its second time round: notes that ring past the loop point carry into its start, and it
// has no fades. Any other sound gets a few milliseconds of fade at both ends, so that starting
// or cutting it never clicks.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace kal {

inline constexpr std::uint32_t k_sample_rate = 48000;
inline constexpr std::uint32_t k_ticks_per_whole = 384;
inline constexpr std::uint32_t k_ticks_per_beat = k_ticks_per_whole / 4;

enum class Waveform : std::uint8_t { pulse, triangle, saw, sine, noise };
enum class FilterMode : std::uint8_t { none, lowpass, bandpass, highpass };

// tan(pi f / rate) for a cutoff f kept well inside the band: the cutoff as a filter sees it.
double warped_cutoff(double cutoff_hz);

// A two-pole state-variable filter of the topology-preserving kind (trapezoidal integration):
// its response is that of the analog filter at the warped frequency tan(pi f / rate), so the
// cutoff and the Q mean what they say up to the top of the band. The band-pass has unity gain
// at its centre.
class StateVariableFilter {
public:
    StateVariableFilter(FilterMode mode, double cutoff_hz, double q);

    // Inline, so that a filter whose cutoff moves stays in registers through a note.
    void set_cutoff(double cutoff_hz) {
        const double g = warped_cutoff(cutoff_hz);
        a1_ = 1.0 / (1.0 + g * (g + damping_));
        a2_ = g * a1_;
        a3_ = g * a2_;
    }

    double process(double input) {
        if (mode_ == FilterMode::none) {
            return input;
        }
        const double v3 = input - state2_;
        const double band = a1_ * state1_ + a2_ * v3;
        const double low = state2_ + a2_ * state1_ + a3_ * v3;
        state1_ = 2.0 * band - state1_;
        state2_ = 2.0 * low - state2_;
        switch (mode_) {
            case FilterMode::lowpass:
                return low;
            case FilterMode::bandpass:
                return damping_ * band;
            case FilterMode::highpass:
            case FilterMode::none:
                break;
        }
        return input - damping_ * band - low;
    }

private:
    FilterMode mode_;
    double damping_;  // 1 / Q
    double a1_ = 0.0;
    double a2_ = 0.0;
    double a3_ = 0.0;
    double state1_ = 0.0;
    double state2_ = 0.0;
};

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
    float resonance = 0.7071F;  // Q of the filter
    // Octaves the cutoff opens by at the envelope's peak, closing again as the note decays.
    float sweep = 0.0F;
    // A second, fixed low-pass (four poles) that keeps the voice out of the top octaves; 0 for
    // none.
    float top_hz = 0.0F;
    float glide = 0.0F;  // semitones per second from the start of each note
    float vibrato_cents = 0.0F;
    float vibrato_hz = 5.5F;
    // A second oscillator this many cents above the first, for a wider sound; 0 for none.
    float detune_cents = 0.0F;
};

// Repeats of the parts sent to it after a delay, each quieter by the feedback.
struct Echo {
    std::uint32_t delay_ticks = 0;  // 0: no echo
    float feedback = 0.0F;
};

struct Part {
    Instrument instrument;
    std::string_view notes;
    bool echoed = false;  // sent through the score's echo
};

struct Score {
    double tempo_bpm = 120.0;
    std::span<const Part> parts;
    // The loop length of music, which the score fills exactly; 0 for a sound that plays once
    // and lasts until its last note has died away.
    std::uint32_t loop_ms = 0;
    // No peak of the rendered sound rises above this level (dBFS): a limiter holds the few
    // that would, so that the sound leaves room for others in the mix.
    float ceiling_dbfs = 0.0F;
    Echo echo{};  // heard on the echoed parts
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

// Renders the score as 16-bit mono samples at k_sample_rate, raised or lowered by gain_db
// (0 dB: the instruments' own gains, where 1 is full scale), its peaks held at the score's
// ceiling. A part whose notes do not parse stays silent.
std::vector<std::int16_t> render(const Score& score, float gain_db);

}  // namespace kal
