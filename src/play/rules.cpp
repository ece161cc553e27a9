#include "play/rules.hpp"

#include <algorithm>

namespace kal {

std::optional<std::size_t> bonus_band_for(std::uint64_t reaction_ms) {
    const auto seconds = static_cast<float>(static_cast<double>(reaction_ms) / 1000.0);
    const auto band = std::find_if(
        k_bonus_bands.begin(), k_bonus_bands.end(),
        [seconds](const BonusBand& b) { return static_cast<double>(seconds) < b.below_seconds; });
    if (band == k_bonus_bands.end()) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(band - k_bonus_bands.begin());
}

int total_score(int score, int whole_seconds_left) {
    return score + k_points_per_second_left * whole_seconds_left;
}

const Grade& grade_for(int total) {
    return *std::find_if(k_grades.begin(), k_grades.end(),
                         [total](const Grade& grade) { return total >= grade.lowest_total; });
}

}  // namespace kal
