#include "sound/synth.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <string_view>
#include <vector>

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
                                     double tempo_bpm, std::uint32_t length_ms = 0,
                                     float peak = 0.5F) {
    const std::array parts{Part{instrument, notes}};
    return render(Score{tempo_bpm, parts, peak, length_ms});
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

}  // namespace
}  // namespace kal
