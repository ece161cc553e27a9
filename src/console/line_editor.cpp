#include "console/line_editor.hpp"

#include <vector>

#include "console/text.hpp"

namespace kal {
namespace {

constexpr unsigned char k_backspace = 0x08;
constexpr unsigned char k_delete = 0x7F;
constexpr unsigned char k_tab = 0x09;
constexpr unsigned char k_line_feed = 0x0A;
constexpr unsigned char k_carriage_return = 0x0D;
constexpr unsigned char k_end_of_input = 0x04;  // Ctrl-D
constexpr unsigned char k_kill_line = 0x15;     // Ctrl-U
constexpr unsigned char k_erase_word = 0x17;    // Ctrl-W

struct Shown {
    char32_t ch;
    int width;
};

}  // namespace

LineEditor::State LineEditor::type(unsigned char byte) {
    if (state_ != State::typing) {
        return state_;
    }
    switch (byte) {
        case k_carriage_return:
        case k_line_feed:
            state_ = State::line_done;
            break;
        case k_end_of_input:
            state_ = bytes_.empty() ? State::input_ended : State::line_done;
            break;
        case k_backspace:
        case k_delete:
            erase_character();
            break;
        case k_kill_line:
            bytes_.clear();
            break;
        case k_erase_word:
            erase_word();
            break;
        default:
            // A tab parts words like a blank; no other control character belongs in a name.
            if ((byte >= 0x20 || byte == k_tab) && bytes_.size() < k_max_line_bytes) {
                bytes_ += byte == k_tab ? ' ' : static_cast<char>(byte);
            }
            break;
    }
    return state_;
}

void LineEditor::erase_character() {
    std::size_t last = 0;
    std::size_t pos = 0;
    while (pos < bytes_.size()) {
        last = pos;
        if (cp932_) {
            pos += cp932_char_bytes(bytes_, pos);
        } else {
            next_code_point(bytes_, pos);
        }
    }
    bytes_.erase(last);
}

void LineEditor::erase_word() {
    while (!bytes_.empty() && bytes_.back() == ' ') {
        bytes_.pop_back();
    }
    while (!bytes_.empty() && bytes_.back() != ' ') {
        erase_character();
    }
}

std::string LineEditor::text() const {
    return decode_typed(bytes_, cp932_);
}

std::string LineEditor::shown(int columns) const {
    const std::string line = text();
    std::vector<Shown> characters;
    std::size_t pos = 0;
    while (pos < line.size()) {
        const char32_t ch = next_code_point(line, pos);
        const bool showable = !is_control_character(ch) && cp932_holds(ch);
        characters.push_back(showable ? Shown{ch, cp932_width(ch)} : Shown{U'?', 1});
    }
    auto first = characters.end();
    int used = 0;
    while (first != characters.begin() && used + std::prev(first)->width <= columns) {
        --first;
        used += first->width;
    }
    std::string out;
    for (auto it = first; it != characters.end(); ++it) {
        append_utf8(out, it->ch);
    }
    return out;
}

}  // namespace kal
