#pragma once

// The rules of the result screen that need no screen: the total of a game, its grade, the place
// it takes in the ranking, how large numbers fit the glyphs, and which typed names are kept.

#include <array>
#include <climits>
#include <string_view>

#include "screens/ranking_file.hpp"

namespace kal {

// One band of totals and what the player is told about it.
struct Grade {
    int lowest_total;  // inclusive
    int letter;        // glyph of the letter font: 0..6 are A..G, 7 is S
    std::string_view phrase;
    int phrase_column;  // the phrase stands on row 14 from this column
    int colour;         // of the letter and of the phrase, on white
};

// Highest band first; the first band whose lowest total is reached is the grade.
inline constexpr std::array<Grade, 8> k_grades{{
    {300, 7, "神の眼", 68, 6},
    {174, 0, "超人的な動体視力", 63, 12},
    {100, 1, "結構イケてるね！", 63, 9},
    {78, 2, "まぁまぁじゃない？", 63, 2},
    {60, 3, "ちょいヤバ目かも？", 63, 3},
    {44, 4, "かなりヤバイかも", 64, 1},
    {20, 5, "激ヤバかも･･･", 64, 8},
    {INT_MIN, 6, "最悪かも･･････", 64, 0},
}};

// The name of each glyph of the letter font, by the grade's letter number.
inline constexpr std::string_view k_grade_letters = "ABCDEFGS";

inline constexpr int k_points_per_second_left = 5;

// A typed name keeps at most this many code page 932 bytes: the columns the ranking board
// leaves for it.
inline constexpr std::size_t k_name_max_bytes = 14;

// The points of the correct answers plus 5 for every whole second left on the clock.
int total_score(int score, int whole_seconds_left);

const Grade& grade_for(int total);

// The place (1..5) a total takes: the first place whose score it reaches, so a total equal to
// an older score goes above it. 0 when it does not rank in. The total must also reach the 5th
// place, whose entry it replaces: a ranking file put out of order by hand never loses a better
// score to a worse one.
int rank_in_place(const RankTable& table, int total);

// The glyphs have room for two digits of seconds and three of the total. Larger values show as
// 99 and 999, the most the glyphs can say, so that a player never reads a big result as a small
// one (1004 shown as 004 would look like a bad game); the ranking and the grade keep the true
// total.
int shown_seconds(int seconds);
int shown_total(int total);

// Puts a typed word (UTF-8) into the name field as code page 932 bytes and a zero byte, and
// tells whether it was taken. A word longer than 14 bytes in code page 932, with a character
// that code page 932 cannot hold or with a control character, leaves the field as it was.
// Bytes after the zero byte are left as they were.
bool set_entry_name(std::string_view typed, RankEntry& entry);

}  // namespace kal
