#include "shell/program.hpp"

#include <array>
#include <cstdlib>
#include <ctime>

#include "console/console.hpp"
#include "history/history_file.hpp"
#include "play/normal_mode.hpp"
#include "play/play_state.hpp"
#include "screens/credits.hpp"
#include "screens/ranking_board.hpp"
#include "screens/ranking_file.hpp"
#include "screens/result_screen.hpp"
#include "screens/tutorial.hpp"
#include "shell/music.hpp"
#include "shell/screen_flow.hpp"
#include "shell/screen_kit.hpp"
#include "shell/title_screen.hpp"
#include "sound/wav_file.hpp"

namespace kal {
namespace {

using ScreenFunction = Screen (*)();

constexpr std::array<ScreenFunction, 6> screen_functions{{
    title_screen,       // Screen::title
    start_normal_mode,  // Screen::normal_mode
    tutorial_screen,    // Screen::tutorial
    ranking_board,      // Screen::ranking_board
    credits_screen,     // Screen::credits
    result_screen,      // Screen::result
}};

}  // namespace

void run_screens(Screen first) {
    Screen next = first;
    while (next != Screen::quit) {
        next = screen_functions[static_cast<std::size_t>(next)]();
    }
}

std::string ranking_file_path(DataHome home, const std::string& ranking_file) {
    return ranking_file.empty() ? (data_directory(home) / "Rank.dat").string() : ranking_file;
}

void place_game_files(DataHome home, const std::string& ranking_file) {
    const std::filesystem::path directory = data_directory(home);
    if (ranking_file.empty()) {
        // A folder that cannot be made leaves the ranking in memory, as any unusable file does.
        make_data_directory(directory);
    }
    const std::string ranking = ranking_file_path(home, ranking_file);
    set_ranking_path(ranking);
    set_history_path(history_path_beside(ranking));
    set_sound_directory(directory);
}

void run_program() {
    load_ranking();
    save_ranking();
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    console.bgcolor(15);
    console.color(0, 16);
    console.set_cursor(false, 0);
    console.cls(16, 16);
    run_screens(Screen::title);
}

void reset_game_state() {
    reset_music();
    reset_play_state();
    reset_ranking();
    reset_ranking_board();
    reset_screen_kit();
    set_ranking_path("Rank.dat");
    set_history_path(std::string(k_history_file_name));
    set_sound_directory({});
}

}  // namespace kal
