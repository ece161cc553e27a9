#include "sound/synth.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <string>

namespace kal {
namespace {

// Notation limits: far beyond what a score needs, low enough that a typo cannot make a part
// that takes minutes to expand or render.
constexpr unsigned k_max_repeat = 64;
constexpr int k_max_nesting = 8;
constexpr std::size_t k_max_expanded_chars = 1U << 20U;
constexpr int k_max_octave = 8;
constexpr int k_start_octave = 4;
constexpr unsigned k_max_velocity = 15;
constexpr unsigned k_start_gate = 7;
constexpr unsigned k_gate_steps = 8;
constexpr int k_semitones = 12;
constexpr int k_max_key = 127;

constexpr double k_a4_hz = 440.0;
constexpr int k_a4_key = 69;
constexpr double k_lowest_cutoff_hz = 20.0;
// The warped cutoff grows without bound toward the Nyquist limit; the filter stays well clear.
constexpr double k_highest_cutoff_hz = 0.45 * k_sample_rate;
constexpr double k_lowest_q = 0.5;
constexpr double k_highest_step = 0.45;  // cycles per frame, just under the Nyquist limit
constexpr double k_lowest_step = 1e-5;
constexpr double k_sixty_db = 1e-3;
constexpr double k_inaudible = 3e-5;  // -90 dB: far below the 16-bit noise floor of the mix

constexpr float k_limiter_attack_ms = 1.5F;
constexpr float k_limiter_release_ms = 60.0F;
constexpr float k_fade_in_ms = 2.0F;
constexpr float k_fade_out_ms = 5.0F;
constexpr float k_full_scale = 32767.0F;

// --- Notation ------------------------------------------------------------------------------

std::optional<unsigned> read_number(std::string_view text, std::size_t& pos) {
    constexpr unsigned k_largest = 100000;
    if (pos >= text.size() || text[pos] < '0' || text[pos] > '9') {
        return std::nullopt;
    }
    unsigned value = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && value < k_largest) {
        value = value * 10U + static_cast<unsigned>(text[pos] - '0');
        ++pos;
    }
    return value;
}

// Copies text from pos up to the bracket that closes this level, repeats written out.
bool expand_repeats(std::string_view text, std::size_t& pos, int depth, std::string& out) {
    while (pos < text.size()) {
        const char c = text[pos++];
        if (c == ']') {
            return depth > 0;
        }
        if (c != '[') {
            out += c;
            continue;
        }
        std::string inner;
        if (depth == k_max_nesting || !expand_repeats(text, pos, depth + 1, inner)) {
            return false;
        }
        const unsigned count = read_number(text, pos).value_or(2);
        if (count == 0 || count > k_max_repeat ||
            out.size() + inner.size() * count > k_max_expanded_chars) {
            return false;
        }
        for (unsigned i = 0; i < count; ++i) {
            out += inner;
        }
    }
    return depth == 0;
}

// A length such as "8." in ticks; the default when no number follows.
std::optional<std::uint32_t> read_length(std::string_view text, std::size_t& pos,
                                         std::uint32_t default_ticks) {
    std::uint32_t ticks = default_ticks;
    if (const auto divisor = read_number(text, pos)) {
        if (*divisor == 0 || k_ticks_per_whole % *divisor != 0) {
            return std::nullopt;
        }
        ticks = k_ticks_per_whole / *divisor;
    }
    std::uint32_t added = ticks;
    while (pos < text.size() && text[pos] == '.') {
        if (added % 2 != 0) {
            return std::nullopt;
        }
        added /= 2;
        ticks += added;
        ++pos;
    }
    return ticks;
}

int semitone_of(char letter) {
    constexpr std::string_view k_letters = "cdefgab";
    constexpr std::array<int, 7> k_semitone = {0, 2, 4, 5, 7, 9, 11};
    return k_semitone[k_letters.find(letter)];
}

int read_accidentals(std::string_view text, std::size_t& pos) {
    int shift = 0;
    while (pos < text.size() && (text[pos] == '+' || text[pos] == '#' || text[pos] == '-')) {
        shift += text[pos] == '-' ? -1 : 1;
        ++pos;
    }
    return shift;
}

class NoteReader {
public:
    explicit NoteReader(std::string_view text) : text_(text) {}

    std::optional<PartNotes> read() {
        while (pos_ < text_.size()) {
            if (!read_command()) {
                return std::nullopt;
            }
        }
        return std::move(part_);
    }

private:
    bool read_command() {
        const char c = text_[pos_++];
        switch (c) {
            case ' ':
            case '\n':
            case '|':
                return true;
            case 'r':
                return read_rest();
            case '^':
                return read_tie();
            case '>':
                return shift_octave(1);
            case '<':
                return shift_octave(-1);
            case 'o':
                return read_setting(0, k_max_octave, octave_);
            case 'v':
                return read_setting(0, static_cast<int>(k_max_velocity), velocity_);
            case 'q':
                return read_setting(1, static_cast<int>(k_gate_steps), gate_);
            case 'l':
                return read_default_length();
            default:
                return c >= 'a' && c <= 'g' && read_note(c);
        }
    }

    bool read_note(char letter) {
        const int key =
            (octave_ + 1) * k_semitones + semitone_of(letter) + read_accidentals(text_, pos_);
        const auto ticks = read_length(text_, pos_, default_ticks_);
        if (!ticks || key < 0 || key > k_max_key) {
            return false;
        }
        part_.notes.push_back({part_.length_ticks, *ticks, key,
                               static_cast<float>(velocity_) / static_cast<float>(k_max_velocity),
                               static_cast<float>(gate_) / static_cast<float>(k_gate_steps)});
        part_.length_ticks += *ticks;
        last_was_note_ = true;
        return true;
    }

    bool read_rest() {
        const auto ticks = read_length(text_, pos_, default_ticks_);
        if (!ticks) {
            return false;
        }
        part_.length_ticks += *ticks;
        last_was_note_ = false;
        return true;
    }

    bool read_tie() {
        const auto ticks = read_length(text_, pos_, default_ticks_);
        if (!ticks) {
            return false;
        }
        if (last_was_note_) {
            part_.notes.back().length_ticks += *ticks;
        }
        part_.length_ticks += *ticks;
        return true;
    }

    bool shift_octave(int by) {
        octave_ += by;
        return octave_ >= 0 && octave_ <= k_max_octave;
    }

    bool read_setting(int lowest, int highest, int& setting) {
        const auto value = read_number(text_, pos_);
        if (!value || static_cast<int>(*value) < lowest || static_cast<int>(*value) > highest) {
            return false;
        }
        setting = static_cast<int>(*value);
        return true;
    }

    bool read_default_length() {
        const std::size_t before = pos_;
        const auto ticks = read_length(text_, pos_, default_ticks_);
        if (!ticks || pos_ == before) {
            return false;
        }
        default_ticks_ = *ticks;
        return true;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    PartNotes part_;
    int octave_ = k_start_octave;
    int velocity_ = static_cast<int>(k_max_velocity);
    int gate_ = static_cast<int>(k_start_gate);
    std::uint32_t default_ticks_ = k_ticks_per_beat;
    bool last_was_note_ = false;
};

// --- Sound generation ----------------------------------------------------------------------
// Oscillator, filter and envelope each keep a running state and are stepped frame by frame in
// one loop, so that their independent recurrences overlap in the processor.

std::size_t ms_to_frames(float ms) {
    return static_cast<std::size_t>(std::lround(ms * static_cast<float>(k_sample_rate) / 1000.0F));
}

double key_frequency(int key) {
    return k_a4_hz * std::exp2(static_cast<double>(key - k_a4_key) / k_semitones);
}

// Per-frame factor that falls by 60 dB over the given number of frames.
double sixty_db_factor(std::size_t frames) {
    return frames == 0 ? 0.0 : std::pow(k_sixty_db, 1.0 / static_cast<double>(frames));
}

double glide_factor(float semitones_per_second) {
    return std::exp2(semitones_per_second / (k_semitones * static_cast<double>(k_sample_rate)));
}

// Brings a phase that has just passed 1 back into [0, 1).
double wrap(double phase) {
    return phase >= 1.0 ? phase - 1.0 : phase;
}

// Whether the frame at this phase lies within one frame of an edge at the given phase, and if
// so, how far from it in frames (negative before it).
[[gnu::always_inline]] inline bool near_edge(double phase, double edge, double step, double& x) {
    double distance = phase - edge;
    const double apart = std::abs(distance);
    if (apart >= step && apart <= 1.0 - step) [[likely]] {
        return false;
    }
    if (distance >= 0.5) {
        distance -= 1.0;
    } else if (distance < -0.5) {
        distance += 1.0;
    }
    x = distance / step;
    return true;
}

// sin(2 pi phase) within 1e-4, from an odd polynomial over the quarter wave: the library's sin
// costs more than the rest of a note's frame put together.
double sine(double phase) {
    // Folded onto [-1/4, 1/4], where sin(2 pi x) is odd and its Taylor series converges fast.
    double x = phase < 0.25 ? phase : phase < 0.75 ? 0.5 - phase : phase - 1.0;
    x *= 2.0 * std::numbers::pi;
    const double x2 = x * x;
    return x * (1.0 + x2 * (-1.0 / 6.0 + x2 * (1.0 / 120.0 + x2 * (-1.0 / 5040.0))));
}

// What a band-limited step of height 1 differs from the sharp one at this phase (a two-point
// polynomial: nothing beyond one frame from the edge).
[[gnu::always_inline]] inline double step_residual(double phase, double edge, double step) {
    double x = 0.0;
    if (!near_edge(phase, edge, step, x)) {
        return 0.0;
    }
    return x < 0.0 ? 0.5 * (x + 1.0) * (x + 1.0) : -0.5 * (1.0 - x) * (1.0 - x);
}

// The same for a corner where the slope grows by 1 per frame: the integral of the step's.
[[gnu::always_inline]] inline double corner_residual(double phase, double edge, double step) {
    double x = 0.0;
    if (!near_edge(phase, edge, step, x)) {
        return 0.0;
    }
    const double near = 1.0 - std::abs(x);
    return near * near * near * (1.0 / 6.0);
}

class Oscillator {
public:
    Oscillator(const Instrument& instrument, double frequency, std::uint32_t seed)
        : duty_(instrument.duty),
          step_(std::clamp(frequency / k_sample_rate, k_lowest_step, k_highest_step)),
          glide_(glide_factor(instrument.glide)),
          vibrato_depth_(std::exp2(instrument.vibrato_cents / 1200.0) - 1.0),
          lfo_step_(instrument.vibrato_hz / k_sample_rate),
          noise_(seed | 1U) {}

    // The waveform is a template argument, so that each one gets a loop of its own.
    template <Waveform wave>
    [[gnu::always_inline]] double next() {
        const double step = vibrato_depth_ == 0.0 ? step_ : step_with_vibrato();
        const double value = shape<wave>(step);
        phase_ = wrap(phase_ + step);
        if (glide_ != 1.0) {
            step_ = std::clamp(step_ * glide_, k_lowest_step, k_highest_step);
        }
        return value;
    }

    // The frequency the oscillator sounds at now.
    [[nodiscard]] double frequency() const { return step_ * k_sample_rate; }

private:
    double step_with_vibrato() {
        lfo_phase_ = wrap(lfo_phase_ + lfo_step_);
        const double lfo = 1.0 - 4.0 * std::abs(lfo_phase_ - 0.5);
        return step_ * (1.0 + vibrato_depth_ * lfo);
    }

    template <Waveform wave>
    double shape(double step) {
        if constexpr (wave == Waveform::pulse) {
            return pulse(step);
        } else if constexpr (wave == Waveform::triangle) {
            return triangle(step);
        } else if constexpr (wave == Waveform::saw) {
            return 2.0 * phase_ - 1.0 - 2.0 * step_residual(phase_, 0.0, step);
        } else if constexpr (wave == Waveform::sine) {
            return sine(phase_);
        } else {
            return noise();
        }
    }

    // A pulse without its DC part, so that any duty sits centred on zero; both edges rounded.
    [[nodiscard]] double pulse(double step) const {
        const double value = (phase_ < duty_ ? 1.0 : -1.0) - (2.0 * duty_ - 1.0);
        return value + 2.0 * step_residual(phase_, 0.0, step) -
               2.0 * step_residual(phase_, duty_, step);
    }

    // Falls from 1 at phase 0 to -1 at phase 0.5 and back; both corners rounded.
    [[nodiscard]] double triangle(double step) const {
        const double slope_change = 8.0 * step;  // -4 to +4 per cycle, in frames
        return 4.0 * std::abs(phase_ - 0.5) - 1.0 -
               slope_change * corner_residual(phase_, 0.0, step) +
               slope_change * corner_residual(phase_, 0.5, step);
    }

    // xorshift32: white noise that is the same on every run.
    double noise() {
        noise_ ^= noise_ << 13U;
        noise_ ^= noise_ >> 17U;
        noise_ ^= noise_ << 5U;
        return static_cast<double>(noise_) / 2147483648.0 - 1.0;
    }

    double duty_;
    double phase_ = 0.0;
    double step_;
    double glide_;
    double vibrato_depth_;
    double lfo_step_;
    double lfo_phase_ = 0.0;
    std::uint32_t noise_;
};

// The shape of a note's loudness: a straight rise to full level, an exponential fall toward
// the sustain level while the note is held, and an exponential fall to silence once it ends.
struct EnvelopeSteps {
    explicit EnvelopeSteps(const Envelope& envelope)
        : attack(1.0 /
                 static_cast<double>(std::max<std::size_t>(1, ms_to_frames(envelope.attack_ms)))),
          decay(sixty_db_factor(ms_to_frames(envelope.decay_ms))),
          release(sixty_db_factor(ms_to_frames(envelope.release_ms))),
          sustain(envelope.sustain) {}

    double attack;   // added per frame
    double decay;    // the distance to the sustain level is multiplied by this per frame
    double release;  // multiplied per frame
    double sustain;
};

// The filter of one note: its cutoff follows the note's frequency (key_follow, also through a
// glide) and opens with the envelope (sweep). Moving cutoffs are recomputed every few frames.
class NoteFilter {
public:
    NoteFilter(const Instrument& instrument, double frequency)
        : filter_(instrument.filter, base_cutoff(instrument, frequency), instrument.resonance),
          top_low_(top_mode(instrument), instrument.top_hz, k_top_q_first),
          top_high_(top_mode(instrument), instrument.top_hz, k_top_q_second),
          has_top_(instrument.top_hz > 0.0F),
          cutoff_(instrument.cutoff),
          key_follow_(instrument.key_follow),
          sweep_(instrument.sweep),
          moves_(
              instrument.filter != FilterMode::none &&
              (instrument.sweep != 0.0F || (instrument.key_follow && instrument.glide != 0.0F))) {}

    // Whether the cutoff is to follow the envelope or the note's pitch at this frame.
    bool cutoff_due() { return moves_ && frame_++ % k_cutoff_update_frames == 0; }

    // frequency: what the note sounds at now, which a key-following cutoff goes along with.
    void move_cutoff(double envelope, double frequency) {
        const double base = key_follow_ ? frequency * cutoff_ : static_cast<double>(cutoff_);
        filter_.set_cutoff(base * std::exp2(sweep_ * envelope));
    }

    [[gnu::always_inline]] double next(double input) {
        const double filtered = filter_.process(input);
        return has_top_ ? top_high_.process(top_low_.process(filtered)) : filtered;
    }

private:
    // Two two-pole stages with these Qs make a four-pole Butterworth low-pass: flat below the
    // cutoff, 24 dB an octave above it.
    static constexpr double k_top_q_first = 0.5412;
    static constexpr double k_top_q_second = 1.3066;
    static constexpr std::size_t k_cutoff_update_frames = 32;

    static FilterMode top_mode(const Instrument& instrument) {
        return instrument.top_hz > 0.0F ? FilterMode::lowpass : FilterMode::none;
    }

    static double base_cutoff(const Instrument& instrument, double frequency) {
        return instrument.key_follow ? frequency * instrument.cutoff
                                     : static_cast<double>(instrument.cutoff);
    }

    StateVariableFilter filter_;
    StateVariableFilter top_low_;
    StateVariableFilter top_high_;
    bool has_top_;
    float cutoff_;
    bool key_follow_;
    float sweep_;
    bool moves_;
    std::size_t frame_ = 0;
};

struct Timing {
    double frames_per_tick;

    [[nodiscard]] std::size_t frame_at(std::uint32_t tick) const {
        return static_cast<std::size_t>(std::llround(tick * frames_per_tick));
    }
    [[nodiscard]] std::size_t gate_frames(const NoteEvent& note) const {
        const double frames = note.length_ticks * static_cast<double>(note.gate) * frames_per_tick;
        return std::max<std::size_t>(1, static_cast<std::size_t>(std::llround(frames)));
    }
};

std::size_t note_end(const Timing& timing, const Instrument& instrument, const NoteEvent& note) {
    return timing.frame_at(note.start_tick) + timing.gate_frames(note) +
           ms_to_frames(instrument.envelope.release_ms);
}

// How long an echo keeps sounding after what it repeats: until it has fallen 60 dB.
std::size_t echo_frames(const Timing& timing, const Echo& echo) {
    if (echo.delay_ticks == 0 || echo.feedback <= 0.0F) {
        return 0;
    }
    const double repeats = std::ceil(std::log(k_sixty_db) / std::log(echo.feedback));
    return timing.frame_at(echo.delay_ticks) * static_cast<std::size_t>(repeats);
}

// The note is rendered phase by phase of its envelope, so that each frame does only the
// oscillators, the filter (when there is one) and the envelope's one step.
template <Waveform wave, bool filtered>
void render_note_as(std::span<float> out, const Timing& timing, const Instrument& instrument,
                    const NoteEvent& note, std::uint32_t seed) {
    const std::size_t start = timing.frame_at(note.start_tick);
    const std::size_t end = std::min(out.size(), note_end(timing, instrument, note));
    const std::size_t held_end = std::min(end, start + timing.gate_frames(note));
    const double frequency = key_frequency(note.key);
    Oscillator oscillator(instrument, frequency, seed);
    Oscillator second(instrument, frequency * std::exp2(instrument.detune_cents / 1200.0), ~seed);
    const bool doubled = instrument.detune_cents != 0.0F;
    NoteFilter filter(instrument, frequency);
    const EnvelopeSteps steps(instrument.envelope);
    const double amplitude =
        static_cast<double>(instrument.gain) * note.velocity * (doubled ? 0.5 : 1.0);
    float* const samples = out.data();
    // Inlined into each of the three phases, so that the oscillators and the filter stay in
    // registers frame after frame.
    const auto sound = [&](std::size_t frame, double level) __attribute__((always_inline)) {
        double tone = oscillator.next<wave>() + (doubled ? second.next<wave>() : 0.0);
        if constexpr (filtered) {
            if (filter.cutoff_due()) {
                filter.move_cutoff(level, oscillator.frequency());
            }
            tone = filter.next(tone);
        }
        samples[frame] += static_cast<float>(amplitude * level * tone);
    };
    double level = 0.0;
    std::size_t frame = start;
    for (; frame < held_end && level < 1.0; ++frame) {
        level = std::min(1.0, level + steps.attack);
        sound(frame, level);
    }
    for (; frame < held_end && (steps.sustain > 0.0 || level >= k_inaudible); ++frame) {
        level = steps.sustain + (level - steps.sustain) * steps.decay;
        sound(frame, level);
    }
    for (frame = std::max(frame, held_end); frame < end && level >= k_inaudible; ++frame) {
        level *= steps.release;
        sound(frame, level);
    }
}

template <Waveform wave>
void render_note_as(std::span<float> out, const Timing& timing, const Instrument& instrument,
                    const NoteEvent& note, std::uint32_t seed) {
    if (instrument.filter != FilterMode::none || instrument.top_hz > 0.0F) {
        render_note_as<wave, true>(out, timing, instrument, note, seed);
    } else {
        render_note_as<wave, false>(out, timing, instrument, note, seed);
    }
}

void render_note(std::span<float> out, const Timing& timing, const Instrument& instrument,
                 const NoteEvent& note, std::uint32_t seed) {
    switch (instrument.wave) {
        case Waveform::pulse:
            return render_note_as<Waveform::pulse>(out, timing, instrument, note, seed);
        case Waveform::triangle:
            return render_note_as<Waveform::triangle>(out, timing, instrument, note, seed);
        case Waveform::saw:
            return render_note_as<Waveform::saw>(out, timing, instrument, note, seed);
        case Waveform::sine:
            return render_note_as<Waveform::sine>(out, timing, instrument, note, seed);
        case Waveform::noise:
            break;
    }
    render_note_as<Waveform::noise>(out, timing, instrument, note, seed);
}

// Adds the echoes of what is in the sound so far onto it, in place: each sample comes back
// after the delay, fainter by the feedback, and its echo again after that. On a loop the
// echoes of the end come round into the start: after a first pass, which took the end as it
// was before its own echoes, the difference those echoes make is carried round once more.
void add_echo(std::span<float> sound, const Timing& timing, const Echo& echo, bool loops) {
    const std::size_t delay = timing.frame_at(echo.delay_ticks);
    const std::size_t count = sound.size();
    if (delay == 0 || delay >= count || echo.feedback <= 0.0F) {
        return;
    }
    const std::vector<float> dry_end(sound.end() - static_cast<std::ptrdiff_t>(delay), sound.end());
    for (std::size_t i = 0; i < delay && loops; ++i) {
        sound[i] += echo.feedback * dry_end[i];
    }
    for (std::size_t i = delay; i < count; ++i) {
        sound[i] += echo.feedback * sound[i - delay];
    }
    if (!loops) {
        return;
    }
    std::vector<float> change(delay);
    for (std::size_t i = 0; i < delay; ++i) {
        change[i] = echo.feedback * (sound[count - delay + i] - dry_end[i]);
    }
    for (std::size_t i = 0, k = 0; i < count; ++i, k = k + 1 == delay ? 0 : k + 1) {
        sound[i] += change[k];
        change[k] *= echo.feedback;
    }
}

// Adds what rang on past the loop point into the start, as on the second time round, and
// silences it where it was.
void fold_into_loop(std::span<float> sound, std::size_t loop_frames) {
    for (std::size_t i = loop_frames; i < sound.size(); ++i) {
        sound[i % loop_frames] += sound[i];
        sound[i] = 0.0F;
    }
}

// A sample above the ceiling, and what it must be scaled by to come down to it.
struct Peak {
    std::size_t at;
    float needed;
};

// The peaks ahead of a frame, walked along as the frame moves on.
class PeaksAhead {
public:
    PeaksAhead(const std::vector<Peak>& peaks, std::size_t ramp) : peaks_(peaks), ramp_(ramp) {}

    // The most the level at this frame may be: down to a peak's need at the peak, less and
    // less of it over the ramp before it.
    float target(std::size_t frame) {
        while (first_ < peaks_.size() && peaks_[first_].at < frame) {
            ++first_;
        }
        float target = 1.0F;
        for (std::size_t k = first_; k < peaks_.size() && peaks_[k].at <= frame + ramp_; ++k) {
            const float ahead =
                static_cast<float>(peaks_[k].at - frame) / static_cast<float>(ramp_);
            target = std::min(target, peaks_[k].needed + (1.0F - peaks_[k].needed) * ahead);
        }
        return target;
    }

private:
    const std::vector<Peak>& peaks_;
    std::size_t ramp_;
    std::size_t first_ = 0;
};

// Holds every peak at the ceiling: the level is pulled down along a short ramp just ahead of
// a peak that would pass it and comes back up over the release, so that a few decibels of
// peak come off without clicks or pumping. A looping sound is run round twice so that its
// start recovers from a peak at its end, and the peaks of its start lie ahead of its end.
void limit_peaks(std::span<float> sound, float ceiling, bool loops) {
    const std::size_t count = sound.size();
    const std::size_t ramp = ms_to_frames(k_limiter_attack_ms);
    std::vector<Peak> peaks;
    for (std::size_t i = 0; i < count; ++i) {
        const float level = std::abs(sound[i]);
        if (level > ceiling) {
            peaks.push_back({i, ceiling / level});
        }
    }
    if (peaks.empty()) {
        return;
    }
    const std::size_t first_round = peaks.size();
    for (std::size_t k = 0; loops && k < first_round && peaks[k].at < ramp; ++k) {
        peaks.push_back({peaks[k].at + count, peaks[k].needed});
    }
    const auto recovery = static_cast<float>(
        1.0 - std::exp(-1.0 / static_cast<double>(ms_to_frames(k_limiter_release_ms))));
    float gain = 1.0F;
    for (std::size_t round = loops ? 0 : 1; round < 2; ++round) {
        PeaksAhead ahead(peaks, ramp);
        for (std::size_t i = 0; i < count; ++i) {
            gain = std::min(ahead.target(i), gain + (1.0F - gain) * recovery);
            if (round == 1) {
                sound[i] *= gain;
            }
        }
    }
}

void apply_fades(std::span<float> sound) {
    const std::size_t fade_in = std::min(ms_to_frames(k_fade_in_ms), sound.size() / 2);
    const std::size_t fade_out = std::min(ms_to_frames(k_fade_out_ms), sound.size() / 2);
    for (std::size_t i = 0; i < fade_in; ++i) {
        sound[i] *= static_cast<float>(i) / static_cast<float>(fade_in);
    }
    for (std::size_t i = 0; i < fade_out; ++i) {
        sound[sound.size() - 1 - i] *= static_cast<float>(i) / static_cast<float>(fade_out);
    }
}

float from_db(float db) {
    return std::pow(10.0F, db / 20.0F);
}

std::vector<std::int16_t> to_pcm(std::span<const float> sound) {
    std::vector<std::int16_t> pcm(sound.size());
    for (std::size_t i = 0; i < sound.size(); ++i) {
        const float scaled = std::clamp(sound[i] * k_full_scale, -k_full_scale, k_full_scale);
        pcm[i] = static_cast<std::int16_t>(scaled + (scaled < 0.0F ? -0.5F : 0.5F));
    }
    return pcm;
}

struct ParsedPart {
    const Part* part;
    PartNotes notes;
    std::size_t index;  // in the score, which seeds its noise
};

// The echo over the sound so far: on a loop over the loop itself, what rang on past it folded in
// first.
void add_echo_to_loop(std::vector<float>& mix, const Timing& timing, const Echo& echo,
                      std::size_t loop_frames) {
    if (loop_frames == 0) {
        add_echo(mix, timing, echo, false);
        return;
    }
    fold_into_loop(mix, loop_frames);
    add_echo(std::span(mix).first(loop_frames), timing, echo, true);
}

}  // namespace

StateVariableFilter::StateVariableFilter(FilterMode mode, double cutoff_hz, double q)
    : mode_(mode), damping_(1.0 / std::max(q, k_lowest_q)) {
    set_cutoff(cutoff_hz);
}

double warped_cutoff(double cutoff_hz) {
    const double cutoff = std::clamp(cutoff_hz, k_lowest_cutoff_hz, k_highest_cutoff_hz);
    return std::tan(std::numbers::pi * cutoff / k_sample_rate);
}

std::optional<PartNotes> parse_notes(std::string_view text) {
    std::string expanded;
    std::size_t pos = 0;
    if (!expand_repeats(text, pos, 0, expanded)) {
        return std::nullopt;
    }
    return NoteReader(expanded).read();
}

std::vector<std::int16_t> render(const Score& score, float gain_db) {
    const Timing timing{static_cast<double>(k_sample_rate) * 60.0 /
                        (score.tempo_bpm * k_ticks_per_beat)};
    const bool loops = score.loop_ms != 0;
    const std::size_t echo_tail = loops ? 0 : echo_frames(timing, score.echo);
    std::vector<ParsedPart> parts;
    std::size_t natural_frames = 0;
    for (const Part& part : score.parts) {
        if (auto notes = parse_notes(part.notes)) {
            for (const NoteEvent& note : notes->notes) {
                natural_frames = std::max(natural_frames, note_end(timing, part.instrument, note) +
                                                              (part.echoed ? echo_tail : 0));
            }
            parts.push_back({&part, std::move(*notes), parts.size()});
        }
    }
    // The echoed parts go first, and the echo is added to them alone; the others follow.
    std::stable_partition(parts.begin(), parts.end(),
                          [](const ParsedPart& parsed) { return parsed.part->echoed; });
    const std::size_t loop_frames = std::size_t{score.loop_ms} * (k_sample_rate / 1000U);
    std::vector<float> mix(std::max(natural_frames, loop_frames));
    bool echo_added = false;
    for (const ParsedPart& parsed : parts) {
        if (!parsed.part->echoed && !echo_added) {
            add_echo_to_loop(mix, timing, score.echo, loop_frames);
            echo_added = true;
        }
        std::uint32_t seed = static_cast<std::uint32_t>(parsed.index + 1) * 0x9E3779B9U;
        for (const NoteEvent& note : parsed.notes.notes) {
            render_note(mix, timing, parsed.part->instrument, note, seed);
            seed = seed * 1664525U + 1013904223U;
        }
    }
    if (!echo_added) {
        add_echo_to_loop(mix, timing, score.echo, loop_frames);
    }
    if (loops) {
        fold_into_loop(mix, loop_frames);
        mix.resize(loop_frames);
    }
    const float gain = from_db(gain_db);
    for (float& sample : mix) {
        sample *= gain;
    }
    limit_peaks(mix, from_db(score.ceiling_dbfs), loops);
    if (!loops) {
        apply_fades(mix);
    }
    return to_pcm(mix);
}

}  // namespace kal
