#include "screens/tutorial.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>

#include "console/console.hpp"
#include "play/rules.hpp"
#include "play/scrolling_question.hpp"
#include "shell/draw.hpp"
#include "shell/music.hpp"
#include "shell/screen_kit.hpp"

namespace kal {
namespace {

constexpr int k_screen_columns = 80;
constexpr int k_resting_column = 3;  // draw_x once the sample row has gone

// The sample answer, played out right, earns a Great; played out wrong, it costs the penalty.
constexpr const BonusBand& k_sample_bonus = k_bonus_bands[2];
constexpr float k_seconds_after_right =
    k_starting_seconds + static_cast<float>(k_sample_bonus.seconds);
constexpr float k_seconds_after_wrong = k_seconds_after_right - k_penalty_seconds;

// The sample question: the row 4 1 scrolls by; the answer is the 7 among the candidates.
struct SampleDigit {
    int digit;
    int offset;        // columns from the left edge of the row
    int first_column;  // drawn only while its left edge lies in first_column..75
};
constexpr int k_last_glyph_column = k_screen_columns - 5;
constexpr std::array<SampleDigit, 2> k_sample_row{{{4, 0, 1}, {1, 6, 2}}};
// The trail of the row is wiped three columns wide, one column past its last glyph.
constexpr int k_trail_offset = 13;
constexpr int k_trail_width = 3;
constexpr std::array<int, 3> k_trail_rows{7, 6, 8};
constexpr int k_scroll_start = 83;
constexpr int k_scroll_end = -50;
constexpr std::uint64_t k_scroll_tick_ms = 10;

struct Candidate {
    int digit;
    int column;
};
constexpr std::array<Candidate, 3> k_candidates{{{1, 30}, {7, 36}, {4, 43}}};

constexpr std::uint64_t k_step_pause_ms = 200;

struct Caption {
    int x = 0;
    int y = 0;
    Colour fg = k_black;
    Colour bg = k_white;
    std::string_view text;
};

using Action = void (*)();

struct Step {
    Action before = nullptr;
    std::array<Caption, 4> captions{};
    Action after = nullptr;
    int draw_row = k_scroll_row;
    // How the step closes: the usual advance is a busy wait of 200 ms, then a wait for SPACE.
    bool pause = true;
    bool space = true;
    bool clear_after = false;
};

// Prints count blanks from column x of row y, only the part that lies on the screen.
void blank_on_screen(int x, int y, int count) {
    const int first = std::max(x, 1);
    const int last = std::min(x + count - 1, k_screen_columns);
    if (first <= last) {
        blank(first, y, last - first + 1);
    }
}

void draw_panel_bars() {
    console.color(k_white, k_blue);
    blank_row(10);
    blank_row(4);
}

void scroll_sample_row() {
    for (int x = k_scroll_start; x > k_scroll_end; --x) {
        draw_sample_row(x);
        console.wait(k_scroll_tick_ms);
    }
    draw_x = k_resting_column;
}

void show_candidates() {
    console.color(k_bright_blue, k_white);
    for (const Candidate& candidate : k_candidates) {
        draw_digit(candidate.digit, candidate.column);
    }
}

void blank_panel_white() {
    console.color(k_white, k_white);
    clear_panel();
}

// The bonus the sample answer earns and the clock with it.
void show_right_answer_bonus() {
    print_at(61, 22, k_brown, k_white, bonus_label(k_sample_bonus));
    draw_time(k_seconds_after_right);
}

// The penalty the sample answer costs and the clock without it.
void show_wrong_answer_penalty() {
    print_at(61, 22, k_bright_red, k_white, penalty_label());
    draw_time(k_seconds_after_wrong);
}

// The blank that wipes the candidate line: 4 spaces, 4 full-width spaces, 25 spaces.
constexpr std::string_view k_candidate_line_blank =
    "    "
    "　　　　"
    "                         ";

constexpr std::array<Step, k_tutorial_steps> k_script{{
    // 1
    {.captions = {{{34, 6, k_black, k_white, "ゲーム説明"},
                   {27, 8, k_black, k_white, "SPACEキーで説明を進めます。"},
                   {17, 9, k_black, k_white, "(チュートリアルではカーソル操作は出来ません)"}}},
     .pause = false,
     .clear_after = true},
    // 2
    {.captions = {{{2, 3, k_black, k_white, "ゲーム説明"},
                   {28, 7, k_black, k_white, "これが実際のゲーム画面です。"}}}},
    // 3
    {.captions = {{{18, 8, k_black, k_white,
                    "ここに文字が流れてくるので、それを記憶しましょう。"}}},
     .clear_after = true},
    // 4
    {.before = scroll_sample_row, .pause = false, .space = false},
    // 5
    {.captions = {{{24, 14, k_black, k_white, k_instruction}}}, .space = false},
    // 6
    {.captions = {{{31, 7, k_black, k_white, "こんな感じです。"}}}, .clear_after = true},
    // 7
    {.captions = {{{26, 17, k_black, k_white, "次に、下に数字が出てきます。"}}},
     .draw_row = k_candidate_row},
    // 8
    {.captions = {{{24, 17, k_black, k_white, k_candidate_line_blank}}},
     .after = show_candidates,
     .draw_row = k_candidate_row,
     .pause = false,
     .space = false},
    // 9
    {.captions = {{{32, 15, k_blue, k_light_grey, "▽"}, {32, 19, k_blue, k_light_grey, "△"}}}},
    // 10
    {.captions = {{{24, 7, k_black, k_white, "カーソルを[←][→]キーで動かして"},
                   {23, 8, k_black, k_white, "上に出てなかった数字を選びましょう。"}}},
     .clear_after = true},
    // 11
    {.captions = {{{32, 15, k_blue, k_light_grey, "　"},
                   {32, 19, k_blue, k_light_grey, "　"},
                   {38, 15, k_blue, k_light_grey, "▽"},
                   {38, 19, k_blue, k_light_grey, "△"}}}},
    // 12
    {.before = blank_panel_white,
     .captions = {{{20, 7, k_black, k_white, "これだ！と思ったらSPACEキーで決定です。"}}},
     .pause = false,
     .space = false},
    // 13
    {.captions = {{{38, 15, k_black, k_light_grey, "▼"}, {38, 19, k_black, k_light_grey, "▲"}}}},
    // 14
    {.captions = {{{38, 23, k_bright_blue, k_white, "正解"}}},
     .after = show_right_answer_bonus,
     .clear_after = true},
    // 15
    {.captions = {{{38, 23, k_bright_blue, k_white, "　　"},
                   {13, 7, k_black, k_white,
                    "正解すると、選んだ速さによってタイムボーナスがつきます。"}}},
     .clear_after = true},
    // 16
    {.captions = {{{38, 15, k_black, k_light_grey, "　"},
                   {38, 19, k_black, k_light_grey, "　"},
                   {44, 15, k_black, k_light_grey, "▽"},
                   {44, 19, k_black, k_light_grey, "△"}}}},
    // 17
    {.captions = {{{44, 15, k_black, k_light_grey, "▼"},
                   {44, 19, k_black, k_light_grey, "▲"},
                   {37, 23, k_bright_red, k_white, "間違い"}}},
     .after = show_wrong_answer_penalty,
     .clear_after = true},
    // 18
    {.captions = {{{22, 7, k_black, k_white, "逆に間違えると、タイムが減ります。"}}}},
    // 19
    {.captions = {{{19, 8, k_black, k_white, "タイムがゼロになったらゲームオーバーです。"}}},
     .clear_after = true},
    // 20
    {.captions = {{{21, 7, k_black, k_white, "序盤は簡単ですが終盤は物凄く難しいので、"},
                   {14, 8, k_black, k_white,
                    "序盤でタイムボーナスを沢山稼ぐのがクリアのコツです。"}}},
     .clear_after = true},
    // 21
    {.captions = {{{20, 7, k_black, k_white, "全6レベル(1～5レベルは各6問、6レベルは10問)"},
                   {25, 8, k_black, k_white, "全面クリア目指して頑張って下さい。"}}}},
}};

const Step& script_step(int step) {
    return k_script[static_cast<std::size_t>(step - 1)];
}

}  // namespace

void draw_tutorial_board() {
    draw_x = k_resting_column;
    draw_y = k_scroll_row;
    console.color(k_bright_blue, k_white);
    console.cls(k_keep, k_keep);
    draw_panel_bars();
    console.color(k_white, k_light_grey);
    blank_row(15);
    blank_row(19);
    draw_time(k_starting_seconds);
    print_at(2, 22, "LV");
    draw_digit_at(1, 1, 24);
    print_at(7, 24, "―");
    draw_digit_at(1, 9, 24);
    print_at(24, 14, k_black, k_white, k_instruction);
}

void draw_sample_row(int x) {
    draw_x = x;
    play_music(k_track_title);
    console.color(k_bright_blue, k_white);
    for (const SampleDigit& sample : k_sample_row) {
        const int column = x + sample.offset;
        if (column >= sample.first_column && column <= k_last_glyph_column) {
            draw_digit(sample.digit, column);
        }
    }
    for (const int row : k_trail_rows) {
        blank_on_screen(x + k_trail_offset, row, k_trail_width);
    }
    draw_panel_bars();
}

void draw_tutorial_step(int step) {
    const Step& current = script_step(step);
    draw_y = current.draw_row;
    if (current.before != nullptr) {
        current.before();
    }
    for (const Caption& caption : current.captions) {
        if (!caption.text.empty()) {
            print_at(caption.x, caption.y, caption.fg, caption.bg, caption.text);
        }
    }
    if (current.after != nullptr) {
        current.after();
    }
}

void close_tutorial_step(int step) {
    const Step& current = script_step(step);
    if (current.pause) {
        console.wait(k_step_pause_ms);
    }
    if (current.space) {
        wait_space(k_track_title);
    }
    if (current.clear_after) {
        clear_panel();
    }
    draw_y = k_scroll_row;
}

Screen tutorial_screen() {
    draw_tutorial_board();
    for (int step = 1; step <= k_tutorial_steps; ++step) {
        draw_tutorial_step(step);
        close_tutorial_step(step);
    }
    return Screen::title;
}

}  // namespace kal
