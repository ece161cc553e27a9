#include "shell/title_screen.hpp"

#include <array>
#include <string_view>

#include "console/console.hpp"
#include "shell/draw.hpp"
#include "shell/music.hpp"

namespace kal {
namespace {

struct MenuItem {
    int box_column;
    Colour box_fg;
    Colour box_bg;
    int label_x;
    std::string_view label;
    Colour label_fg;
    int mark_column;
    Colour bar_colour;
    std::string_view description;
    Screen next;
};

constexpr int k_label_row = 21;
constexpr int k_upper_mark_row = 18;
constexpr int k_lower_mark_row = 24;
constexpr int k_description_row = 16;
constexpr std::uint64_t k_pass_ms = 100;

constexpr std::array<MenuItem, 4> k_menu_items{{
    {5, k_bright_blue, k_light_grey, 8, "挑戦", k_blue, 9, k_bright_blue,
     " ノーマルモード／全6ステージをクリアしていく基本のモード", Screen::normal_mode},
    {25, k_brown, k_yellow, 28, "説明", k_brown, 29, k_brown,
     " チュートリアル／まずはここから始めましょう。ルールの説明", Screen::tutorial},
    {45, k_red, k_bright_red, 48, "順位", k_red, 49, k_bright_red,
     " ランキング／最高記録の閲覧、猛者の記録をここに", Screen::ranking_board},
    {65, k_dark_grey, k_light_grey, 68, "製作", k_dark_grey, 69, k_dark_grey,
     " システム／裏で頑張ってたスタッフの観覧をひっそりと", Screen::credits},
}};

// The title word in block letters, 5 cells high, one blank cell between letters: K A L E I D
// R O N fill the 37 cells exactly.
constexpr std::array<std::string_view, 5> k_banner{{
    "#..#.###.#...###.###.##..##..###.#..#",
    "#.#..#.#.#...#....#..#.#.#.#.#.#.##.#",
    "##...###.#...###..#..#.#.##..#.#.#.##",
    "#.#..#.#.#...#....#..#.#.#.#.#.#.#..#",
    "#..#.#.#.###.###.###.##..#.#.###.#..#",
}};

constexpr int k_banner_left = 3;
constexpr int k_banner_top = 3;

void draw_banner() {
    for (std::size_t row = 0; row < k_banner.size(); ++row) {
        for (std::size_t cell = 0; cell < k_banner[row].size(); ++cell) {
            const int x = k_banner_left + 2 * static_cast<int>(cell);
            const int y = k_banner_top + static_cast<int>(row);
            if (k_banner[row][cell] == '#') {
                print_at(x, y, k_black, k_dark_grey, "■");
            } else {
                print_at(x, y, k_white, k_white, "  ");
            }
        }
    }
}

void draw_boxes() {
    for (const int row : {19, 23}) {
        for (const MenuItem& item : k_menu_items) {
            print_at(item.box_column, row, item.box_fg, item.box_bg, "■■■■■");
        }
    }
    for (const MenuItem& item : k_menu_items) {
        for (const int row : {20, 21, 22}) {
            print_at(item.box_column, row, item.box_fg, item.box_bg, "■");
            print_at(item.box_column + 8, row, item.box_fg, item.box_bg, "■");
        }
    }
}

void draw_title() {
    console.color(k_black, k_white);
    console.cls(k_keep, k_keep);
    draw_banner();
    print_at(78, 5, k_black, k_white, "++");
    console.color(k_dark_grey, k_white);
    console.locate(2, 8);
    for (int i = 0; i < 39; ++i) {
        console.print("―");
    }
    console.color(k_black, k_white);
    draw_boxes();
    print_at(51, 25, k_black, k_white, "[SPACE]…決定  [←][→]…選択");
    for (const MenuItem& item : k_menu_items) {
        print_at(item.label_x, k_label_row, item.label_fg, k_white, item.label);
    }
}

void draw_marks(int column, std::string_view lower, std::string_view upper) {
    print_at(column, k_lower_mark_row, lower);
    print_at(column, k_upper_mark_row, upper);
}

void draw_description(const MenuItem& item) {
    console.locate(3, k_description_row);
    console.color(item.bar_colour, k_white);
    console.print("|");
    console.color(k_black, k_white);
    console.print(item.description);
}

// Music serviced every 10 ms while the key stays down, so that holding it moves one item only.
void hold_while_down(int key, const MenuItem& item) {
    while (console.inkey(key) != 0) {
        for (int i = 0; i < 5; ++i) {
            play_music(k_track_title);
            console.wait(10);
        }
        play_music(k_track_title);
        draw_description(item);
    }
}

// Moves the cursor one item in direction (+1 or -1) when the key is down and the cursor is not
// at that end already; the cursor does not wrap.
std::size_t move_cursor(int key, int direction, std::size_t cursor, SoundId click) {
    const bool at_end = direction > 0 ? cursor + 1 == k_menu_items.size() : cursor == 0;
    if (console.inkey(key) == 0 || at_end) {
        return cursor;
    }
    play_music(k_track_title);
    console.play_sound(click);
    draw_marks(k_menu_items[cursor].mark_column, "　", "　");
    cursor = direction > 0 ? cursor + 1 : cursor - 1;
    const int column = k_menu_items[cursor].mark_column;
    draw_marks(column, "△", "▽");
    console.locate(3, k_description_row);
    console.color(k_white, k_white);
    console.printf("%70c", ' ');
    hold_while_down(key, k_menu_items[cursor]);
    return cursor;
}

}  // namespace

Screen title_screen() {
    wait_key_up(k_key_space);
    // The whole title, menu line included, reaches the screen before the sounds load: the first
    // load opens the sound output, and a built-in sound is rendered on its first load, which
    // together take longer than the drawing.
    draw_title();
    draw_marks(k_menu_items[0].mark_column, "△", "▽");
    draw_description(k_menu_items[0]);
    wait_key_up(k_key_space);
    const SoundId decide = console.load_sound("kettei.wav");
    const SoundId click = console.load_sound("kasoru.wav");

    std::size_t cursor = 0;
    for (;;) {
        play_music(k_track_title);
        cursor = move_cursor(k_key_right, +1, cursor, click);
        cursor = move_cursor(k_key_left, -1, cursor, click);
        draw_description(k_menu_items[cursor]);
        if (console.inkey(k_key_space) != 0) {
            console.play_sound(decide);
            console.color(k_black, k_white);
            draw_marks(k_menu_items[cursor].mark_column, "▲", "▼");
            console.wait(300);
            console.free_sound(click);
            console.free_sound_when_done(decide);
            return k_menu_items[cursor].next;
        }
        // A pass lasts 100 ms, or ends as soon as a key arrives: the cursor follows a press
        // at once, while the hold loop and the music keep their own pace.
        console.idle_until(console.now() + k_pass_ms);
    }
}

}  // namespace kal
