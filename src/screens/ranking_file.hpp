#pragma once

// The five-place high-score ranking, kept in memory for the whole run and mirrored in the
// ranking file, "Rank.dat" in the folder where the game keeps its files.
//
// Rank.dat is six 56-byte records back to back (336 bytes, no header): the five places,
// 1st place first, then a spare record of 56 zero bytes. A record is the score as a signed
// 32-bit little-endian integer followed by the 52-byte name field: code page 932 bytes ended
// by a zero byte. Only the first 280 bytes are ever read.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kal {

// One place of the ranking; the same 56 bytes in memory and in the file.
struct RankEntry {
    std::int32_t score;
    // Code page 932 text ended by a zero byte; bytes after the zero carry no meaning but are
    // kept and written back as they are.
    std::array<char, 52> name;
};
static_assert(sizeof(RankEntry) == 56);

// Index 0 is the 1st place. Outside the moment a new entry is inserted, the table is in
// descending order of score, and index 4 holds the score a game must reach to enter it.
using RankTable = std::array<RankEntry, 5>;

inline constexpr std::size_t k_rank_record_bytes = 56;
inline constexpr std::size_t k_rank_file_bytes = 6 * k_rank_record_bytes;

// The name of the ranking file, wherever it lives.
inline constexpr std::string_view k_ranking_file_name = "Rank.dat";

// The game's one ranking. Every entry is zero until the first load_ranking.
extern RankTable rank_table;

// Zeroes the table and forgets that it was ever loaded, as at program start.
void reset_ranking();

// Where the ranking file lives; k_ranking_file_name in the working directory unless changed (the
// game sets it at start-up from its data folder or its command line).
void set_ranking_path(std::string path);

// Fills the table from the ranking file. Up to 280 bytes of the file overwrite the table
// from its beginning and the rest of the table keeps its values, so an empty file changes
// nothing. A file that does not exist gives the default ranking. A file that exists but
// cannot be read (no permission, not a regular file) is left alone: the table keeps what it
// holds, or gets the default ranking if nothing was loaded yet in this run. After a save that
// failed the file is not read at all: the table holds what the player saw and wins until a
// save gets through. The first load of a run removes the temporaries of saves that a kill cut
// short, once they are more than a minute old.
void load_ranking();

// Writes the table to the ranking file as 336 bytes. The bytes go to a temporary file beside
// it, which is flushed to disk and then renamed over it, so the file on disk is always either
// the old ranking or the new one. Where no temporary can be made but the file itself may be
// written (a folder the player may not write), the file is rewritten in place instead. A file
// that exists but may not be written, and any failure on the way, leave the old file
// untouched; the table then lives on in memory only, and the player is told when the game ends
// unless a later save gets through.
void save_ranking();

// Puts the five places in descending order of score by an exchange sort that swaps on <=:
// entries of equal score come out in the reverse of their order before the sort, so a new
// entry ties above an older one and tied entries trade places on every sort.
void sort_ranking();

}  // namespace kal
