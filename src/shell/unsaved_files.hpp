#pragma once

// The player's files that the game could not write. The game goes on without them, as it always
// has, but when it ends the player is told on standard error which of them were not saved, once
// and naming the file, so that a ranking or a history found behind is no mystery.

#include <cstdint>
#include <string>

namespace kal {

enum class GameFile : std::uint8_t { ranking, history };

// Notes how the latest write of the file at path went. A ranking saved later makes up for one
// that failed, since it holds the whole table; a game missing from the history stays missing.
void note_file_written(GameFile file, const std::string& path, bool written);

// What the player is told when the game ends: a line for each file not saved, in the terminal's
// code page; empty when everything was written.
std::string unsaved_files_note();

// Forgets every write, as at program start.
void reset_unsaved_files();

}  // namespace kal
