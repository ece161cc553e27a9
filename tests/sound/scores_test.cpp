#include "sound/scores.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <set>
#include <string_view>
#include <tuple>
#include <vector>

#include "sound/embedded_sounds.hpp"
#include "tools/sound_measures.hpp"

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
    std::uint32_t beats_per_bar;
};

// The music tracks and the loop lengths the game plays them at.
constexpr std::array<Track, 8> k_music{{
    {"title.wav", 8726, 4},
    {"result.wav", 24000, 4},
    {"stage1.wav", 5817, 4},
    {"stage2.wav", 5812, 4},
    {"stage3.wav", 8000, 3},
    {"stage4.wav", 5647, 4},
    {"stage5.wav", 5818, 4},
    {"stage6.wav", 5818, 4},
}};
constexpr std::array<std::string_view, 6> k_stages{"stage1.wav", "stage2.wav", "stage3.wav",
                                                   "stage4.wav", "stage5.wav", "stage6.wav"};

constexpr std::size_t k_frames_per_ms = 48;
// Quieter than this for 30 ms, the music has a hole in it.
constexpr double k_silence_dbfs = -40.0;

MonoSound sound_of(std::string_view name) {
    return read_mono_sound(find_embedded_sound(name)).value_or(MonoSound{});
}

const SoundScore& score_of(std::string_view name) {
    const SoundScore* score = find_score(name);
    EXPECT_NE(score, nullptr) << name;
    return score != nullptr ? *score : sound_scores().front();
}

double sound_ends_ms(const MonoSound& sound) {
    return sound.length_ms() - quiet_end_ms(sound);
}

double crossings_per_second(std::span<const float> samples) {
    int crossings = 0;
    for (std::size_t i = 1; i < samples.size(); ++i) {
        crossings += samples[i - 1] < 0.0F && samples[i] >= 0.0F ? 1 : 0;
    }
    return crossings * 48000.0 / static_cast<double>(samples.size());
}

double events_per_second(std::string_view name) {
    const Score& score = score_of(name).score;
    std::size_t events = 0;
    for (const Part& part : score.parts) {
        events += parse_notes(part.notes).value_or(PartNotes{}).notes.size();
    }
    return 1000.0 * static_cast<double>(events) / score.loop_ms;
}

// The mean key of the lead, the first part.
double lead_key(std::string_view name) {
    const PartNotes lead =
        parse_notes(score_of(name).score.parts.front().notes).value_or(PartNotes{});
    double sum = 0.0;
    for (const NoteEvent& note : lead.notes) {
        sum += note.key;
    }
    return lead.notes.empty() ? 0.0 : sum / static_cast<double>(lead.notes.size());
}

TEST(SoundSet, EverySoundTheGameLoadsIsBuiltIn) {
    for (const std::string_view name : k_game_sounds) {
        EXPECT_FALSE(sound_of(name).samples.empty()) << name;
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

TEST(SoundSet, EveryScoreIsValidNotation) {
    for (const SoundScore& sound : sound_scores()) {
        for (const Part& part : sound.score.parts) {
            EXPECT_TRUE(parse_notes(part.notes).has_value()) << sound.name << ": " << part.notes;
        }
    }
}

TEST(SoundSet, EveryPartOfAMusicTrackFillsItsLoop) {
    for (const Track& track : k_music) {
        const Score& score = score_of(track.name).score;
        EXPECT_EQ(score.loop_ms, track.loop_ms) << track.name;
        const double beats = score.tempo_bpm * score.loop_ms / 60000.0;
        for (const Part& part : score.parts) {
            const auto notes = parse_notes(part.notes);
            ASSERT_TRUE(notes.has_value()) << track.name << ": " << part.notes;
            EXPECT_NEAR(notes->length_ticks, beats * k_ticks_per_beat, 0.01)
                << track.name << ": " << part.notes;
        }
    }
}

// The device loops a track at its loop length: the music must be going at both sides of that
// point, and join there without a click.
TEST(SoundSet, MusicPlaysOnThroughItsLoopPoint) {
    constexpr double k_seam_ms = 150.0;
    constexpr std::size_t k_around = 50 * k_frames_per_ms;
    for (const Track& track : k_music) {
        const MonoSound sound = sound_of(track.name);
        ASSERT_EQ(sound.samples.size(), track.loop_ms * k_frames_per_ms) << track.name;
        EXPECT_GT(end_level_dbfs(sound, k_seam_ms), k_silence_dbfs) << track.name;
        EXPECT_GT(start_level_dbfs(sound, k_seam_ms), k_silence_dbfs) << track.name;
        EXPECT_GT(quietest_dbfs(sound, 30.0, true), k_silence_dbfs) << track.name;
        const std::vector<float>& s = sound.samples;
        const float seam_step = std::abs(s.front() - s.back());
        float largest_step_near = 0.0F;
        for (std::size_t i = 1; i < k_around; ++i) {
            largest_step_near = std::max({largest_step_near, std::abs(s[i] - s[i - 1]),
                                          std::abs(s[s.size() - i] - s[s.size() - i - 1])});
        }
        EXPECT_LE(seam_step, largest_step_near) << track.name << ": a click at the loop point";
    }
}

TEST(SoundSet, EverySoundThatPlaysOnceStartsAndEndsInSilence) {
    for (const SoundScore& score : sound_scores()) {
        if (score.kind == SoundKind::music) {
            continue;
        }
        const MonoSound sound = sound_of(score.name);
        ASSERT_GT(sound.samples.size(), 24U) << score.name;
        EXPECT_EQ(sound.samples.front(), 0.0F) << score.name;
        EXPECT_EQ(sound.samples.back(), 0.0F) << score.name;
        EXPECT_LT(peak_dbfs(std::span(sound.samples).first(12)), -20.0) << score.name;
        EXPECT_LT(peak_dbfs(std::span(sound.samples).last(12)), -20.0) << score.name;
    }
}

TEST(SoundSet, EverySoundIsAtTheLoudnessOfItsKindWithItsPeaksBelowTheLimit) {
    for (const SoundScore& score : sound_scores()) {
        const MonoSound sound = sound_of(score.name);
        EXPECT_NEAR(loudness_lufs(sound), loudness_target_lufs(score.kind), 1.0) << score.name;
        EXPECT_LE(peak_dbfs(sound.samples), -1.0) << score.name;
    }
}

TEST(SoundSet, MusicAndTheTwoLoudestEffectsStayBelowFullScaleTogether) {
    double music = 0.0;
    std::vector<double> effects;
    for (const SoundScore& score : sound_scores()) {
        const double peak = std::pow(10.0, peak_dbfs(sound_of(score.name).samples) / 20.0);
        if (score.kind == SoundKind::music) {
            music = std::max(music, peak);
        } else if (score.kind == SoundKind::effect) {
            effects.push_back(peak);
        }
    }
    std::sort(effects.begin(), effects.end(), std::greater<>());
    ASSERT_GE(effects.size(), 2U);
    EXPECT_LT(music + effects[0] + effects[1], 1.0);
}

TEST(SoundSet, NoSoundHasMuchAbove16Kilohertz) {
    for (const SoundScore& score : sound_scores()) {
        EXPECT_LE(energy_above_db(sound_of(score.name), 16000.0), -30.0) << score.name;
    }
}

// Each stage at least as busy, as high and as bright as the one before; the last one half as
// busy again as the first.
TEST(SoundSet, StagesRiseInDensityRegisterAndBrightness) {
    for (std::size_t i = 1; i < k_stages.size(); ++i) {
        const std::string_view before = k_stages[i - 1];
        const std::string_view stage = k_stages[i];
        EXPECT_GE(events_per_second(stage), events_per_second(before)) << stage;
        EXPECT_GE(lead_key(stage), lead_key(before)) << stage;
        EXPECT_GE(spectral_centroid_hz(sound_of(stage)), spectral_centroid_hz(sound_of(before)))
            << stage;
    }
    EXPECT_GE(events_per_second(k_stages.back()), 1.5 * events_per_second(k_stages.front()));
}

// The drums of a track (its parts that keep to one key) in one bar: which part strikes where.
std::set<std::tuple<std::size_t, std::uint32_t, std::uint32_t>> drums_in_bar(
    const Score& score, std::uint32_t bar_ticks, std::uint32_t bar) {
    std::set<std::tuple<std::size_t, std::uint32_t, std::uint32_t>> hits;
    for (std::size_t p = 0; p < score.parts.size(); ++p) {
        const PartNotes part = parse_notes(score.parts[p].notes).value_or(PartNotes{});
        const bool one_key =
            std::all_of(part.notes.begin(), part.notes.end(),
                        [&](const NoteEvent& note) { return note.key == part.notes[0].key; });
        for (const NoteEvent& note : part.notes) {
            if (one_key && note.start_tick / bar_ticks == bar) {
                hits.emplace(p, note.start_tick % bar_ticks, note.length_ticks);
            }
        }
    }
    return hits;
}

TEST(SoundSet, TheLastBarOfEveryTrackBringsAFill) {
    for (const Track& track : k_music) {
        const Score& score = score_of(track.name).score;
        const std::uint32_t bar_ticks = track.beats_per_bar * k_ticks_per_beat;
        const auto beats =
            static_cast<std::uint32_t>(std::lround(score.tempo_bpm * score.loop_ms / 60000.0));
        const std::uint32_t bars = beats / track.beats_per_bar;
        const auto last = drums_in_bar(score, bar_ticks, bars - 1);
        for (std::uint32_t bar = 0; bar + 1 < bars; ++bar) {
            EXPECT_NE(drums_in_bar(score, bar_ticks, bar), last) << track.name << " bar " << bar;
        }
    }
}

TEST(SoundSet, EffectsAreShortAndJinglesBrief) {
    for (const SoundScore& score : sound_scores()) {
        const double length = sound_of(score.name).length_ms();
        switch (score.kind) {
            case SoundKind::effect:
                EXPECT_LE(length, 600.0) << score.name;
                break;
            case SoundKind::jingle:
                EXPECT_LE(length, 2000.0) << score.name;
                EXPECT_GE(length, 700.0) << score.name;
                break;
            case SoundKind::music:
                break;
        }
    }
    EXPECT_LE(sound_of("rureto.wav").length_ms(), 30.0) << "ticks many times a second";
}

// The game starts the fanfare again every second: it must be over by then.
TEST(SoundSet, TheClearFanfareHasEndedWithin900Milliseconds) {
    EXPECT_LE(sound_ends_ms(sound_of("kuria.wav")), 900.0);
}

// Decide, right and the wrong digit come one after the other at every answer.
TEST(SoundSet, TheAnswerCuesAreEasyToTellApart) {
    const MonoSound decide = sound_of("kettei.wav");
    const MonoSound right = sound_of("seikai.wav");
    EXPECT_LE(sound_ends_ms(decide), 80.0) << "the decide blip is short";
    // The right answer climbs: its end sounds far higher than its start.
    const std::size_t third = right.samples.size() / 3;
    const std::span<const float> all(right.samples);
    EXPECT_GT(crossings_per_second(all.last(third)), 1.5 * crossings_per_second(all.first(third)));
    EXPECT_GE(sound_ends_ms(right), 3.0 * sound_ends_ms(decide));
    for (const std::string_view wrong : {"hazure.wav", "hazure0.wav"}) {
        const double centroid = spectral_centroid_hz(sound_of(wrong));
        EXPECT_LT(centroid, 700.0) << wrong << " is dull and low";
        EXPECT_LT(centroid, spectral_centroid_hz(right) / 2.0) << wrong;
        EXPECT_LT(centroid, spectral_centroid_hz(decide) / 2.0) << wrong;
    }
}

TEST(SoundSet, CountsThreeAndTwoSoundAlikeAndOneHigher) {
    EXPECT_EQ(sound_of("3.wav").samples, sound_of("2.wav").samples);
    EXPECT_GT(crossings_per_second(sound_of("1.wav").samples),
              1.2 * crossings_per_second(sound_of("3.wav").samples));
}

TEST(SoundSet, SpeedCuesRiseFromSlowToMediumToFastest) {
    const double slow = crossings_per_second(sound_of("-60.wav").samples);
    const double medium = crossings_per_second(sound_of("-200.wav").samples);
    const double fastest = crossings_per_second(sound_of("-100.wav").samples);
    EXPECT_LT(slow, medium);
    EXPECT_LT(medium, fastest);
}

}  // namespace
}  // namespace kal
