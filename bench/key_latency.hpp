#pragma once

// Key to screen: how long after a press of Right or Left reaches the game's terminal the
// terminal receives the cursor's step, on the title and on the answer row. The presses alternate
// so that each one moves the cursor, and come at random moments, so that they fall anywhere
// between the game's looks at its keys.

#include <string>
#include <string_view>
#include <vector>

#include "game_run.hpp"

namespace kal::bench {

// Where the cursor is stepped: the title's menu, or the candidates of the first question; the
// row whose lower mark shows each step.
struct LatencyPlace {
    std::string_view name;
    bool in_game;
    int mark_row;
};
inline constexpr LatencyPlace k_latency_places[] = {
    {"the title", false, 24},
    {"the answer row", true, 19},
};

struct LatencyFigures {
    std::string place;
    std::vector<double> ms;  // one a press, in the order pressed
    std::string failure;     // empty when every press showed its step
};

LatencyFigures measure_key_latency(const RunOptions& options, const LatencyPlace& place,
                                   int presses);

}  // namespace kal::bench
