#include "play/answer.hpp"

#include <array>
#include <string_view>

#include "console/console.hpp"
#include "play/pacing.hpp"
#include "play/play_state.hpp"
#include "play/rules.hpp"
#include "play/scrolling_question.hpp"
#include "shell/draw.hpp"
#include "shell/music.hpp"
#include "shell/screen_kit.hpp"
#include "shell/ticker.hpp"

namespace kal {
namespace {

// The cursor's marks stand above and below the candidates.
constexpr int k_lower_mark_row = k_candidate_row + 2;
constexpr int k_upper_mark_row = k_candidate_row - 2;
constexpr int k_verdict_row = 22;
constexpr int k_pass_ms = 10;

// Where and in which colour each band of the time bonus shows, in the order of k_bonus_bands.
struct BonusLook {
    int x;
    Colour fg;
};

constexpr std::array<BonusLook, k_bonus_bands.size()> k_bonus_looks{{
    {61, k_bright_magenta},
    {62, k_bright_green},
    {61, k_brown},
    {64, k_bright_blue},
}};

double ms_to_seconds(std::uint64_t ms) {
    return static_cast<double>(ms) / 1000.0;
}

std::size_t at(int index) {
    return static_cast<std::size_t>(index);
}

// The clock of the answer phase: the latest reading and the time left at that reading.
struct AnswerClock {
    std::uint64_t now = 0;
    float left = 0.0F;

    // Reads the clock and shows what is left.
    void read() {
        now = console.now();
        left = static_cast<float>(static_cast<double>(play.time_left) -
                                  ms_to_seconds(now - play.clock_base));
        draw_time(left);
        console.color(k_blue, k_light_grey);
    }
};

// The clock runs only while the player can answer: the first answer phase of a game starts
// it, every later one gives back the time since the last confirmation.
void restart_clock() {
    const std::uint64_t reading = console.now();
    if (play.question_no == 1) {
        play.clock_base = reading;
    } else {
        play.time_left = static_cast<float>(static_cast<double>(play.time_left) +
                                            ms_to_seconds(reading - play.last_decision));
    }
}

void draw_marks(int column, std::string_view lower, std::string_view upper) {
    print_at(column, k_lower_mark_row, lower);
    print_at(column, k_upper_mark_row, upper);
}

struct Cursor {
    int first_column;
    int digits;
    int column;
    int index;
};

// Moves the cursor one place when the key is down and the cursor is not at that end; the key
// must come up before it moves again, and the clock runs on meanwhile. False when the clock
// ran out while the key was held.
bool move_cursor(int key, int direction, Cursor& cursor, AnswerClock& clock, SoundId click) {
    const int last_column = cursor.first_column + k_digit_glyph_columns * cursor.digits;
    const bool at_end =
        direction > 0 ? cursor.column >= last_column : cursor.column <= cursor.first_column;
    if (console.inkey(key) == 0 || at_end) {
        return true;
    }
    music_tick();
    console.play_sound(click);
    draw_marks(cursor.column, "　", "　");
    cursor.column += direction * k_digit_glyph_columns;
    draw_marks(cursor.column, "△", "▽");
    while (console.inkey(key) != 0) {
        music_tick();
        if (clock.left <= 0.0F) {
            return false;
        }
        clock.read();
        pause_between_polls();
    }
    cursor.index += direction;
    return true;
}

Answer confirm(const Cursor& cursor, const AnswerClock& clock, std::uint64_t answer_start,
               SoundId decide) {
    music_tick();
    console.play_sound(decide);
    console.color(k_black, k_light_grey);
    draw_marks(cursor.column, "▲", "▼");
    console.color(k_blue, k_light_grey);
    play.whole_seconds_left = static_cast<int>(clock.left);
    play.last_decision = console.now();
    const std::uint64_t reaction_ms = clock.now - answer_start;
    note_reaction(reaction_ms);
    return {cursor.index, clock.left, reaction_ms};
}

std::optional<Answer> run_answer_loop(int digits, SoundId decide, SoundId click) {
    const int first_column = 39 - 3 * digits;
    Cursor cursor{first_column, digits, first_column, 0};
    draw_y = k_lower_mark_row;
    console.color(k_blue, k_light_grey);
    draw_marks(cursor.column, "△", "▽");
    const std::uint64_t answer_start = console.now();
    AnswerClock clock;
    Ticker passes;
    for (;;) {
        music_tick();
        clock.read();
        if (clock.left <= 0.0F) {
            return std::nullopt;
        }
        // Right, Left and SPACE in this order: SPACE with an arrow confirms at the new place.
        const int index_before = cursor.index;
        if (!move_cursor(k_key_right, +1, cursor, clock, click) ||
            !move_cursor(k_key_left, -1, cursor, clock, click)) {
            return std::nullopt;
        }
        if (cursor.index != index_before) {
            passes.restart();  // the pass waited for the key to come up
        }
        if (console.inkey(k_key_space) != 0) {
            return confirm(cursor, clock, answer_start, decide);
        }
        passes.wait_or_key(k_pass_ms);
    }
}

// The row again where it scrolled, centred; a wrongly chosen digit is one of the row and shows
// in red.
void show_row_again(int chosen, int missing, int digits, SoundId miss) {
    draw_y = k_scroll_row;
    console.color(k_bright_blue, k_white);
    const int left = 40 - 3 * digits;
    for (int i = 0; i < digits; ++i) {
        const int digit = play.row_copy[at(i)];
        if (chosen != missing && chosen == digit) {
            console.play_sound(miss);
            console.color(k_bright_red, k_keep);
        }
        draw_digit(digit, left + k_digit_glyph_columns * i);
        console.color(k_bright_blue, k_keep);
    }
}

void judge_correct(const Answer& answer, SoundId right) {
    print_at(38, k_verdict_row, k_bright_blue, k_white, "正解");
    console.play_sound(right);
    const Judgement judged = judge_right_answer(play, answer.seconds_left, answer.reaction_ms);
    music_tick();
    if (judged.bonus_band) {
        const BonusLook& look = k_bonus_looks[*judged.bonus_band];
        print_at(look.x, k_verdict_row, look.fg, k_white,
                 bonus_label(k_bonus_bands[*judged.bonus_band]));
        draw_time(judged.seconds_left);
    }
    paced_pause(16, k_beat_ms);
    console.color(k_white, k_white);
    blank(60, k_verdict_row, 19);
}

// The penalty off the clock; false when that leaves nothing on it.
bool judge_wrong(const Answer& answer, SoundId wrong) {
    music_tick();
    print_at(37, k_verdict_row, k_bright_red, k_white, "間違い");
    console.play_sound(wrong);
    print_at(60, k_verdict_row, k_bright_red, k_white, penalty_label());
    const Judgement judged = judge_wrong_answer(play, answer.seconds_left);
    draw_time(judged.seconds_left);
    if (judged.clock_ran_out()) {
        draw_time(0.0F);
    }
    paced_pause(16, k_beat_ms);
    blank(60, k_verdict_row, 19);
    return !judged.clock_ran_out();
}

void tidy_after_judging() {
    console.locate(36, k_verdict_row);
    console.print("　　　　");
    for (const int y : {16, 17, 18, 6, 7, 8}) {
        blank_row(y);
    }
    console.color(k_black, k_white);
    console.locate(1, 3);
    console.printf("SCORE:%d", play.score);
    console.color(k_white, k_light_grey);
    blank_row(k_upper_mark_row);
    blank_row(k_lower_mark_row);
}

}  // namespace

std::optional<Answer> choose_answer(int digits) {
    const SoundId decide = console.load_sound("kettei.wav");
    const SoundId click = console.load_sound("kasoru.wav");
    restart_clock();
    const std::optional<Answer> answer = run_answer_loop(digits, decide, click);
    console.free_sound_when_done(decide);
    console.free_sound_when_done(click);
    return answer;
}

Judged judge_answer(const Answer& answer, int missing, int digits) {
    const SoundId right = console.load_sound("seikai.wav");
    const SoundId wrong = console.load_sound("hazure.wav");
    const SoundId miss = console.load_sound("hazure0.wav");
    const int chosen = play.digit_pool[at(answer.index)];
    show_row_again(chosen, missing, digits, miss);
    paced_pause(8, k_beat_ms);
    bool goes_on = true;
    if (chosen == missing) {
        judge_correct(answer, right);
    } else {
        goes_on = judge_wrong(answer, wrong);
    }
    if (goes_on) {
        tidy_after_judging();
    }
    for (const SoundId id : {right, wrong, miss}) {
        console.free_sound_when_done(id);
    }
    return goes_on ? Judged::next_question : Judged::time_over;
}

void time_over() {
    // "タイムオーバー" blinks for seven and a half seconds.
    constexpr int k_time_over_phases = 15;
    constexpr int k_time_over_phase_ms = 500;
    const SoundId over = console.load_sound("over.wav");
    draw_time(0.0F);
    console.stop_sound(current_music);
    for (int phase = 0; phase < k_time_over_phases; ++phase) {
        if (phase % 2 == 0) {
            if (phase == 0) {
                console.play_sound(over);
            }
            print_at(34, 12, k_bright_red, k_white, "タイムオーバー");
        } else {
            print_at(34, 12, k_white, k_white, "　　　　　　　");
        }
        wait_ms(k_time_over_phase_ms);
    }
    play.whole_seconds_left = 0;
    console.free_sound_when_done(over);
}

}  // namespace kal
