#include "game/program.hpp"

#include <cstdlib>

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
#include "shell/screen_kit.hpp"
#include "shell/title_screen.hpp"
#include "shell/unsaved_files.hpp"
#include "sound/wav_file.hpp"

namespace kal {

namespace {

// A screen missing here is a warning of the compiler (-Wswitch), an error in CI.
Screen show(Screen screen) {
    switch (screen) {
        case Screen::title:
            return title_screen();
        case Screen::normal_mode:
            return start_normal_mode();
        case Screen::tutorial:
            return tutorial_screen();
        case Screen::ranking_board:
            return ranking_board();
        case Screen::credits:
            return credits_screen();
        case Screen::result:
            return result_screen();
        case Screen::quit:
            break;
    }
    return Screen::quit;
}

}  // namespace

// A key pressed on a screen that did not read it never reaches the next one: an arrow tapped on
// the ranking board does not move the title's cursor.
Screen run_screen(Screen screen) {
    const Screen next = show(screen);
    console.drop_unread_keys();
    return next;
}

void run_screens(Screen first) {
    Screen next = first;
    while (next != Screen::quit) {
        next = run_screen(next);
    }
}

std::string ranking_file_path(DataHome home, const std::string& ranking_file) {
    return ranking_file.empty() ? (data_directory(home) / k_ranking_file_name).string()
                                : ranking_file;
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
    std::srand(console.random_seed());
    console.bgcolor(k_white);
    console.color(k_black, k_keep);
    console.set_cursor(false, 0);
    console.cls(k_keep, k_keep);
    run_screens(Screen::title);
}

void reset_game_state() {
    reset_music();
    reset_play_state();
    reset_ranking();
    reset_ranking_board();
    reset_unsaved_files();
    reset_screen_kit();
    set_ranking_path(std::string(k_ranking_file_name));
    set_history_path(std::string(k_history_file_name));
    set_sound_directory({});
}

}  // namespace kal
