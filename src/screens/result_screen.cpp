#include "screens/result_screen.hpp"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "console/console.hpp"
#include "history/history_file.hpp"
#include "play/play_state.hpp"
#include "play/rules.hpp"
#include "screens/grading.hpp"
#include "screens/ranking_board.hpp"
#include "screens/ranking_file.hpp"
#include "shell/draw.hpp"
#include "shell/music.hpp"
#include "shell/screen_kit.hpp"

namespace kal {
namespace {

struct ResultSounds {
    SoundId tally;
    SoundId tick;
    SoundId fanfare;
};

// Where each level's box stands: its label, the points per answer and the count of correct
// answers (the count glyph's column and centre row).
struct LevelBox {
    int label_x;
    int label_y;
    int points_x;
    int points_y;
    int count_x;
    int count_y;
};

constexpr std::array<LevelBox, k_last_level> k_level_boxes{{
    {2, 5, 23, 4, 17, 4},
    {32, 5, 54, 4, 48, 4},
    {2, 10, 23, 9, 17, 9},
    {32, 10, 54, 9, 48, 9},
    {2, 15, 23, 14, 17, 14},
    {32, 15, 54, 14, 48, 14},
}};

constexpr std::array<int, 2> k_rule_columns{2, 32};
constexpr std::array<int, 4> k_rule_rows{6, 11, 16, 21};

// A level 6 count of 10 has no glyph; it is printed as text right of the glyph's place.
constexpr int k_level6_text_x = 52;

constexpr int k_seconds_tens_x = 10;
constexpr int k_seconds_units_x = k_seconds_tens_x + k_digit_glyph_columns;
constexpr int k_seconds_y = 19;

// The three digits of the total, and the grade letter beside them.
constexpr std::array<int, 3> k_total_columns{41, 47, 53};
constexpr int k_total_y = 19;
constexpr int k_letter_x = 66;
constexpr int k_letter_y = 11;
constexpr int k_phrase_y = 14;
constexpr int k_grade_count = 8;

constexpr int k_prompt_x = 44;
constexpr int k_prompt_y = 22;

constexpr int k_name_x = 58;
constexpr int k_name_y = 24;
constexpr int k_name_area_columns = 23;

constexpr std::uint64_t k_tally_step_ms = 1000;
constexpr std::uint64_t k_roulette_tick_ms = 10;

// A pause keeps the result music going on both sides of the wait.
void pause(std::uint64_t ms) {
    play_music(k_track_result);
    console.wait(ms);
    play_music(k_track_result);
}

void draw_fixed_layout() {
    print_at(68, 3, k_bright_blue, k_white, "RESULT");
    console.color(k_black, k_keep);
    for (const int x : k_rule_columns) {
        for (const int y : k_rule_rows) {
            print_at(x, y, "――――――――――――――");
        }
    }
    for (std::size_t i = 0; i < k_level_boxes.size(); ++i) {
        const LevelBox& box = k_level_boxes[i];
        console.locate(box.label_x, box.label_y);
        console.printf("レベル%d 正解数", static_cast<int>(i) + 1);
        console.locate(box.points_x, box.points_y);
        console.printf("× %d点", k_points_by_level[i + 1]);
    }
    print_at(2, 20, "残り時間");
    console.locate(22, 19);
    console.printf("秒×%d点", k_points_per_second_left);
    print_at(32, 20, "合計得点");
    print_at(59, 20, "点");
}

void open_screen() {
    stop_music();
    play_music(k_track_result);
    console.color(k_black, k_white);
    console.cls(k_keep, k_keep);
    pause(100);
    draw_fixed_layout();
    pause(2000);
}

void draw_level6_count(int count) {
    const LevelBox& box = k_level_boxes[5];
    if (count < 10) {
        draw_digit_at(count, box.count_x, box.count_y);
        return;
    }
    console.locate(k_level6_text_x, box.count_y);
    console.printf("%d", count);
}

void draw_seconds_left(int seconds) {
    const int shown = shown_seconds(seconds);
    if (shown >= 10) {
        draw_digit_at(shown / 10, k_seconds_tens_x, k_seconds_y);
    }
    draw_digit_at(shown % 10, k_seconds_units_x, k_seconds_y);
}

// Seven steps one second apart, each with the tally cue.
void tally(const ResultSounds& sounds) {
    console.color(k_bright_blue, k_keep);
    for (int level = 1; level <= 5; ++level) {
        const LevelBox& box = k_level_boxes[static_cast<std::size_t>(level - 1)];
        draw_digit_at(play.correct_by_level[static_cast<std::size_t>(level)], box.count_x,
                      box.count_y);
        console.play_sound(sounds.tally);
        pause(k_tally_step_ms);
    }
    console.play_sound(sounds.tally);
    draw_level6_count(play.correct_by_level[6]);
    pause(k_tally_step_ms);
    console.play_sound(sounds.tally);
    draw_seconds_left(play.whole_seconds_left);
    pause(k_tally_step_ms);
}

void draw_total_digits(int total) {
    const int shown = shown_total(total);
    const std::array<int, 3> digits{shown / 100, shown / 10 % 10, shown % 10};
    for (std::size_t i = 0; i < digits.size(); ++i) {
        draw_digit_at(digits[i], k_total_columns[i], k_total_y);
    }
}

void draw_prompt() {
    print_at(63, 8, k_bright_blue, k_keep, "貴方の動体視力は");
    print_at(64, 18, k_black, k_white, "現在の5位の得点");
    console.color(k_brown, k_keep);
    console.locate(75, 20);
    console.printf("%d点", rank_table.back().score);
    print_at(k_prompt_x, k_prompt_y, k_bright_blue, k_keep, "Press SPACE KEY");
}

// Random digits and grades spin until SPACE is down at the end of a cycle.
void spin_roulette(const ResultSounds& sounds) {
    do {
        play_music(k_track_result);
        console.play_sound(sounds.tick);
        console.wait(k_roulette_tick_ms);
        draw_letter(std::rand() % k_grade_count, k_letter_x, k_letter_y);
        for (const int x : k_total_columns) {
            draw_digit_at(std::rand() % 10, x, k_total_y);
        }
    } while (console.inkey(k_key_space) == 0);
    print_at(k_prompt_x, k_prompt_y, "　　　　　　　　　　 ");
}

void show_result(int total) {
    const Grade& grade = grade_for(total);
    draw_letter(grade.letter, k_letter_x, k_letter_y);
    print_at(grade.phrase_column, k_phrase_y, grade.colour, k_white, grade.phrase);
    console.color(total >= rank_table.back().score ? k_bright_red : k_black, k_keep);
    draw_total_digits(total);
    console.color(k_black, k_keep);
}

void announce_place(int place, const ResultSounds& sounds) {
    console.play_sound(sounds.fanfare);
    console.color(k_bright_red, k_keep);
    draw_digit_at(place, 4, 23);
    print_at(10, 23, k_bright_blue, k_keep, "位にランクイン!");
    for (int i = 0; i < 4; ++i) {
        pause(250);
    }
    console.play_sound(sounds.fanfare);
}

// Asks for a name until one fits the entry. Returns false when the input ends first; the entry
// then keeps an empty name.
bool enter_name(RankEntry& entry) {
    console.set_cursor(true, 0);
    std::string word;
    bool accepted = false;
    bool input_open = true;
    while (input_open && !accepted) {
        play_music(k_track_result);
        print_at(15, 24, k_bright_blue, k_keep, "名前をエントリーして下さい(半角14文字以内):");
        blank(k_name_x, k_name_y, k_name_area_columns);
        console.locate(k_name_x, k_name_y);
        input_open = console.read_word(word);
        play_music(k_track_result);
        accepted = input_open && set_entry_name(word, entry);
    }
    if (!input_open) {
        entry.name.front() = '\0';
    }
    console.set_cursor(false, 0);
    return input_open;
}

// The total goes over the 5th place; true while the input is still open.
bool rank_in(int place, int total, const ResultSounds& sounds) {
    announce_place(place, sounds);
    RankEntry& entry = rank_table.back();
    entry.score = total;
    return enter_name(entry);
}

void regret_no_rank_in() {
    print_at(10, 23, k_black, k_keep, "残念!ランクイン出来ませんでした");
    pause(200);
    wait_space(k_track_result);
}

void release_sounds(const ResultSounds& sounds) {
    for (const SoundId id : {sounds.tally, sounds.tick, sounds.fanfare}) {
        console.free_sound_when_done(id);
    }
}

}  // namespace

Screen result_screen() {
    const ResultSounds sounds{console.load_sound("kekka.wav"), console.load_sound("rureto.wav"),
                              console.load_sound("kuria.wav")};
    open_screen();
    tally(sounds);
    draw_prompt();
    spin_roulette(sounds);

    const int total = total_score(play.score, play.whole_seconds_left);
    show_result(total);
    // The total is on the screen before the history is written, which may wait for the disk.
    console.flush();
    record_finished_game();
    const int place = rank_in_place(rank_table, total);
    bool input_open = true;
    if (place > 0) {
        input_open = rank_in(place, total, sounds);
    } else {
        regret_no_rank_in();
    }

    sort_ranking();
    save_ranking();
    release_sounds(sounds);
    stop_music();
    if (!input_open) {
        return Screen::quit;
    }
    after_game = 1;
    play_music(k_track_title);
    return Screen::ranking_board;
}

}  // namespace kal
