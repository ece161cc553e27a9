#pragma once

// What the benchmark's player knows about the game: how to tell the frames apart in the byte
// stream, how many ticks a row scrolls, and which candidate to pick.

#include <optional>
#include <set>
#include <string_view>
#include <vector>

namespace kal::bench {

// How many scroll ticks the bytes hold: each tick redraws the instruction line below the row,
// and no other frame of a question does that without clearing the screen first.
int scroll_ticks_in(std::string_view frame);

inline bool is_scroll_tick(std::string_view frame) {
    return scroll_ticks_in(frame) > 0;
}

// The announcement of a question: its speed caption.
bool is_announcement(std::string_view frame);

// Ticks from column 83 while the row is still above column -50.
int ticks_per_question(int step);

// The candidate to confirm: the index of the only candidate that did not scroll, or nothing when
// the candidates and the scrolled digits do not tell.
std::optional<int> missing_candidate(const std::vector<int>& candidates,
                                     const std::set<int>& scrolled);

// The left column of the candidate row for a question of that many digits.
int candidate_column(int digits);

// How long each of the three counts before a question lasts at a level, in milliseconds.
int count_ms(int level);

}  // namespace kal::bench
