#include "play/rules.hpp"

#include <algorithm>

#include "play/play_state.hpp"

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

std::string bonus_label(const BonusBand& band) {
    return std::string(band.name) + " +" + std::to_string(band.seconds) + "sec";
}

std::string penalty_label() {
    return "Penalty! Time -" + std::to_string(static_cast<int>(k_penalty_seconds)) + "sec";
}

Judgement judge_right_answer(PlayState& state, float seconds_left, std::uint64_t reaction_ms) {
    const auto level = static_cast<std::size_t>(state.level);
    state.score += k_points_by_level[level];
    ++state.correct_by_level[level];
    const std::optional<std::size_t> band = bonus_band_for(reaction_ms);
    if (!band) {
        return {band, seconds_left};
    }
    const auto bonus = static_cast<float>(k_bonus_bands[*band].seconds);
    state.time_left += bonus;
    return {band, seconds_left + bonus};
}

Judgement judge_wrong_answer(PlayState& state, float seconds_left) {
    state.whole_seconds_left -= static_cast<int>(k_penalty_seconds);
    state.time_left -= k_penalty_seconds;
    return {std::nullopt, seconds_left - k_penalty_seconds};
}

int total_score(int score, int whole_seconds_left) {
    return score + k_points_per_second_left * whole_seconds_left;
}

const Grade& grade_for(int total) {
    return *std::find_if(k_grades.begin(), k_grades.end(),
                         [total](const Grade& grade) { return total >= grade.lowest_total; });
}

}  // namespace kal
