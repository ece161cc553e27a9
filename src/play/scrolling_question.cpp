#include "play/scrolling_question.hpp"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <utility>

#include "console/console.hpp"
#include "play/pacing.hpp"
#include "play/play_state.hpp"
#include "shell/countdown.hpp"
#include "shell/draw.hpp"
#include "shell/screen_kit.hpp"
#include "shell/ticker.hpp"

namespace kal {
namespace {

constexpr int k_shuffle_swaps = 50;
constexpr int k_row_start_x = 83;
constexpr int k_row_gone_x = -50;
constexpr int k_last_visible_x = 75;  // a glyph there still ends on column 80
constexpr int k_strip_width = 3;
constexpr int k_screen_columns = 80;

// The cue that sounds while the row scrolls, by the lowest speed figure it stands for.
struct SpeedCue {
    int from_speed;
    const char* file;
};

constexpr std::array<SpeedCue, 3> k_speed_cues{{
    {300, "-100.wav"},
    {100, "-200.wav"},
    {0, "-60.wav"},
}};

int random_below(int m) {
    return std::rand() % m;
}

std::size_t at(int index) {
    return static_cast<std::size_t>(index);
}

void swap_pool(int i, int j) {
    std::swap(play.digit_pool[at(i)], play.digit_pool[at(j)]);
}

// The speed cues are loaded for every question; the one that sounds is let go once it has
// played out, the others at once.
class SpeedCues {
public:
    SpeedCues() {
        for (std::size_t i = 0; i < k_speed_cues.size(); ++i) {
            ids_[i] = console.load_sound(k_speed_cues[i].file);
        }
    }
    SpeedCues(const SpeedCues&) = delete;
    SpeedCues& operator=(const SpeedCues&) = delete;
    ~SpeedCues() {
        for (std::size_t i = 0; i < k_speed_cues.size(); ++i) {
            if (i == played_) {
                console.free_sound_when_done(ids_[i]);
            } else {
                console.free_sound(ids_[i]);
            }
        }
    }

    void play_for(int speed) {
        const auto* cue =
            std::find_if(k_speed_cues.begin(), k_speed_cues.end(),
                         [speed](const SpeedCue& c) { return speed >= c.from_speed; });
        played_ = static_cast<std::size_t>(cue - k_speed_cues.begin());
        console.play_sound(ids_[played_]);
    }

private:
    std::array<SoundId, k_speed_cues.size()> ids_{};
    std::size_t played_ = k_speed_cues.size();
};

// Blanks what the last glyph left behind when it moved, keeping to the screen's columns. The
// column right after the row is the second half of a full-width character whenever the strip
// splits one; the console draws that half again as a blank.
void blank_strip(int x, int y) {
    const int first = std::max(x, 1);
    const int last = std::min(x + k_strip_width - 1, k_screen_columns);
    if (first <= last) {
        blank(first, y, last - first + 1);
    }
}

void draw_scroll_tick(int x, int digits) {
    music_tick();
    console.color(k_bright_blue, k_white);
    for (int k = 0; k < digits; ++k) {
        const int column = x + k_digit_glyph_columns * k;
        const int first_visible = k == 0 ? 1 : 2;
        if (column >= first_visible && column <= k_last_visible_x) {
            draw_digit(play.digit_pool[at(k)], column);
        }
    }
    const int strip = x + k_digit_glyph_columns * digits + 1;
    for (const int y : {k_scroll_row, k_scroll_row - 1, k_scroll_row + 1}) {
        blank_strip(strip, y);
    }
    level_bg_color(play.level);
    blank_row(10);
    blank_row(4);
    print_at(24, 14, k_black, k_white, k_instruction);
}

}  // namespace

void shuffle_pool() {
    for (int n = 0; n < k_shuffle_swaps; ++n) {
        const int i = random_below(10);
        const int j = random_below(10);
        swap_pool(i, j);
    }
    play.row_copy = play.digit_pool;
}

BannerEnd run_question(const QuestionSpec& question) {
    SpeedCues cues;
    shuffle_pool();
    if (show_stage_banner() == BannerEnd::all_clear) {
        return BannerEnd::all_clear;
    }
    announce_question(question.digits, question.speed);
    cues.play_for(question.speed);
    scroll_row(question);
    return BannerEnd::question_follows;
}

void scroll_row(const QuestionSpec& question) {
    draw_y = k_scroll_row;
    Ticker ticks;
    for (int x = k_row_start_x; x > k_row_gone_x; x -= question.step) {
        draw_scroll_tick(x, question.digits);
        ticks.wait(static_cast<std::uint64_t>(question.delay_ms));
    }
}

int show_candidates(int digits) {
    console.color(k_white, k_light_grey);
    blank_row(15);
    blank_row(19);
    draw_y = k_candidate_row;
    console.color(k_bright_blue, k_white);
    const int left = 37 - 3 * digits;
    const int missing = play.digit_pool[at(digits)];
    swap_pool(digits, random_below(digits));
    for (int n = 0; n < k_shuffle_swaps; ++n) {
        const int i = random_below(digits + 1);
        const int j = random_below(digits + 1);
        swap_pool(i, j);
    }
    for (int k = 0; k <= digits; ++k) {
        draw_digit(play.digit_pool[at(k)], left + k_digit_glyph_columns * k);
    }
    return missing;
}

}  // namespace kal
