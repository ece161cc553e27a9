#include "shell/unsaved_files.hpp"

#include <array>
#include <string_view>

#include "console/console.hpp"
#include "console/text.hpp"
#include "platform/session.hpp"

namespace kal {
namespace {

struct UnsavedText {
    std::string_view says;
    // Whether a write that gets through later means nothing was lost after all.
    bool made_up_by_a_later_write;
};

constexpr std::array<UnsavedText, 2> k_unsaved_texts{{
    {"kaleidron: ランキングを保存できませんでした: ", true},
    {"kaleidron: 訓練の記録に書き込めなかったゲームがあります: ", false},
}};

struct FileState {
    std::string path;
    bool unsaved = false;
};

std::array<FileState, k_unsaved_texts.size()> files;

std::size_t index_of(GameFile file) {
    return static_cast<std::size_t>(file);
}

// The game's own words in the terminal's code page; the path as the system gave it.
std::string in_terminal_code_page(std::string_view text) {
    std::string bytes;
    return console.traits().shift_jis && utf8_to_cp932(text, bytes) ? bytes : std::string(text);
}

}  // namespace

void note_file_written(GameFile file, const std::string& path, bool written) {
    FileState& state = files[index_of(file)];
    if (!written) {
        state = FileState{path, true};
    } else if (k_unsaved_texts[index_of(file)].made_up_by_a_later_write) {
        state.unsaved = false;
    }
    set_parting_words(unsaved_files_note());
}

std::string unsaved_files_note() {
    std::string note;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (files[i].unsaved) {
            note +=
                in_terminal_code_page(k_unsaved_texts[i].says) + printable(files[i].path) + "\n";
        }
    }
    return note;
}

void reset_unsaved_files() {
    files = {};
    set_parting_words({});
}

}  // namespace kal
