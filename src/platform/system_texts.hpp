#pragma once

// The texts that speak of the system the game runs on: how the game is ended, where its files
// live, what the build plays its sound with. Each platform's folder holds its own
// (posix/system_texts.cpp, windows/system_texts.cpp); the rest of every text is shared.

#include <array>
#include <string_view>

namespace kal {

struct SystemTexts {
    // The end of the --help paragraph that says what the game needs to run.
    std::string_view needs;
    // The --help lines under "Keys:" that end the game (and stop it, where the system can).
    std::string_view quit_keys;
    // The --help lines under "Files:" for the game started from its build tree.
    std::string_view files_in_working_directory;
    // The --help lines under "Files:" after the ranking's and the history's places, for the
    // installed game: where its folder comes from and how to replace a sound.
    std::string_view files_per_user_rule;
    // What the build's sound and making rest on, thanked on the credits screen: the lines of
    // rows 19, 18 and 17, each entry a "・", a name and "様".
    std::array<std::string_view, 3> material;
};

const SystemTexts& system_texts();

}  // namespace kal
