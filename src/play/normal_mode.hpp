#pragma once

// Normal mode: forty questions in six levels against a running clock. One question after the
// other runs from the level indicator through the banner, the scrolling row and the candidates
// to the answer and its judging; the game ends with the all-clear after the 40th answer or
// with time over, and the result screen comes next.

#include "play/question_table.hpp"
#include "shell/screen_flow.hpp"

namespace kal {

// Resets the play, draws the play screen and plays questions until the game ends; returns
// Screen::result.
Screen start_normal_mode();

// Counts the next question, raises the level when a new level begins (questions 7, 13, 19,
// 25 and 31) and draws the level indicator; returns the question's row of the table.
const QuestionSpec& next_question();

enum class BannerEnd { question_follows, all_clear };

// The banner before a question: the opening of a game, the level-cleared sequence with the
// next level's announcement, or, after the 40th answer, the all-clear, which ends the game.
BannerEnd show_stage_banner();

}  // namespace kal
