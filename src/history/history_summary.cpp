#include "history/history_summary.hpp"

#include <algorithm>
#include <cmath>

namespace kal {
namespace {

constexpr std::size_t k_date_length = 10;

std::size_t at(int index) {
    return static_cast<std::size_t>(index);
}

int grade_index(char letter) {
    const auto found = std::find_if(k_grades.begin(), k_grades.end(), [letter](const Grade& g) {
        return k_grade_letters[at(g.letter)] == letter;
    });
    return static_cast<int>(found - k_grades.begin());
}

// The reaction times of one level's questions over a run of games.
std::vector<int> level_reactions(const std::vector<GameRecord>& games, std::size_t from,
                                 std::size_t count, int level) {
    std::vector<int> reactions;
    for (std::size_t game = from; game < from + count; ++game) {
        const std::vector<int>& times = games[game].reaction_ms;
        for (std::size_t i = 0; i < times.size(); ++i) {
            if (level_of_question(static_cast<int>(i) + 1) == level) {
                reactions.push_back(times[i]);
            }
        }
    }
    return reactions;
}

std::optional<int> median_ms(const std::vector<int>& reactions) {
    if (reactions.empty()) {
        return std::nullopt;
    }
    return static_cast<int>(std::lround(median(reactions)));
}

// The earliest and the latest day, whatever the order of the lines: a history merged from two
// machines or sorted in a spreadsheet need not be in the order it was played.
void summarize_dates(const std::vector<GameRecord>& games, HistorySummary& summary) {
    summary.first_date = games.front().date.substr(0, k_date_length);
    summary.last_date = summary.first_date;
    for (const GameRecord& game : games) {
        const std::string day = game.date.substr(0, k_date_length);
        summary.first_date = std::min(summary.first_date, day);
        summary.last_date = std::max(summary.last_date, day);
    }
}

void summarize_levels(const std::vector<GameRecord>& games, HistorySummary& summary) {
    const std::size_t latest_from = games.size() - at(summary.last_games);
    for (int level = 1; level <= k_last_level; ++level) {
        LevelSummary& out = summary.levels[at(level - 1)];
        for (const GameRecord& game : games) {
            out.correct += game.correct_by_level[at(level - 1)];
        }
        out.answered = static_cast<int>(level_reactions(games, 0, games.size(), level).size());
        out.first_median_ms = median_ms(level_reactions(games, 0, at(summary.first_games), level));
        out.last_median_ms =
            median_ms(level_reactions(games, latest_from, at(summary.last_games), level));
    }
}

}  // namespace

double median(std::vector<int> values) {
    if (values.empty()) {
        return 0.0;
    }
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    if (values.size() % 2 == 1) {
        return values[middle];
    }
    return (static_cast<double>(values[middle - 1]) + static_cast<double>(values[middle])) / 2.0;
}

HistorySummary summarize_history(const History& history) {
    HistorySummary summary;
    const std::vector<GameRecord>& games = history.games;
    summary.games = static_cast<int>(games.size());
    summary.skipped_lines = history.skipped_lines;
    if (games.empty()) {
        return summary;
    }
    summarize_dates(games, summary);
    std::vector<int> totals;
    for (const GameRecord& game : games) {
        totals.push_back(game.total);
        const std::size_t grade = at(grade_index(game.grade));
        if (grade < summary.grade_counts.size()) {
            ++summary.grade_counts[grade];
        }
    }
    summary.best_total = *std::max_element(totals.begin(), totals.end());
    summary.median_total = median(totals);
    const std::size_t recent = std::min(totals.size(), k_recent_games);
    summary.recent_totals.assign(totals.end() - static_cast<std::ptrdiff_t>(recent), totals.end());
    summary.first_recent_game = static_cast<int>(totals.size() - recent) + 1;
    summary.first_games = std::min(k_trend_games, summary.games / 2);
    summary.last_games = std::min(k_trend_games, summary.games - summary.first_games);
    summarize_levels(games, summary);
    return summary;
}

}  // namespace kal
