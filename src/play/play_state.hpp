#pragma once

// The state of one play of normal mode: reset at every start of normal mode, read by the
// countdown and by the result screen.

#include <array>
#include <cstdint>

#include "play/rules.hpp"

namespace kal {

using DigitRow = std::array<int, 10>;

struct PlayState {
    int level = 1;        // 1..6
    int question_no = 0;  // 1..40; 0 before the first, 41 in the step after the last
    int stage = 0;        // the level whose banner has been shown and whose music plays
    int score = 0;        // points from correct answers
    std::array<int, 7> correct_by_level{};  // indexed by level 1..6
    float time_left = k_starting_seconds;   // seconds, before the running answer time is taken off
    std::uint64_t clock_base = 0;           // clock reading at the first answer phase of a game
    std::uint64_t last_decision = 0;        // clock reading at the last confirmation
    int whole_seconds_left = 0;             // handed to the result screen
    // A permutation of 0..9 the questions draw from; kept across games.
    DigitRow digit_pool{0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    DigitRow row_copy{};  // the pool as it scrolled in the current question
    // Milliseconds from the cursor's appearance on the candidates to each confirmation, right or
    // wrong, question by question; the first `answered` count.
    std::array<std::uint32_t, k_question_count> reaction_ms{};
    int answered = 0;
};

extern PlayState play;

// Back to the state at program start, the digit pool included (for tests).
void reset_play_state();

// Keeps the reaction time of the question just answered.
void note_reaction(std::uint64_t reaction_ms);

}  // namespace kal
