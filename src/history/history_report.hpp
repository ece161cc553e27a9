#pragma once

// `kaleidron --stats`: the training report, printed from the history file. In Japanese like the
// game: the number of games, the best and the median total, the grades, and three charts (the
// totals of the latest games against the best, the median reaction time per level at first
// and lately, the accuracy per level). Every line fits 80 columns on any terminal. With --tsv
// the same numbers come as tab-separated values for spreadsheets.

#include <string>
#include <string_view>

#include "history/history_summary.hpp"
#include "history/terminal_chart.hpp"

namespace kal {

struct ReportOptions {
    bool tsv = false;
    bool colour = false;     // standard output is a terminal and the player allows colour
    bool shift_jis = false;  // the locale's encoding: code page 932 bytes, ASCII charts
};

// The report in UTF-8; colour adds escape sequences, nothing else does.
std::string history_report(const HistorySummary& summary, ChartGlyphs glyphs, bool colour);

// The top of the scale of the totals chart: a round number above the best total, 1, 2 or 5
// times a power of ten, close enough for the best line to stand in the top fifth of the chart.
int totals_scale_top(int best_total);

// The summary as two columns, name and value, under a header line.
std::string history_tsv(const HistorySummary& summary);

// The columns a line of the report takes: two for each character that code page 932 holds in
// two bytes, one for ASCII, half-width katakana and braille.
int report_columns(std::string_view line);

// What --stats prints for the history: the report or the summary as values, in the output's
// encoding. Without a single game, one line that says so.
std::string stats_output(const History& history, const ReportOptions& options);

}  // namespace kal
