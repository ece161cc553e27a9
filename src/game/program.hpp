#pragma once

// The game from start-up on, once the console is bound to a terminal.

#include <string>

#include "platform/data_directory.hpp"
#include "shell/screen_flow.hpp"

namespace kal {

// The ranking file of a run: ranking_file, or Rank.dat in the data folder when it is empty.
std::string ranking_file_path(DataHome home, const std::string& ranking_file);

// Where this run keeps its files: the ranking in ranking_file, or as Rank.dat in the data
// folder when ranking_file is empty (the folder is made then); the history beside the ranking;
// replacing sounds in the data folder.
void place_game_files(DataHome home, const std::string& ranking_file);

// Runs one screen and returns the one that comes next; the keys pressed on it that it did
// not read are dropped.
Screen run_screen(Screen screen);

// Runs screens from first on until one of them returns Screen::quit.
void run_screens(Screen first);

// Loads the ranking and writes it back, seeds the random numbers, sets black on white with the
// cursor hidden, then runs the screens from the title screen on. Returns only when the game
// ends itself (the input has ended); otherwise the game runs until its terminal is closed.
void run_program();

// Puts every global of the game back to its state at start-up, so that tests start clean.
void reset_game_state();

}  // namespace kal
