#pragma once

// The forty questions of normal mode: how many digits scroll, the speed figure announced in
// "km", and the real scrolling rate (columns per tick and milliseconds per tick). The speed
// figure is only a label: the rate comes from step and delay_ms alone.

#include <array>

namespace kal {

struct QuestionSpec {
    int digits;    // 2..8
    int speed;     // the figure announced, 30..999
    int step;      // columns per tick, 1..4
    int delay_ms;  // milliseconds per tick, 5..25
};

inline constexpr int k_question_count = 40;
inline constexpr int k_questions_per_level = 6;
inline constexpr int k_last_level = 6;

// Rows for questions 1 to 40, then a 41st that is only ever counted: the all-clear takes over
// before anything of it is shown.
inline constexpr std::array<QuestionSpec, k_question_count + 1> k_question_table{{
    {2, 30, 1, 25},  {3, 40, 1, 20},  {4, 60, 1, 10},  {3, 80, 1, 9},   {5, 60, 1, 10},
    {2, 100, 2, 15}, {3, 100, 2, 15}, {4, 80, 1, 9},   {2, 150, 2, 10}, {5, 80, 1, 9},
    {3, 150, 2, 10}, {2, 300, 2, 9},  {4, 100, 2, 15}, {5, 80, 1, 9},   {6, 60, 1, 10},
    {3, 200, 2, 5},  {7, 40, 1, 20},  {4, 200, 2, 5},  {5, 150, 2, 10}, {3, 300, 2, 9},
    {7, 80, 1, 9},   {6, 100, 2, 15}, {8, 60, 1, 10},  {4, 500, 3, 15}, {7, 100, 2, 15},
    {5, 300, 2, 9},  {6, 200, 2, 5},  {8, 80, 1, 9},   {3, 700, 3, 9},  {4, 800, 3, 5},
    {7, 200, 2, 5},  {5, 800, 3, 5},  {8, 100, 2, 15}, {6, 700, 3, 9},  {7, 500, 3, 15},
    {8, 200, 2, 5},  {5, 900, 4, 5},  {6, 800, 3, 5},  {7, 700, 3, 9},  {8, 999, 4, 5},
    {1, 1, 1, 1},
}};

// The row of question 1..41.
constexpr const QuestionSpec& question_row(int question_no) {
    return k_question_table[static_cast<std::size_t>(question_no - 1)];
}

// The level of question 1..40: six questions to each of levels 1 to 5, the last ten at level 6.
constexpr int level_of_question(int question_no) {
    const int level = (question_no - 1) / k_questions_per_level + 1;
    return level < k_last_level ? level : k_last_level;
}

}  // namespace kal
