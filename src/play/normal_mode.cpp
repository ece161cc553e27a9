#include "play/normal_mode.hpp"

#include <array>
#include <string_view>

#include "console/console.hpp"
#include "play/answer.hpp"
#include "play/pacing.hpp"
#include "play/play_state.hpp"
#include "play/rules.hpp"
#include "play/scrolling_question.hpp"
#include "shell/draw.hpp"
#include "shell/music.hpp"
#include "shell/screen_kit.hpp"

namespace kal {
namespace {

constexpr int k_banner_row = 7;
constexpr int k_caption_row = 17;

// What a new level announces below its title, and how much of rows 17 and 18 is blanked
// again afterwards.
struct LevelAnnouncement {
    std::string_view caption;  // row 17, in place of a scoring change
    int caption_x;
    std::string_view scoring;  // rows 17 and 18: the change of points
    int scoring_x;
    std::string_view scoring_detail;
    int scoring_detail_x;
    int blank_x;  // rows 17 and 18 (row 18 only with a scoring change)
    int blank_wide;
    int blank_narrow;
    int detail_blank_x;
};

// Indexed by the level just begun, 2..6.
constexpr std::array<LevelAnnouncement, k_last_level + 1> k_level_announcements{{
    {},
    {},
    {"～スピードコース。目を凝らして見極めろ！～", 20, "", 0, "", 0, 10, 30, 1, 0},
    {"", 0, "これよりハードコース突入！", 27, "正解時の得点が1.5倍になります", 25, 20, 25, 0, 20},
    {"～そろそろ本気で行きますよ。クリア出来るかな？～", 18, "", 0, "", 0, 16, 30, 0, 0},
    {"", 0, "これよりベリーハードコース突入！", 24, "正解したときの得点が更に1.5倍になります", 21,
     20, 25, 0, 20},
    {"", 0, "これよりウルトラハードコース突入！", 23, "正解したときの得点が更に更に2倍になります",
     19, 20, 25, 0, 19},
}};

constexpr int k_clear_phases = 6;
constexpr int k_all_clear_phases = 10;
constexpr int k_phase_ticks = 2;
// The stage banners blink and pause in steps of two beats.
constexpr int k_banner_step_ms = 2 * k_beat_ms;
constexpr int k_after_game_question = k_question_count + 1;

void print_wide_blanks(int x, int y, int wide, int narrow = 0) {
    console.locate(x, y);
    for (int i = 0; i < wide; ++i) {
        console.print("　");
    }
    for (int i = 0; i < narrow; ++i) {
        console.print(" ");
    }
}

// A new play starts from the starting clock at level 1; only the digit pool runs on from game
// to game.
void reset_for_new_game() {
    const DigitRow pool = play.digit_pool;
    play = PlayState{};
    play.digit_pool = pool;
}

void draw_score() {
    console.color(k_black, k_white);
    console.locate(1, 3);
    console.printf("SCORE:%d", play.score);
}

void draw_play_screen() {
    console.cls(k_black, k_white);
    console.color(k_white, k_blue);
    blank_row(4);
    blank_row(10);
    console.color(k_white, k_light_grey);
    blank_row(15);
    blank_row(19);
    draw_score();
    print_at(24, 14, k_instruction);
    console.color(k_white, k_light_grey);
    draw_time(k_starting_seconds);
}

void draw_level_indicator() {
    print_at(2, 22, k_black, k_white, "LV");
    draw_digit_at(play.level, 1, 24);
    print_at(7, 24, "―");
    if (play.question_no >= k_question_count) {
        draw_digit_at(1, 9, 24);
        draw_digit_at(0, 15, 24);
    } else {
        draw_digit_at(play.question_no - k_questions_per_level * play.level + k_questions_per_level,
                      9, 24);
    }
}

void print_stage_title(int x) {
    console.locate(x, k_banner_row);
    console.printf("レベル %d", play.stage);
}

void show_opening(SoundId start) {
    console.play_sound(start);
    console.color(k_green, k_white);
    wait_ms(200);
    print_at(33, k_banner_row, "ノーマルモード");
    print_at(29, k_caption_row, "全6ステージを走破せよ！");
    wait_ms(3000);
    print_wide_blanks(30, k_banner_row, 16);
    print_wide_blanks(30, k_caption_row, 16, 1);
    wait_ms(500);
    play.stage = 1;
    console.color(k_green, k_white);
    music_tick();  // the first tick of a game starts the level-1 music
    print_stage_title(36);
    print_at(18, k_caption_row, "～まずは小手慣らし。タイムボーナスを狙おう！～");
    music_tick();
    wait_ms(3000);
    music_tick();
    print_wide_blanks(36, k_banner_row, 10);
    print_wide_blanks(18, k_caption_row, 26, 1);
}

void show_all_clear(SoundId clear) {
    draw_digit_at(1, 9, 24);
    draw_digit_at(0, 15, 24);
    for (int phase = 0; phase < k_all_clear_phases; ++phase) {
        if (phase % 2 == 0) {
            console.play_sound(clear);
            print_at(28, k_banner_row, k_bright_red, k_white, "オールステージ　クリア！");
        } else {
            print_wide_blanks(28, k_banner_row, 12);
        }
        paced_pause(k_phase_ticks, k_banner_step_ms);
    }
}

// "Level n clear!" blinks in the colour of the level just finished.
void blink_level_cleared(SoundId clear) {
    for (int phase = 0; phase < k_clear_phases; ++phase) {
        music_tick();
        if (phase % 2 == 0) {
            console.play_sound(clear);
            level_fg_color(play.stage);
            console.locate(32, k_banner_row);
            console.printf("レベル%d クリア！", play.stage);
        } else {
            print_wide_blanks(32, k_banner_row, 10, 1);
        }
        paced_pause(k_phase_ticks, k_banner_step_ms);
    }
}

void announce_new_level() {
    const LevelAnnouncement& text = k_level_announcements[static_cast<std::size_t>(play.level)];
    level_fg_color(play.level);
    if (play.level == k_last_level) {
        print_at(32, k_banner_row, "ファイナルレベル");
        print_at(34, k_banner_row + 1, "ラスト 10問");
    } else {
        print_stage_title(36);
    }
    stop_music();
    music_tick();
    if (!text.caption.empty()) {
        print_at(text.caption_x, k_caption_row, text.caption);
    }
    if (!text.scoring.empty()) {
        level_fg_color(play.level);
        print_at(text.scoring_x, k_caption_row, text.scoring);
        print_at(text.scoring_detail_x, k_caption_row + 1, text.scoring_detail);
    }
}

void clear_new_level_texts() {
    const LevelAnnouncement& text = k_level_announcements[static_cast<std::size_t>(play.level)];
    print_wide_blanks(text.blank_x, k_caption_row, text.blank_wide, text.blank_narrow);
    if (!text.scoring.empty()) {
        print_wide_blanks(text.detail_blank_x, k_caption_row + 1, text.blank_wide);
    }
    print_wide_blanks(30, k_banner_row, 24);
    print_wide_blanks(30, k_banner_row + 1, 24);
    console.color(k_bright_blue, k_white);
}

void show_level_change(SoundId clear) {
    blink_level_cleared(clear);
    ++play.stage;
    print_wide_blanks(32, k_banner_row, 10);
    paced_pause(3, k_banner_step_ms);
    level_bg_color(play.level);
    blank_row(4);
    blank_row(10);
    paced_pause(k_phase_ticks, k_banner_step_ms);
    announce_new_level();
    console.color(k_white, k_white);
    paced_pause(12, k_banner_step_ms);
    clear_new_level_texts();
}

// One question from its count to its judging; false once the game has ended.
bool play_question() {
    const QuestionSpec& question = next_question();
    if (run_question(question) == BannerEnd::all_clear) {
        return false;
    }
    const int missing = show_candidates(question.digits);
    const std::optional<Answer> answer = choose_answer(question.digits);
    if (answer && judge_answer(*answer, missing, question.digits) == Judged::next_question) {
        return true;
    }
    time_over();
    return false;
}

}  // namespace

Screen start_normal_mode() {
    reset_for_new_game();
    stop_music();
    draw_play_screen();
    while (play_question()) {
    }
    return Screen::result;
}

const QuestionSpec& next_question() {
    ++play.question_no;
    if (level_rises_at(play.question_no)) {
        ++play.level;
    }
    draw_level_indicator();
    return question_row(play.question_no);
}

BannerEnd show_stage_banner() {
    const SoundId start = console.load_sound("start.wav");
    const SoundId clear = console.load_sound("kuria.wav");
    if (play.stage == 0) {
        show_opening(start);
    }
    BannerEnd end = BannerEnd::question_follows;
    if (play.question_no == k_after_game_question) {
        show_all_clear(clear);
        end = BannerEnd::all_clear;
    } else {
        if (level_rises_at(play.question_no)) {
            show_level_change(clear);
        }
        paced_pause(k_phase_ticks, k_banner_step_ms);
    }
    console.free_sound_when_done(start);
    console.free_sound_when_done(clear);
    return end;
}

}  // namespace kal
