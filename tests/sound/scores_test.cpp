#include "sound/scores.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <set>
#include <string_view>
#include <vector>

#include "sound/embedded_sounds.hpp"
#include "sound/wav_file.hpp"

namespace kal {
namespace {

// Every sound file name the game loads.
constexpr std::array<std::string_view, 24> k_game_sounds{
    "title.wav",  "result.wav", "kuria.wav",  "stage1.wav",  "stage2.wav", "stage3.wav",
    "stage4.wav", "stage5.wav", "stage6.wav", "kettei.wav",  "kasoru.wav", "1.wav",
    "2.wav",      "3.wav",      "start.wav",  "-60.wav",     "-100.wav",   "-200.wav",
    "seikai.wav", "hazure.wav", "over.wav",   "hazure0.wav", "kekka.wav",  "rureto.wav",
};

struct Track {
    std::string_view name;
    std::uint32_t loop_ms;
};

// The music tracks that the game restarts after their loop length.
constexpr std::array<Track, 8> k_music{{
    {"title.wav", 8726},
    {"result.wav", 24000},
    {"stage1.wav", 5817},
    {"stage2.wav", 5812},
    {"stage3.wav", 8000},
    {"stage4.wav", 5647},
    {"stage5.wav", 5818},
    {"stage6.wav", 5818},
}};

constexpr double k_full_scale = 32767.0;
constexpr std::size_t k_frames_per_ms = 48;

std::vector<std::int16_t> samples_of(std::string_view name) {
    WavFile wav;
    if (wav.open_memory(find_embedded_sound(name)) != S_OK) {
        return {};
    }
    std::vector<std::uint8_t> bytes(wav.data_size());
    std::uint32_t count = 0;
    wav.read(bytes.data(), wav.data_size(), &count);
    std::vector<std::int16_t> samples(count / 2);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<std::int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8U));
    }
    return samples;
}

double peak_dbfs(const std::vector<std::int16_t>& samples, std::size_t from, std::size_t to) {
    int peak = 0;
    for (std::size_t i = from; i < to; ++i) {
        peak = std::max(peak, std::abs(static_cast<int>(samples[i])));
    }
    return 20.0 * std::log10(std::max(peak, 1) / k_full_scale);
}

double crossings_per_second(const std::vector<std::int16_t>& samples) {
    int crossings = 0;
    for (std::size_t i = 1; i < samples.size(); ++i) {
        crossings += samples[i - 1] < 0 && samples[i] >= 0 ? 1 : 0;
    }
    return crossings * 48000.0 / static_cast<double>(samples.size());
}

double duration_ms(const std::vector<std::int16_t>& samples) {
    return static_cast<double>(samples.size()) / k_frames_per_ms;
}

TEST(SoundSet, EverySoundTheGameLoadsIsBuiltIn) {
    for (const std::string_view name : k_game_sounds) {
        EXPECT_FALSE(samples_of(name).empty()) << name;
    }
    const std::set<std::string_view> built_in(embedded_sound_names().begin(),
                                              embedded_sound_names().end());
    EXPECT_EQ(built_in, std::set<std::string_view>(k_game_sounds.begin(), k_game_sounds.end()));
    EXPECT_EQ(embedded_sound_names().size(), k_game_sounds.size()) << "each name once";
}

TEST(SoundSet, NamesTheGameDoesNotUseHaveNoSound) {
    for (const std::string_view name : {"", "nosuch.wav", "TITLE.WAV", "title", "4.wav"}) {
        EXPECT_TRUE(find_embedded_sound(name).empty()) << name;
    }
}

TEST(SoundSet, SoundIsRenderedOnceAndKeptForTheRun) {
    const std::span<const std::uint8_t> first = find_embedded_sound("kettei.wav");
    const std::span<const std::uint8_t> again = find_embedded_sound("kettei.wav");
    EXPECT_EQ(first.data(), again.data());
    EXPECT_EQ(first.size(), again.size());
}

TEST(SoundSet, MusicTrackLastsExactlyItsLoopAndEndsOnARest) {
    for (const Track& track : k_music) {
        const auto samples = samples_of(track.name);
        ASSERT_EQ(samples.size(), track.loop_ms * k_frames_per_ms) << track.name;
        // A restart one mixer period late falls into silence.
        EXPECT_LT(peak_dbfs(samples, samples.size() - 20 * k_frames_per_ms, samples.size()), -50.0)
            << track.name;
    }
}

TEST(SoundSet, EveryPartOfAMusicTrackFillsItsLoop) {
    for (const SoundScore& sound : sound_scores()) {
        if (sound.kind != SoundKind::music) {
            continue;
        }
        const double beats = sound.score.tempo_bpm * sound.score.length_ms / 60000.0;
        for (const Part& part : sound.score.parts) {
            const auto notes = parse_notes(part.notes);
            ASSERT_TRUE(notes.has_value()) << sound.name << ": " << part.notes;
            EXPECT_NEAR(notes->length_ticks, beats * k_ticks_per_beat, 0.01)
                << sound.name << ": " << part.notes;
        }
    }
}

TEST(SoundSet, EveryScoreIsValidNotation) {
    for (const SoundScore& sound : sound_scores()) {
        for (const Part& part : sound.score.parts) {
            EXPECT_TRUE(parse_notes(part.notes).has_value()) << sound.name << ": " << part.notes;
        }
    }
}

TEST(SoundSet, EffectsAreShortAndJinglesBrief) {
    for (const SoundScore& sound : sound_scores()) {
        const double length = duration_ms(samples_of(sound.name));
        switch (sound.kind) {
            case SoundKind::effect:
                EXPECT_LE(length, 420.0) << sound.name;
                break;
            case SoundKind::jingle:
                EXPECT_LE(length, 2000.0) << sound.name;
                EXPECT_GE(length, 900.0) << sound.name;
                break;
            case SoundKind::music:
                break;
        }
    }
    // The game restarts the fanfare about once a second.
    EXPECT_LE(duration_ms(samples_of("kuria.wav")), 1300.0);
    EXPECT_LE(duration_ms(samples_of("rureto.wav")), 30.0) << "ticks many times a second";
}

TEST(SoundSet, MusicPeaksAtMinusNineAndEffectsAtMinusSixDecibels) {
    for (const SoundScore& sound : sound_scores()) {
        const auto samples = samples_of(sound.name);
        const double target = sound.kind == SoundKind::music ? -9.0 : -6.0;
        EXPECT_NEAR(peak_dbfs(samples, 0, samples.size()), target, 0.05) << sound.name;
    }
}

TEST(SoundSet, EverySoundStartsAndEndsInSilence) {
    for (const std::string_view name : k_game_sounds) {
        const auto samples = samples_of(name);
        ASSERT_GT(samples.size(), 24U) << name;
        EXPECT_EQ(samples.front(), 0) << name;
        EXPECT_EQ(samples.back(), 0) << name;
        EXPECT_LT(peak_dbfs(samples, 0, 12), -20.0) << name;
        EXPECT_LT(peak_dbfs(samples, samples.size() - 12, samples.size()), -20.0) << name;
    }
}

TEST(SoundSet, CountsThreeAndTwoSoundAlikeAndOneHigher) {
    EXPECT_EQ(samples_of("3.wav"), samples_of("2.wav"));
    EXPECT_GT(crossings_per_second(samples_of("1.wav")),
              1.2 * crossings_per_second(samples_of("3.wav")));
}

TEST(SoundSet, SpeedCuesRiseFromSlowToMediumToFastest) {
    const double slow = crossings_per_second(samples_of("-60.wav"));
    const double medium = crossings_per_second(samples_of("-200.wav"));
    const double fastest = crossings_per_second(samples_of("-100.wav"));
    EXPECT_LT(slow, medium);
    EXPECT_LT(medium, fastest);
}

}  // namespace
}  // namespace kal
