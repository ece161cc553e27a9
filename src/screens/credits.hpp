#pragma once

// The credits: the staff and acknowledgements under the heading "CREDIT", listed in quick
// succession, then a wait for SPACE.

#include <span>
#include <string_view>

#include "shell/screen_flow.hpp"

namespace kal {

// One line of the credits, printed at column x of row y.
struct CreditLine {
    int x;
    int y;
    std::string_view text;
};

// The lines of one step of the list, in the order they are drawn: the credit lines before their
// heading.
std::span<const CreditLine> credit_step(int step);
// Steps of the list, 20 ms apart; the last one draws nothing.
inline constexpr int k_credit_steps = 7;

// Draws the credits and waits for SPACE. Returns Screen::title.
Screen credits_screen();

}  // namespace kal
