#include "shell/draw.hpp"

#include "console/console.hpp"

namespace kal {

void print_at(int x, int y, std::string_view text) {
    console.locate(x, y);
    console.print(text);
}

void print_at(int x, int y, Colour fg, Colour bg, std::string_view text) {
    console.color(fg, bg);
    print_at(x, y, text);
}

void blank(int x, int y, int count) {
    console.locate(x, y);
    console.printf("%*c", count, ' ');
}

void blank_row(int y) {
    blank(1, y, 80);
}

void pause_between_polls() {
    console.idle_until(console.now() + 1);
}

void wait_key_up(int code) {
    while (console.inkey(code) != 0) {
        pause_between_polls();
    }
}

}  // namespace kal
