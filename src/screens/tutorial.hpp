#pragma once

// The tutorial: a mock-up of the play screen on which a fixed script explains the rules. A
// sample question scrolls by, and a sample answer is played out once right and once wrong. The
// player cannot move the cursor; SPACE advances the script, and holding it advances one step
// about every 200 ms.

#include "shell/screen_flow.hpp"

namespace kal {

// Steps of the script; after the last one the title screen follows.
inline constexpr int k_tutorial_steps = 21;

// The mock-up play screen: the blue bars of the panel, the grey bars of the candidate row, the
// TIME readout at the starting clock, the level indicator and the instruction line.
void draw_tutorial_board();
// Draws step (1..k_tutorial_steps) of the script, the scrolling of the sample row included,
// without the waits that close it.
void draw_tutorial_step(int step);
// Closes step: its wait (200 ms, SPACE, or both) and the clearing of the panel after it.
void close_tutorial_step(int step);
// One frame of the scrolling sample row with its left edge at column x; each glyph is drawn
// only where it fits the screen, and nothing is drawn beyond column 80.
void draw_sample_row(int x);

// Runs the board and the whole script. Returns Screen::title.
Screen tutorial_screen();

}  // namespace kal
