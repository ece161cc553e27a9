#include "bot_rules.hpp"

namespace kal::bench {
namespace {

constexpr std::string_view k_instruction = "-上の数字に無い物を選んで下さい-";
constexpr std::string_view k_clear_screen = "\x1b[2J";
constexpr std::string_view k_speed_caption = "ソクド";
constexpr int k_row_start_x = 83;
constexpr int k_row_gone_x = -50;
constexpr int k_count_base_ms = 1000;
constexpr int k_count_shortening_per_level_ms = 70;

}  // namespace

int scroll_ticks_in(std::string_view frame) {
    if (frame.find(k_clear_screen) != std::string_view::npos) {
        return 0;
    }
    int count = 0;
    for (std::size_t pos = frame.find(k_instruction); pos != std::string_view::npos;
         pos = frame.find(k_instruction, pos + k_instruction.size())) {
        ++count;
    }
    return count;
}

bool is_announcement(std::string_view frame) {
    return frame.find(k_speed_caption) != std::string_view::npos;
}

int ticks_per_question(int step) {
    const int distance = k_row_start_x - k_row_gone_x;
    return (distance + step - 1) / step;
}

std::optional<int> missing_candidate(const std::vector<int>& candidates,
                                     const std::set<int>& scrolled) {
    std::optional<int> found;
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        if (candidates[i] < 0) {
            return std::nullopt;
        }
        if (!scrolled.contains(candidates[i])) {
            if (found) {
                return std::nullopt;
            }
            found = static_cast<int>(i);
        }
    }
    return found;
}

int candidate_column(int digits) {
    return 37 - 3 * digits;
}

int count_ms(int level) {
    return k_count_base_ms - k_count_shortening_per_level_ms * level;
}

}  // namespace kal::bench
