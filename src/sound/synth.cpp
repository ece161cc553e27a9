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
// Keeps the filter stable whatever the cutoff and the glide make of it.
constexpr double k_highest_filter_coefficient = 1.0;
constexpr double k_highest_step = 0.45;  // cycles per frame, just under the Nyquist limit
constexpr double k_lowest_step = 1e-5;
constexpr double k_sixty_db = 1e-3;

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

double magnitude(double value) {
    return value < 0.0 ? -value : value;
}

// Brings a phase that has just passed 1 back into [0, 1).
double wrap(double phase) {
    return phase >= 1.0 ? phase - 1.0 : phase;
}

bool near_jump(double phase, double step) {
    return phase < step || phase > 1.0 - step;
}

// Rounds off the jump of a pulse or saw wave that lies at phase 0, so that high notes do not
// alias. Only called within one step of the jump.
double poly_blep(double phase, double step) {
    if (phase < step) {
        const double t = phase / step;
        return t + t - t * t - 1.0;
    }
    const double t = (phase - 1.0) / step;
    return t * t + t + t + 1.0;
}

class Oscillator {
public:
    Oscillator(const Instrument& instrument, double frequency, std::uint32_t seed)
        : wave_(instrument.wave),
          duty_(instrument.duty),
          step_(std::clamp(frequency / k_sample_rate, k_lowest_step, k_highest_step)),
          glide_(glide_factor(instrument.glide)),
          vibrato_depth_(std::exp2(instrument.vibrato_cents / 1200.0) - 1.0),
          lfo_step_(instrument.vibrato_hz / k_sample_rate),
          noise_(seed | 1U) {}

    double next() {
        const double step = vibrato_depth_ == 0.0 ? step_ : step_with_vibrato();
        const double value = shape(step);
        phase_ = wrap(phase_ + step);
        if (glide_ != 1.0) {
            step_ = std::clamp(step_ * glide_, k_lowest_step, k_highest_step);
        }
        return value;
    }

private:
    double step_with_vibrato() {
        lfo_phase_ = wrap(lfo_phase_ + lfo_step_);
        const double lfo = 1.0 - 4.0 * magnitude(lfo_phase_ - 0.5);
        return step_ * (1.0 + vibrato_depth_ * lfo);
    }

    double shape(double step) {
        switch (wave_) {
            case Waveform::pulse:
                return pulse(step);
            case Waveform::triangle:
                return 4.0 * magnitude(phase_ - 0.5) - 1.0;
            case Waveform::saw:
                return 2.0 * phase_ - 1.0 -
                       (near_jump(phase_, step) ? poly_blep(phase_, step) : 0.0);
            case Waveform::noise:
                break;
        }
        return noise();
    }

    // A pulse without its DC part, so that any duty sits centred on zero.
    [[nodiscard]] double pulse(double step) const {
        double value = (phase_ < duty_ ? 1.0 : -1.0) - (2.0 * duty_ - 1.0);
        if (near_jump(phase_, step)) {
            value += poly_blep(phase_, step);
        }
        const double falling = phase_ >= duty_ ? phase_ - duty_ : phase_ + 1.0 - duty_;
        if (near_jump(falling, step)) {
            value -= poly_blep(falling, step);
        }
        return value;
    }

    // xorshift32: white noise that is the same on every run.
    double noise() {
        noise_ ^= noise_ << 13U;
        noise_ ^= noise_ >> 17U;
        noise_ ^= noise_ << 5U;
        return static_cast<double>(noise_) / 2147483648.0 - 1.0;
    }

    Waveform wave_;
    double duty_;
    double phase_ = 0.0;
    double step_;
    double glide_;
    double vibrato_depth_;
    double lfo_step_;
    double lfo_phase_ = 0.0;
    std::uint32_t noise_;
};

// A state-variable filter; with key_follow its cutoff glides along with the note.
class Filter {
public:
    Filter(const Instrument& instrument, double frequency)
        : mode_(instrument.filter),
          damping_(1.0 / std::max(instrument.resonance, 0.5F)),
          glide_(instrument.key_follow ? glide_factor(instrument.glide) : 1.0) {
        const double cutoff = instrument.key_follow ? frequency * instrument.cutoff
                                                    : static_cast<double>(instrument.cutoff);
        const double clamped = std::max(cutoff, k_lowest_cutoff_hz);
        coefficient_ =
            std::min(2.0 * std::sin(std::numbers::pi * std::min(clamped / k_sample_rate, 0.25)),
                     k_highest_filter_coefficient);
    }

    double next(double input) {
        if (mode_ == FilterMode::none) {
            return input;
        }
        low_ += coefficient_ * band_;
        const double high = input - low_ - damping_ * band_;
        band_ += coefficient_ * high;
        if (glide_ != 1.0) {
            coefficient_ = std::min(coefficient_ * glide_, k_highest_filter_coefficient);
        }
        return mode_ == FilterMode::lowpass ? low_ : mode_ == FilterMode::bandpass ? band_ : high;
    }

private:
    FilterMode mode_;
    double damping_;
    double glide_;
    double coefficient_ = 0.0;
    double low_ = 0.0;
    double band_ = 0.0;
};

class EnvelopeGenerator {
public:
    EnvelopeGenerator(const Envelope& envelope, std::size_t gate_frames)
        : gate_frames_(gate_frames),
          attack_step_(1.0 / static_cast<double>(
                                 std::max<std::size_t>(1, ms_to_frames(envelope.attack_ms)))),
          decay_factor_(sixty_db_factor(ms_to_frames(envelope.decay_ms))),
          release_factor_(sixty_db_factor(ms_to_frames(envelope.release_ms))),
          sustain_(envelope.sustain) {}

    double next() {
        if (frame_++ >= gate_frames_) {
            level_ *= release_factor_;
        } else if (attacking_) {
            level_ += attack_step_;
            attacking_ = level_ < 1.0;
            level_ = attacking_ ? level_ : 1.0;
        } else {
            level_ = sustain_ + (level_ - sustain_) * decay_factor_;
        }
        return level_;
    }

private:
    std::size_t gate_frames_;
    double attack_step_;
    double decay_factor_;
    double release_factor_;
    double sustain_;
    std::size_t frame_ = 0;
    double level_ = 0.0;
    bool attacking_ = true;
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

void render_note(std::span<float> mix, const Timing& timing, const Instrument& instrument,
                 const NoteEvent& note, std::uint32_t seed) {
    const std::size_t start = timing.frame_at(note.start_tick);
    const std::size_t end = std::min(mix.size(), note_end(timing, instrument, note));
    const double frequency = key_frequency(note.key);
    Oscillator oscillator(instrument, frequency, seed);
    Filter filter(instrument, frequency);
    EnvelopeGenerator envelope(instrument.envelope, timing.gate_frames(note));
    const double amplitude = static_cast<double>(instrument.gain) * note.velocity;
    float* const out = mix.data();
    for (std::size_t frame = start; frame < end; ++frame) {
        out[frame] +=
            static_cast<float>(amplitude * envelope.next() * filter.next(oscillator.next()));
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

std::vector<std::int16_t> to_pcm(std::span<float> sound, float peak) {
    apply_fades(sound);
    float loudest = 0.0F;
    for (const float sample : sound) {
        loudest = std::max(loudest, std::abs(sample));
    }
    const float scale = loudest > 0.0F ? peak * k_full_scale / loudest : 0.0F;
    std::vector<std::int16_t> pcm(sound.size());
    for (std::size_t i = 0; i < sound.size(); ++i) {
        const float scaled = sound[i] * scale;
        pcm[i] = static_cast<std::int16_t>(scaled + (scaled < 0.0F ? -0.5F : 0.5F));
    }
    return pcm;
}

}  // namespace

std::optional<PartNotes> parse_notes(std::string_view text) {
    std::string expanded;
    std::size_t pos = 0;
    if (!expand_repeats(text, pos, 0, expanded)) {
        return std::nullopt;
    }
    return NoteReader(expanded).read();
}

std::vector<std::int16_t> render(const Score& score) {
    const Timing timing{static_cast<double>(k_sample_rate) * 60.0 /
                        (score.tempo_bpm * k_ticks_per_beat)};
    std::vector<std::optional<PartNotes>> parts;
    std::size_t natural_frames = 0;
    for (const Part& part : score.parts) {
        parts.push_back(parse_notes(part.notes));
        if (parts.back()) {
            for (const NoteEvent& note : parts.back()->notes) {
                natural_frames = std::max(natural_frames, note_end(timing, part.instrument, note));
            }
        }
    }
    const std::size_t frames = score.length_ms == 0
                                   ? natural_frames
                                   : std::size_t{score.length_ms} * (k_sample_rate / 1000U);
    std::vector<float> mix(frames);
    for (std::size_t p = 0; p < parts.size(); ++p) {
        if (!parts[p]) {
            continue;
        }
        std::uint32_t seed = static_cast<std::uint32_t>(p + 1) * 0x9E3779B9U;
        for (const NoteEvent& note : parts[p]->notes) {
            render_note(mix, timing, score.parts[p].instrument, note, seed);
            seed = seed * 1664525U + 1013904223U;
        }
    }
    return to_pcm(mix, score.peak);
}

}  // namespace kal
