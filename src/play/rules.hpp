#pragma once

// The rules of scoring and pacing, apart from any drawing: the clock a game starts with, when
// the level rises, the points of a correct answer, the time bonus of a quick one, the penalty
// of a wrong one, the total of a game and its grade. Beside the question table, which holds
// the rest: the digits and the speed of every question.

#include <array>
#include <climits>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "console/palette.hpp"
#include "play/question_table.hpp"

namespace kal {

// The clock of a new game, in seconds.
inline constexpr float k_starting_seconds = 20.0F;

// Seconds a wrong answer takes off the clock.
inline constexpr float k_penalty_seconds = 3.0F;

// True for the first question of every level after the first (7, 13, 19, 25, 31): the level
// rises as that question is counted.
constexpr bool level_rises_at(int question_no) {
    return question_no > 1 && level_of_question(question_no) != level_of_question(question_no - 1);
}

// Points for a correct answer by level 1..6: 1.5 times at level 3, 1.5 times again at level 5,
// twice again at level 6.
inline constexpr std::array<int, k_last_level + 1> k_points_by_level{0, 4, 4, 6, 6, 9, 18};

// A quick correct answer gains time: the faster, the more. The bands are tried in order.
struct BonusBand {
    double below_seconds;   // compared with the reaction time as a float
    int seconds;            // added to the clock
    std::string_view name;  // what the player is told, before the seconds
};

// 1.2 and 2.3 are compared in double: 1200 ms as a float lies just above 1.2 and is Great,
// 2300 ms just below 2.3 and is Great too.
inline constexpr std::array<BonusBand, 4> k_bonus_bands{{
    {0.5, 7, "Excellent!"},
    {1.2, 3, "Marvelous"},
    {2.3, 2, "Great"},
    {4.0, 1, "Good"},
}};

// The band of k_bonus_bands a correct answer after reaction_ms earns; nothing at 4 seconds and
// more.
std::optional<std::size_t> bonus_band_for(std::uint64_t reaction_ms);

// What the player reads of a time bonus: the band's name and its seconds ("Great +2sec").
std::string bonus_label(const BonusBand& band);

// What the player reads of the penalty ("Penalty! Time -3sec").
std::string penalty_label();

struct PlayState;

// What judging an answer did to the clock.
struct Judgement {
    std::optional<std::size_t> bonus_band;  // the band of the time bonus a correct answer earned
    float seconds_left;  // the clock at the confirmation with the bonus or the penalty applied

    // The game ends when a penalty leaves nothing on the clock.
    [[nodiscard]] bool clock_ran_out() const { return seconds_left <= 0.0F; }
};

// A correct answer at the state's level, confirmed with seconds_left on the clock after
// reaction_ms: the level's points, one more correct answer at that level, and the time bonus
// it earns added to the clock.
Judgement judge_right_answer(PlayState& state, float seconds_left, std::uint64_t reaction_ms);

// A wrong answer confirmed with seconds_left on the clock: the penalty comes off the clock and
// off the whole seconds the result counts.
Judgement judge_wrong_answer(PlayState& state, float seconds_left);

inline constexpr int k_points_per_second_left = 5;

// The points of the correct answers plus 5 for every whole second left on the clock.
int total_score(int score, int whole_seconds_left);

// One band of totals and what the player is told about it.
struct Grade {
    int lowest_total;  // inclusive
    int letter;        // glyph of the letter font: 0..6 are A..G, 7 is S
    std::string_view phrase;
    int phrase_column;  // the phrase stands on row 14 from this column
    Colour colour;      // of the letter and of the phrase, on white
};

// Highest band first; the first band whose lowest total is reached is the grade.
inline constexpr std::array<Grade, 8> k_grades{{
    {300, 7, "神の眼", 68, k_brown},
    {174, 0, "超人的な動体視力", 63, k_bright_red},
    {100, 1, "結構イケてるね！", 63, k_bright_blue},
    {78, 2, "まぁまぁじゃない？", 63, k_green},
    {60, 3, "ちょいヤバ目かも？", 63, k_cyan},
    {44, 4, "かなりヤバイかも", 64, k_blue},
    {20, 5, "激ヤバかも･･･", 64, k_dark_grey},
    {INT_MIN, 6, "最悪かも･･････", 64, k_black},
}};

// The name of each glyph of the letter font, by the grade's letter number.
inline constexpr std::string_view k_grade_letters = "ABCDEFGS";

const Grade& grade_for(int total);

}  // namespace kal
