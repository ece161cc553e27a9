#pragma once

// The rules of the result screen that need no screen: the place a total takes in the ranking,
// how large numbers fit the glyphs, and which typed names are kept. The total of a game and
// its grade are rules of scoring, in play/rules.hpp.

#include <cstddef>
#include <string_view>

#include "play/rules.hpp"
#include "screens/ranking_file.hpp"

namespace kal {

// A typed name keeps at most this many code page 932 bytes: the columns the ranking board
// leaves for it.
inline constexpr std::size_t k_name_max_bytes = 14;

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
