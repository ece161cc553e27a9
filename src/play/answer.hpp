#pragma once

// The player's turn: the clock runs while the cursor moves along the candidates, SPACE
// confirms, and the judging shows the row again, scores, and gives a time bonus or takes the
// penalty off the clock. The clock reaching zero ends the game with time over.

#include <cstdint>
#include <optional>

namespace kal {

// What the player confirmed.
struct Answer {
    int index;                  // the candidate chosen, 0 = leftmost
    float seconds_left;         // the clock at the confirmation
    std::uint64_t reaction_ms;  // from the cursor's first drawing to the confirmation
};

// Gives back to the clock the time since the last confirmation, then runs the clock and the
// cursor until SPACE; nothing when the clock ran out first.
std::optional<Answer> choose_answer(int digits);

enum class Judged { next_question, time_over };

// Shows the scrolled row again with a wrong choice in red, gives the verdict, the points and
// the bonus or the penalty, and tidies the screen for the next question.
Judged judge_answer(const Answer& answer, int missing, int digits);

// The end of a game that ran out of time: the readout at zero and "タイムオーバー" blinking.
void time_over();

}  // namespace kal
