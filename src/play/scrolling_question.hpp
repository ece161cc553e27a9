#pragma once

// One question from the shuffle of the digit pool to the row of candidates: the banner, the
// announcement with its countdown, the speed cue, and the digits scrolling from beyond the
// right edge of the screen to beyond the left edge.

#include <string_view>

#include "play/normal_mode.hpp"
#include "play/question_table.hpp"

namespace kal {

// The instruction line under the scrolling row, at (24, 14).
inline constexpr std::string_view k_instruction = "-上の数字に無い物を選んで下さい-";

// The centre rows (draw_y) of the scrolling row, glyphs on rows 6 to 8, and of the candidates,
// glyphs on rows 16 to 18.
inline constexpr int k_scroll_row = 7;
inline constexpr int k_candidate_row = 17;

// Mixes the digit pool from the order the last question left and keeps a copy of the order
// in which the row will scroll.
void shuffle_pool();

// Shuffles, shows any banner, announces the question and scrolls its row. Returns
// BannerEnd::all_clear when the all-clear banner ended the game instead.
BannerEnd run_question(const QuestionSpec& question);

// Scrolls the first question.digits digits of the pool across rows 6 to 8, one tick per
// question.delay_ms after each tick's drawing, question.step columns per tick.
void scroll_row(const QuestionSpec& question);

// Lays out the scrolled digits and the one that did not scroll, in random order, on rows 16 to
// 18; returns the digit that did not scroll.
int show_candidates(int digits);

}  // namespace kal
