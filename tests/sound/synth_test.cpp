#include "sound/synth.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <string>
#include <string_view>
#include <vector>

#include "tools/sound_measures.hpp"

namespace kal {
namespace {

struct ExpectedNote {
    std::uint32_t start;
    std::uint32_t length;
    int key;
};

struct NotationCase {
    std::string_view text;
    std::vector<ExpectedNote> notes;
    std::uint32_t length_ticks;
};

TEST(Notation, ReadsNotesLengthsOctavesRestsTiesAndRepeats) {
    const std::vector<NotationCase> cases{
        {"c", {{0, 96, 60}}, 96},
        {"o4 a8", {{0, 48, 69}}, 48},
        {"c+ d- e# b--", {{0, 96, 61}, {96, 96, 61}, {192, 96, 65}, {288, 96, 69}}, 384},
        {"c4. d8", {{0, 144, 60}, {144, 48, 62}}, 192},
        {"c4.. d16", {{0, 168, 60}, {168, 24, 62}}, 192},
        {"l16 c ^8 d", {{0, 72, 60}, {72, 24, 62}}, 96},
        {"r4 c r8 ^8 d", {{96, 96, 60}, {288, 96, 62}}, 384},
        {"> c < < c", {{0, 96, 72}, {96, 96, 48}}, 192},
        {"o0 c o8 b", {{0, 96, 12}, {96, 96, 119}}, 192},
        {"l12 c d e", {{0, 32, 60}, {32, 32, 62}, {64, 32, 64}}, 96},
        {"[c d]3",
         {{0, 96, 60}, {96, 96, 62}, {192, 96, 60}, {288, 96, 62}, {384, 96, 60}, {480, 96, 62}},
         576},
        {"[[c]2 d] | e",
         {{0, 96, 60},
          {96, 96, 60},
          {192, 96, 62},
          {288, 96, 60},
          {384, 96, 60},
          {480, 96, 62},
          {576, 96, 64}},
         672},
        {"", {}, 0},
    };
    for (const NotationCase& c : cases) {
        const auto part = parse_notes(c.text);
        ASSERT_TRUE(part.has_value()) << c.text;
        EXPECT_EQ(part->length_ticks, c.length_ticks) << c.text;
        ASSERT_EQ(part->notes.size(), c.notes.size()) << c.text;
        for (std::size_t i = 0; i < c.notes.size(); ++i) {
            EXPECT_EQ(part->notes[i].start_tick, c.notes[i].start) << c.text << " note " << i;
            EXPECT_EQ(part->notes[i].length_ticks, c.notes[i].length) << c.text << " note " << i;
            EXPECT_EQ(part->notes[i].key, c.notes[i].key) << c.text << " note " << i;
        }
    }
}

TEST(Notation, LoudnessAndGateApplyToTheNotesThatFollow) {
    const auto part = parse_notes("c v6 q4 d");
    ASSERT_TRUE(part.has_value());
    EXPECT_FLOAT_EQ(part->notes[0].velocity, 1.0F);
    EXPECT_FLOAT_EQ(part->notes[0].gate, 7.0F / 8.0F);
    EXPECT_FLOAT_EQ(part->notes[1].velocity, 6.0F / 15.0F);
    EXPECT_FLOAT_EQ(part->notes[1].gate, 0.5F);
}

TEST(Notation, RefusesWhatItCannotRead) {
    for (const std::string_view text :
         {"c5", "c128.", "h", "c x", "[c", "c]", "[c]0", "o9", "o8 > c", "o0 < c", "l", "v16", "q0",
          "q9", "o8 b++++++++++", "[[[[[[[[[c]2]2]2]2]2]2]2]2]2"}) {
        EXPECT_FALSE(parse_notes(text).has_value()) << text;
    }
}

std::vector<std::int16_t> render_one(const Instrument& instrument, std::string_view notes,
                                     double tempo_bpm, std::uint32_t loop_ms = 0) {
    const std::array parts{Part{instrument, notes}};
    return render(Score{tempo_bpm, parts, loop_ms}, 0.0F);
}

std::size_t ms(double milliseconds) {
    return static_cast<std::size_t>(milliseconds * k_sample_rate / 1000.0);
}

int upward_crossings(const std::vector<std::int16_t>& samples, std::size_t from, std::size_t to) {
    int crossings = 0;
    for (std::size_t i = from + 1; i < to; ++i) {
        crossings += samples[i - 1] < 0 && samples[i] >= 0 ? 1 : 0;
    }
    return crossings;
}

int peak_between(const std::vector<std::int16_t>& samples, std::size_t from, std::size_t to) {
    int peak = 0;
    for (std::size_t i = from; i < to; ++i) {
        peak = std::max(peak, std::abs(static_cast<int>(samples[i])));
    }
    return peak;
}

constexpr Envelope k_organ{2.0F, 100.0F, 1.0F, 50.0F};

struct PitchCase {
    std::string_view note;
    double hz;
};

TEST(Synth, EveryWaveformSoundsAtThePitchOfItsNote) {
    const std::vector<PitchCase> notes{
        {"o4 q8 a1", 440.0}, {"o5 q8 a1", 880.0}, {"o4 q8 c1", 261.63}, {"o3 q8 e-1", 155.56}};
    for (const Waveform wave : {Waveform::pulse, Waveform::triangle, Waveform::saw}) {
        const Instrument instrument{.wave = wave, .envelope = k_organ};
        for (const PitchCase& c : notes) {
            // A whole note lasts one second at 240 beats a minute; count half a second of it.
            const auto samples = render_one(instrument, c.note, 240.0);
            const double counted = upward_crossings(samples, ms(200), ms(700));
            EXPECT_NEAR(counted, c.hz / 2.0, 1.5)
                << c.note << " waveform " << static_cast<int>(wave);
        }
    }
}

TEST(Synth, GlideRaisesThePitchAsTheNoteGoesOn) {
    const Instrument rising{.wave = Waveform::triangle, .envelope = k_organ, .glide = 12.0F};
    const auto samples = render_one(rising, "o4 q8 a1", 240.0);
    const double early = upward_crossings(samples, 0, ms(100));
    const double late = upward_crossings(samples, ms(900), ms(1000));
    // One octave a second: the last tenth sounds close to 2^0.95 times the first.
    EXPECT_NEAR(late / early, 1.87, 0.1);
}

TEST(Synth, NoteRingsThroughItsReleaseThenFallsSilent) {
    const Instrument instrument{.wave = Waveform::triangle, .envelope = k_organ};
    const auto samples = render_one(instrument, "o4 q8 a4 r4", 60.0, 2000);
    const int held = peak_between(samples, ms(500), ms(900));
    EXPECT_GT(held, 10000);
    EXPECT_GT(peak_between(samples, ms(1000), ms(1010)), held / 4) << "no click at the release";
    EXPECT_LT(peak_between(samples, ms(1045), ms(1050)), held / 100);
    EXPECT_EQ(peak_between(samples, ms(1060), samples.size()), 0);
}

std::vector<float> as_floats(const std::vector<std::int16_t>& pcm) {
    std::vector<float> samples;
    samples.reserve(pcm.size());
    for (const std::int16_t sample : pcm) {
        samples.push_back(static_cast<float>(sample) / 32768.0F);
    }
    return samples;
}

// --- Filters -------------------------------------------------------------------------------

struct ResponseCase {
    FilterMode mode;
    double cutoff_hz;
    double q;
    double frequency_hz;
    double expected_db;  // below -40: anything below -40 will do
};

// The gain of a sine through the filter once it has settled, in dB.
double measured_gain_db(const ResponseCase& c) {
    StateVariableFilter filter(c.mode, c.cutoff_hz, c.q);
    constexpr std::size_t k_settle = 24000;
    constexpr std::size_t k_measured = 48000;
    std::vector<float> out;
    for (std::size_t i = 0; i < k_settle + k_measured; ++i) {
        const double phase =
            2.0 * std::numbers::pi * c.frequency_hz * static_cast<double>(i) / k_sample_rate;
        const double value = filter.process(std::sin(phase));
        if (i >= k_settle) {
            out.push_back(static_cast<float>(value));
        }
    }
    return rms_dbfs(out) + 3.0103;  // a sine of amplitude 1 is -3.01 dB RMS
}

TEST(Filter, MeasuredResponseMatchesTheDesignAtEveryFrequency) {
    const std::vector<ResponseCase> cases{
        {FilterMode::lowpass, 7000.0, 0.7071, 1000.0, 0.0},
        {FilterMode::lowpass, 7000.0, 0.7071, 7000.0, -3.01},
        {FilterMode::lowpass, 7000.0, 0.7071, 10000.0, -8.36},
        {FilterMode::lowpass, 7000.0, 0.7071, 14000.0, -16.97},
        {FilterMode::lowpass, 7000.0, 0.7071, 23500.0, -71.7},
        {FilterMode::lowpass, 500.0, 2.0, 500.0, 6.02},
        {FilterMode::lowpass, 500.0, 2.0, 2000.0, -23.7},
        {FilterMode::highpass, 7000.0, 0.7071, 3500.0, -13.22},
        {FilterMode::highpass, 7000.0, 0.7071, 7000.0, -3.01},
        {FilterMode::highpass, 7000.0, 0.7071, 20000.0, 0.0},
        {FilterMode::bandpass, 1800.0, 0.8, 1800.0, 0.0},
        {FilterMode::bandpass, 1800.0, 0.8, 450.0, -10.04},
        {FilterMode::bandpass, 1800.0, 0.8, 7200.0, -10.65},
        {FilterMode::none, 1800.0, 0.8, 7200.0, 0.0},
    };
    for (const ResponseCase& c : cases) {
        const double gain = measured_gain_db(c);
        const std::string label = "mode " + std::to_string(static_cast<int>(c.mode)) + " at " +
                                  std::to_string(c.frequency_hz) + " Hz";
        if (c.expected_db < -40.0) {
            EXPECT_LT(gain, -40.0) << label;
        } else {
            EXPECT_NEAR(gain, c.expected_db, 0.1) << label;
        }
    }
}

// --- Oscillators ---------------------------------------------------------------------------

struct AliasCase {
    Waveform wave;
    double below_db;  // how far the fold-back must lie below the fundamental
};

// A 2637 Hz note: its 17th harmonic, at 44.8 kHz, would fold back to 3171 Hz, between two true
// harmonics. Drawn sharp-edged, a saw or pulse folds it back only 25 dB down and a triangle 49.
TEST(Oscillator, HighNotesFoldHardlyAnythingBackBelowTheNyquistLimit) {
    constexpr double k_fundamental_hz = 2637.02;  // o7 e
    constexpr double k_folded_hz = 48000.0 - 17.0 * k_fundamental_hz;
    const std::vector<AliasCase> cases{
        {Waveform::pulse, 60.0}, {Waveform::saw, 60.0}, {Waveform::triangle, 80.0}};
    for (const AliasCase& c : cases) {
        const Instrument instrument{.wave = c.wave, .envelope = k_organ};
        const std::vector<float> samples = as_floats(render_one(instrument, "o7 q8 e1", 240.0));
        const std::span<const float> steady = std::span(samples).subspan(ms(100), ms(500));
        const double fundamental = tone_level_db(steady, k_sample_rate, k_fundamental_hz);
        EXPECT_LT(tone_level_db(steady, k_sample_rate, k_folded_hz), fundamental - c.below_db)
            << "waveform " << static_cast<int>(c.wave);
    }
}

// --- Loops, echoes and peaks ---------------------------------------------------------------

// A note struck just before the loop point rings on into the start, as on the second time
// round: the loop holds the one-shot rendering with its overhang added at the start.
TEST(Synth, ALoopCarriesWhatRingsPastItsEndIntoItsStart) {
    const Instrument ringing{.wave = Waveform::triangle, .envelope = {2.0F, 100.0F, 0.8F, 300.0F}};
    const std::array parts{Part{ringing, "o4 q8 c4 r4 r4 a4"}};
    const std::vector<std::int16_t> once = render(Score{240.0, parts, 0}, 0.0F);
    const std::vector<std::int16_t> loop = render(Score{240.0, parts, 1000}, 0.0F);
    ASSERT_EQ(loop.size(), ms(1000));
    ASSERT_GT(once.size(), ms(1250));
    EXPECT_GT(peak_between(loop, 0, ms(10)), 4000) << "the last note still rings at the start";
    // Past the one-shot's fade-in, short of its fade-out.
    const std::size_t fade = ms(10);
    for (std::size_t i = fade; i + loop.size() + fade < once.size(); ++i) {
        ASSERT_NEAR(loop[i], once[i] + once[i + loop.size()], 2) << "frame " << i;
    }
}

struct EchoCase {
    std::uint32_t loop_ms;
    std::vector<double> echoes_ms;  // of the note struck at 750 ms
};

// At 240 beats a minute a quarter note lasts 250 ms: the echo of a quarter comes 250 ms after
// what it repeats, and on a loop the echoes of the end sound at the start.
TEST(Synth, TheEchoRepeatsTheEchoedPartsFainterEachTimeAndRoundTheLoop) {
    constexpr float k_feedback = 0.3F;
    const Instrument blip{.wave = Waveform::pulse, .envelope = {1.0F, 30.0F, 0.0F, 5.0F}};
    const std::array parts{Part{blip, "o5 q2 r4 r4 r4 c4", true}, Part{blip, "o5 q2 r8 c8 r2."}};
    const std::vector<EchoCase> cases{{0, {1000.0, 1250.0, 1500.0}}, {1000, {0.0, 250.0, 500.0}}};
    for (const EchoCase& c : cases) {
        const std::vector<std::int16_t> sound =
            render(Score{240.0, parts, c.loop_ms, 0.0F, Echo{96, k_feedback}}, 0.0F);
        const int struck = peak_between(sound, ms(750), ms(810));
        for (std::size_t repeat = 0; repeat < c.echoes_ms.size(); ++repeat) {
            const std::size_t at = ms(c.echoes_ms[repeat]);
            const double expected = struck * std::pow(k_feedback, repeat + 1);
            EXPECT_NEAR(peak_between(sound, at, at + ms(60)), expected, struck * 0.01)
                << "loop " << c.loop_ms << " echo " << repeat;
        }
        EXPECT_LT(peak_between(sound, ms(375), ms(435)), struck / 100)
            << "loop " << c.loop_ms << ": the part not sent to the echo is heard once";
    }
}

// A loud hit held at the ceiling leaves the quiet tone around it as it was.
TEST(Synth, PeaksAreHeldAtTheCeilingWithoutTouchingTheRest) {
    const Instrument organ{.wave = Waveform::triangle, .envelope = k_organ, .gain = 0.1F};
    const Instrument hit{
        .wave = Waveform::pulse, .envelope = {0.5F, 20.0F, 0.0F, 5.0F}, .gain = 0.9F};
    const std::array tone_only{Part{organ, "o4 q8 a1"}};
    const std::array with_hit{Part{organ, "o4 q8 a1"}, Part{hit, "r4 c16"}};
    constexpr float k_ceiling_dbfs = -12.0F;
    const std::vector<float> plain =
        as_floats(render(Score{240.0, tone_only, 0, k_ceiling_dbfs}, 0.0F));
    const std::vector<float> limited =
        as_floats(render(Score{240.0, with_hit, 0, k_ceiling_dbfs}, 0.0F));
    EXPECT_LE(peak_dbfs(limited), k_ceiling_dbfs + 0.01);
    const auto stretch = [](const std::vector<float>& s, double from_ms, double to_ms) {
        return std::span(s).subspan(ms(from_ms), ms(to_ms) - ms(from_ms));
    };
    EXPECT_NEAR(rms_dbfs(stretch(limited, 500, 900)), rms_dbfs(stretch(plain, 500, 900)), 0.1);
    EXPECT_NEAR(rms_dbfs(stretch(limited, 100, 240)), rms_dbfs(stretch(plain, 100, 240)), 0.1);
}

}  // namespace
}  // namespace kal
