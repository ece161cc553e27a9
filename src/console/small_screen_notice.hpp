#pragma once

// What every back-end shows instead of the game while its output is smaller than the game's
// 80 x 25: one line, centred, asking for a larger window. The game's screen is kept all the
// while and drawn whole again once the output is large enough.

#include <algorithm>
#include <string_view>

#include "console/screen_buffer.hpp"
#include "platform/platform.hpp"

namespace kal {

inline constexpr std::string_view k_small_screen_notice = "80x25 以上に広げて下さい";
inline constexpr int k_small_screen_notice_columns = 24;

// A cell of the output, 1-based.
struct NoticePlace {
    int x = 1;
    int y = 1;
};

[[nodiscard]] inline bool too_small_for_game(TermSize size) {
    return size.cols < k_screen_cols || size.rows < k_screen_rows;
}

// Where the notice starts, centred in an output of this size.
[[nodiscard]] inline NoticePlace small_screen_notice_place(TermSize size) {
    return {std::max(1, (size.cols - k_small_screen_notice_columns) / 2 + 1),
            std::max(1, (size.rows + 1) / 2)};
}

}  // namespace kal
