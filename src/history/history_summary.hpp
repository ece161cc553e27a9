#pragma once

// The numbers of the training report, worked out from the history alone: how many games, the
// best and the median total, the grades, the recent totals, and per level the accuracy and how
// quickly the player answered at first and lately.

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "history/history_file.hpp"
#include "play/rules.hpp"

namespace kal {

// The totals chart shows this many of the latest games.
inline constexpr std::size_t k_recent_games = 60;
// Reaction times compare this many first games with as many latest ones.
inline constexpr int k_trend_games = 10;

struct LevelSummary {
    int answered = 0;  // over all games
    int correct = 0;
    // Median reaction times over the first and the latest games; nothing when no question of
    // the level was answered in them.
    std::optional<int> first_median_ms;
    std::optional<int> last_median_ms;
};

struct HistorySummary {
    int games = 0;
    int skipped_lines = 0;
    std::string first_date;  // YYYY-MM-DD: the earliest day a game was played
    std::string last_date;   // and the latest, whatever the order of the lines
    int best_total = 0;
    double median_total = 0.0;
    std::array<int, k_grades.size()> grade_counts{};  // in the order of k_grades, S first
    std::vector<int> recent_totals;                   // the latest games, oldest first
    int first_recent_game = 1;                        // its number, counting games from 1
    // The games the first and the latest medians come from: ten each once there are twenty
    // games, before that half of the games each, so that the two never overlap.
    int first_games = 0;
    int last_games = 0;
    std::array<LevelSummary, k_last_level> levels{};  // levels 1..6 at 0..5
};

HistorySummary summarize_history(const History& history);

// The middle value, or the mean of the two middle ones; 0 for no values.
double median(std::vector<int> values);

}  // namespace kal
