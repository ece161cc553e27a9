#include "screens/grading.hpp"

#include <algorithm>
#include <string>

#include "console/text.hpp"

namespace kal {

int total_score(int score, int whole_seconds_left) {
    return score + k_points_per_second_left * whole_seconds_left;
}

const Grade& grade_for(int total) {
    return *std::find_if(k_grades.begin(), k_grades.end(),
                         [total](const Grade& grade) { return total >= grade.lowest_total; });
}

int rank_in_place(const RankTable& table, int total) {
    if (total < table.back().score) {
        return 0;
    }
    const auto place = std::find_if(table.begin(), table.end(), [total](const RankEntry& entry) {
        return entry.score <= total;
    });
    return static_cast<int>(place - table.begin()) + 1;
}

int shown_seconds(int seconds) {
    return std::clamp(seconds, 0, 99);
}

int shown_total(int total) {
    return std::clamp(total, 0, 999);
}

bool set_entry_name(std::string_view typed, RankEntry& entry) {
    std::string bytes;
    if (!utf8_to_cp932(typed, bytes) || bytes.size() > k_name_max_bytes) {
        return false;
    }
    const auto end = std::copy(bytes.begin(), bytes.end(), entry.name.begin());
    *end = '\0';
    return true;
}

}  // namespace kal
