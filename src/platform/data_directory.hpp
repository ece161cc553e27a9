#pragma once

// Where the game keeps its files: the ranking (Rank.dat) and the WAV files that replace its own
// sounds. The game started from its build tree keeps them in the working directory. The
// installed game keeps them in one folder per player, so that a player has one ranking
// whatever directory the game is started from.

#include <cstdint>
#include <filesystem>

namespace kal {

enum class DataHome : std::uint8_t {
    working_directory,  // the game started from its build tree
    per_user,           // the installed game: $XDG_DATA_HOME/kaleidron
};

// The choice this build was made with: per_user for the installed game (the CMake option
// KALEIDRON_USER_DATA), working_directory otherwise. data_directory(build_data_home()) is
// where this build keeps its files.
DataHome build_data_home();

// The folder of the game's files, read from the environment; creates nothing. An empty path
// stands for the working directory, so that names stay relative to it. For per_user:
// $XDG_DATA_HOME/kaleidron, or $HOME/.local/share/kaleidron when XDG_DATA_HOME is unset,
// empty or not an absolute path (such a value is not meant for us). Without a usable HOME the
// home directory comes from the password database; with no home at all, the working
// directory. On Windows, per_user is %APPDATA%\kaleidron.
std::filesystem::path data_directory(DataHome home);

// Creates the folder and every missing folder above it, readable by the player alone (0700, as
// per-user data folders are made; on Windows the folder takes the player's own rights from
// %APPDATA%); folders that exist are left as they are. True when the
// folder is there afterwards. The working directory (an empty path) is always there.
bool make_data_directory(const std::filesystem::path& directory);

}  // namespace kal
