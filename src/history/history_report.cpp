#include "history/history_report.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <vector>

#include "console/palette.hpp"
#include "console/text.hpp"

namespace kal {
namespace {

// The totals chart: rows of four dots each, on a scale from 0 to a round number above the best
// total. Its steps are 1, 2 or 5 times a power of ten, at least 10 and at most a quarter of
// the best total, so that the best line stands in the top fifth of the chart.
constexpr int k_total_rows = 8;
constexpr std::array<std::int64_t, 3> k_scale_step_mantissas{1, 2, 5};
constexpr std::int64_t k_smallest_scale_step = 10;
constexpr std::int64_t k_steps_below_best = 4;
constexpr int k_axis_label_columns = 5;

// The bars of the per-level charts, after a label column of "レベル1" and two blanks.
constexpr int k_level_bar_cells = 40;
constexpr int k_level_label_columns = 9;
constexpr int k_value_columns = 7;

constexpr int k_percent = 100;

constexpr std::string_view k_nothing = "-";
constexpr std::string_view k_no_games =
    "まだ記録がありません。ノーマルモードを遊ぶと記録されます。";
constexpr std::string_view k_no_readable_games = "読める記録がありません";

// What is coloured, and how: plain foreground colours and bold, which every colour terminal
// has; the background stays the terminal's own.
enum class Tint : std::uint8_t {
    heading,
    total_bar,
    best,
    earlier,
    latest,
    faster,
    slower,
    accuracy
};

// The headings are bold; everything else tinted has a colour of the palette.
struct TintStyle {
    bool bold;
    Colour colour;
};

constexpr std::array<TintStyle, 8> k_tint_styles{{
    {true, k_keep},           // heading
    {false, k_cyan},          // total_bar
    {false, k_yellow},        // best
    {false, k_dark_grey},     // earlier
    {false, k_bright_green},  // latest
    {false, k_green},         // faster
    {false, k_red},           // slower
    {false, k_magenta},       // accuracy
}};
constexpr std::string_view k_reset = "\x1b[0m";

constexpr char32_t k_braille_first = U'\u2800';
constexpr char32_t k_braille_last = U'\u28FF';

std::size_t at(int index) {
    return static_cast<std::size_t>(index);
}

std::string number(int value) {
    return std::to_string(value);
}

// A median of totals is whole or half way between two; the half is shown.
std::string median_text(double value) {
    std::array<char, 32> text{};
    const bool whole = value == std::floor(value);
    const int length = std::snprintf(text.data(), text.size(), whole ? "%.0f" : "%.1f", value);
    return {text.data(), static_cast<std::size_t>(std::max(length, 0))};
}

std::string padded_left(std::string_view text, int columns) {
    const int missing = std::max(0, columns - report_columns(text));
    return std::string(at(missing), ' ') + std::string(text);
}

std::string padded_right(std::string_view text, int columns) {
    const int missing = std::max(0, columns - report_columns(text));
    return std::string(text) + std::string(at(missing), ' ');
}

std::string level_label(int level) {
    return padded_right("レベル" + number(level), k_level_label_columns);
}

std::string tint_sequence(Tint tint) {
    const TintStyle& style = k_tint_styles[static_cast<std::size_t>(tint)];
    const int code = style.bold ? 1 : ansi_foreground_code(style.colour);
    return "\x1b[" + std::to_string(code) + "m";
}

// The report as it is written: text, and colour only when asked for.
class ReportWriter {
public:
    explicit ReportWriter(bool colour) : colour_(colour) {}

    void text(std::string_view text) { out_ += text; }

    void tinted(Tint tint, std::string_view text) {
        if (!colour_ || text.empty()) {
            out_ += text;
            return;
        }
        out_ += tint_sequence(tint);
        out_ += text;
        out_ += k_reset;
    }

    // Chart cells, each run of the same ink in one colour.
    void cells(const ChartRow& row, Tint bar, Tint line) {
        std::size_t i = 0;
        while (i < row.size()) {
            const Ink ink = row[i].ink;
            std::string run;
            for (; i < row.size() && row[i].ink == ink; ++i) {
                run += row[i].glyph;
            }
            if (ink == Ink::none) {
                text(run);
            } else {
                tinted(ink == Ink::bar ? bar : line, run);
            }
        }
    }

    void end_line() { out_ += '\n'; }

    std::string take() { return std::move(out_); }

private:
    bool colour_;
    std::string out_;
};

void write_overview(const HistorySummary& summary, ReportWriter& out) {
    out.tinted(Tint::heading, "KALEIDRON 訓練の記録");
    out.text("  " + summary.first_date + " - " + summary.last_date);
    out.end_line();
    out.text("ゲーム数 " + number(summary.games) + "   最高 ");
    out.tinted(Tint::best, number(summary.best_total) + "点");
    out.text("   中央値 " + median_text(summary.median_total) + "点");
    out.end_line();
    out.text("評価 ");
    for (std::size_t i = 0; i < k_grades.size(); ++i) {
        out.text(std::string(" ") + k_grade_letters[at(k_grades[i].letter)] + ":" +
                 number(summary.grade_counts[i]));
    }
    out.end_line();
    if (summary.skipped_lines > 0) {
        out.text("読めない行 " + number(summary.skipped_lines) + " (飛ばしました)");
        out.end_line();
    }
}

// The axis is labelled with the top of the scale, the best total on the row of its line, and 0.
void write_totals_chart(const HistorySummary& summary, ChartGlyphs glyphs, ReportWriter& out) {
    const std::vector<int>& totals = summary.recent_totals;
    const int last_game = summary.first_recent_game + static_cast<int>(totals.size()) - 1;
    out.end_line();
    out.tinted(Tint::heading, "合計得点");
    out.text("  ゲーム " + number(summary.first_recent_game) + "-" + number(last_game) +
             " (右が最新)  ");
    out.tinted(Tint::best, glyphs == ChartGlyphs::ascii ? "---" : "\u2809\u2809\u2809");
    out.text(" 最高点");
    out.end_line();

    const int top = totals_scale_top(summary.best_total);
    const int dots = k_total_rows * k_dots_per_row;
    const int best_dots = bar_heights({summary.best_total}, top, dots).front();
    const int best_row = best_dots > 0 ? k_total_rows - 1 - (best_dots - 1) / k_dots_per_row : -1;
    const int label_columns = std::max(k_axis_label_columns, static_cast<int>(number(top).size()));
    const std::vector<ChartRow> rows =
        vertical_bars(bar_heights(totals, top, dots), k_total_rows, best_dots, glyphs);
    for (int row = 0; row < k_total_rows; ++row) {
        if (row == best_row) {
            out.tinted(Tint::best, padded_left(number(summary.best_total), label_columns));
        } else {
            out.text(padded_left(row == 0 ? number(top) : "", label_columns));
        }
        out.text(" |");
        out.cells(rows[at(row)], Tint::total_bar, Tint::best);
        out.end_line();
    }
    out.text(padded_left("0", label_columns) + " +" + std::string(totals.size(), '-'));
    out.end_line();
}

// One bar of a per-level chart with its value after it; a value of nothing leaves the bar
// empty and shows "-".
void write_level_bar(const std::optional<int>& value, int scale, std::string_view unit, Tint tint,
                     ChartGlyphs glyphs, ReportWriter& out) {
    const int halves =
        value ? bar_heights({*value}, scale, k_level_bar_cells * k_halves_per_cell).front() : 0;
    out.cells(horizontal_bar(halves, k_level_bar_cells, glyphs), tint, tint);
    out.text(" " + padded_left(value ? number(*value) + std::string(unit) : std::string(k_nothing),
                               k_value_columns));
}

// The change from the first median to the latest, in percent of the first: below zero the
// player has got faster.
void write_change(const LevelSummary& level, ReportWriter& out) {
    if (!level.first_median_ms || !level.last_median_ms || *level.first_median_ms == 0) {
        return;
    }
    const double first = *level.first_median_ms;
    const auto percent =
        static_cast<int>(std::lround((*level.last_median_ms - first) * 100.0 / first));
    out.text("  ");
    if (percent == 0) {
        out.text("0%");
        return;
    }
    out.tinted(percent < 0 ? Tint::faster : Tint::slower,
               (percent > 0 ? "+" : "") + number(percent) + "%");
}

void write_reaction_chart(const HistorySummary& summary, ChartGlyphs glyphs, ReportWriter& out) {
    const bool compared = summary.first_games > 0;
    out.end_line();
    out.tinted(Tint::heading, "反応時間の中央値");
    out.text(compared ? "  最初の" + number(summary.first_games) + "ゲームと直近の" +
                            number(summary.last_games) + "ゲーム"
                      : "  直近の" + number(summary.last_games) + "ゲーム");
    out.end_line();
    int scale = 1;
    for (const LevelSummary& level : summary.levels) {
        scale =
            std::max({scale, level.first_median_ms.value_or(0), level.last_median_ms.value_or(0)});
    }
    for (int level = 1; level <= k_last_level; ++level) {
        const LevelSummary& times = summary.levels[at(level - 1)];
        if (compared) {
            out.text(level_label(level) + "最初 ");
            write_level_bar(times.first_median_ms, scale, "ms", Tint::earlier, glyphs, out);
            out.end_line();
        }
        out.text(compared ? std::string(at(k_level_label_columns), ' ') : level_label(level));
        out.text("直近 ");
        write_level_bar(times.last_median_ms, scale, "ms", Tint::latest, glyphs, out);
        write_change(times, out);
        out.end_line();
    }
}

// The share of right answers in parts of whole (100 for percent, 1000 for tenths of one),
// rounded down in the report and in its numbers alike, so that the full mark means not one
// wrong answer; nothing when none was answered.
std::optional<int> accuracy_in(const LevelSummary& level, int whole) {
    if (level.answered == 0) {
        return std::nullopt;
    }
    return static_cast<int>(std::int64_t{level.correct} * whole / level.answered);
}

void write_accuracy_chart(const HistorySummary& summary, ChartGlyphs glyphs, ReportWriter& out) {
    out.end_line();
    out.tinted(Tint::heading, "正答率");
    out.text("  全" + number(summary.games) + "ゲーム");
    out.end_line();
    for (int level = 1; level <= k_last_level; ++level) {
        const LevelSummary& answers = summary.levels[at(level - 1)];
        out.text(level_label(level));
        const std::optional<int> percent = accuracy_in(answers, k_percent);
        write_level_bar(percent, k_percent, "%", Tint::accuracy, glyphs, out);
        if (percent) {
            out.text("  " + number(answers.correct) + "/" + number(answers.answered));
        }
        out.end_line();
    }
}

void add_value(std::string& tsv, std::string_view name, std::string_view value) {
    tsv += name;
    tsv += '\t';
    tsv += value;
    tsv += '\n';
}

std::string optional_number(std::optional<int> value) {
    return value ? number(*value) : std::string();
}

// The percent to one decimal, rounded down as in the report.
std::string accuracy_percent(const LevelSummary& level) {
    const std::optional<int> tenths = accuracy_in(level, k_percent * 10);
    if (!tenths) {
        return {};
    }
    return number(*tenths / 10) + "." + number(*tenths % 10);
}

// Code page 932 for a Shift-JIS terminal; a character it cannot hold becomes "?".
std::string in_cp932(std::string_view utf8) {
    std::string out;
    if (utf8_to_cp932(utf8, out)) {
        return out;
    }
    out.clear();
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const std::size_t start = pos;
        next_code_point(utf8, pos);
        std::string bytes;
        out += utf8_to_cp932(utf8.substr(start, pos - start), bytes) ? bytes : "?";
    }
    return out;
}

}  // namespace

int totals_scale_top(int best_total) {
    std::int64_t step = k_smallest_scale_step;
    for (std::int64_t power = k_smallest_scale_step; power <= best_total; power *= 10) {
        for (const std::int64_t mantissa : k_scale_step_mantissas) {
            if (mantissa * power * k_steps_below_best <= best_total) {
                step = mantissa * power;
            }
        }
    }
    return static_cast<int>((best_total / step + 1) * step);
}

int report_columns(std::string_view line) {
    int columns = 0;
    std::size_t pos = 0;
    while (pos < line.size()) {
        const char32_t ch = next_code_point(line, pos);
        if (ch == U'\x1b') {
            // An escape sequence of the colours takes no column: skip to its final letter.
            pos = line.find('m', pos);
            pos = pos == std::string_view::npos ? line.size() : pos + 1;
            continue;
        }
        const bool braille = ch >= k_braille_first && ch <= k_braille_last;
        columns += braille ? 1 : cp932_width(ch);
    }
    return columns;
}

std::string history_report(const HistorySummary& summary, ChartGlyphs glyphs, bool colour) {
    ReportWriter out(colour);
    if (summary.games == 0) {
        out.text(summary.skipped_lines == 0 ? std::string(k_no_games)
                                            : std::string(k_no_readable_games) + " (読めない行 " +
                                                  number(summary.skipped_lines) + ")");
        out.end_line();
        return out.take();
    }
    write_overview(summary, out);
    write_totals_chart(summary, glyphs, out);
    write_reaction_chart(summary, glyphs, out);
    write_accuracy_chart(summary, glyphs, out);
    return out.take();
}

std::string history_tsv(const HistorySummary& summary) {
    std::string tsv;
    add_value(tsv, "name", "value");
    add_value(tsv, "games", number(summary.games));
    add_value(tsv, "skipped_lines", number(summary.skipped_lines));
    if (summary.games == 0) {
        return tsv;
    }
    add_value(tsv, "first_date", summary.first_date);
    add_value(tsv, "last_date", summary.last_date);
    add_value(tsv, "best_total", number(summary.best_total));
    add_value(tsv, "median_total", median_text(summary.median_total));
    for (std::size_t i = 0; i < k_grades.size(); ++i) {
        add_value(tsv, std::string("grade_") + k_grade_letters[at(k_grades[i].letter)],
                  number(summary.grade_counts[i]));
    }
    add_value(tsv, "first_games", number(summary.first_games));
    add_value(tsv, "last_games", number(summary.last_games));
    for (int level = 1; level <= k_last_level; ++level) {
        const LevelSummary& numbers = summary.levels[at(level - 1)];
        const std::string prefix = "level" + number(level) + "_";
        add_value(tsv, prefix + "answered", number(numbers.answered));
        add_value(tsv, prefix + "correct", number(numbers.correct));
        add_value(tsv, prefix + "accuracy_percent", accuracy_percent(numbers));
        add_value(tsv, prefix + "median_reaction_first_ms",
                  optional_number(numbers.first_median_ms));
        add_value(tsv, prefix + "median_reaction_last_ms", optional_number(numbers.last_median_ms));
    }
    return tsv;
}

std::string stats_output(const History& history, const ReportOptions& options) {
    const HistorySummary summary = summarize_history(history);
    if (options.tsv) {
        return history_tsv(summary);
    }
    const ChartGlyphs glyphs = options.shift_jis ? ChartGlyphs::ascii : ChartGlyphs::braille;
    const std::string report = history_report(summary, glyphs, options.colour);
    return options.shift_jis ? in_cp932(report) : report;
}

}  // namespace kal
