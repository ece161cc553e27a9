#pragma once

// The training history: every finished game of normal mode adds one line to "history.tsv" in
// the folder of the ranking file. The file is tab-separated text with a header line, so that it
// opens in any spreadsheet:
//
//   date  total  grade  level1 .. level6  seconds_left  all_clear  reaction_ms
//
// date is the local date and time with its offset from UTC (2025-03-14T21:05:09+09:00);
// level1 to level6 are the correct answers of each level; all_clear is 1 when the game went
// through all 40 questions, 0 when the clock ran out; reaction_ms lists the milliseconds from
// the candidates' appearance to each confirmation, right or wrong, in the order of the
// questions, separated by commas (empty when nothing was answered).
//
// The file is only ever appended to, one whole line in one write. Lines that do not read as a
// game (damaged, cut short, edited by hand) are skipped and counted, never fatal.

#include <array>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "play/question_table.hpp"

namespace kal {

struct PlayState;

inline constexpr std::string_view k_history_header =
    "date\ttotal\tgrade\tlevel1\tlevel2\tlevel3\tlevel4\tlevel5\tlevel6\tseconds_left\tall_clear\t"
    "reaction_ms\n";

inline constexpr std::string_view k_history_file_name = "history.tsv";

// One finished game as the history keeps it.
struct GameRecord {
    std::string date;
    int total = 0;
    char grade = 'G';
    std::array<int, k_last_level> correct_by_level{};  // levels 1..6 at 0..5
    int seconds_left = 0;
    bool all_clear = false;
    std::vector<int> reaction_ms;  // one per answered question, in order

    bool operator==(const GameRecord&) const = default;
};

// The record of the game that the play state holds once the game has ended, dated date.
GameRecord finished_game(const PlayState& state, std::string date);

// The calendar time as the local date and time in ISO 8601, with the offset from UTC.
std::string local_date_time(std::time_t when);

// The record as one line of the file, line end included.
std::string history_line(const GameRecord& record);

// The game a line holds (without its line end), or nothing when the line does not read as one
// game the game could have written: a field missing or too many, a number out of its range, a
// grade or a total that does not follow from the other fields.
std::optional<GameRecord> parse_history_line(std::string_view line);

// Whether the line is a header line: the first of the file, or one more where two games created
// the file at the same moment.
bool is_history_header(std::string_view line);

struct History {
    std::vector<GameRecord> games;  // oldest first
    int skipped_lines = 0;          // lines that were neither a game nor a header nor blank
};

// The games of the whole file. A last line without its line end was cut short while it was
// written and is skipped.
History parse_history(std::string_view text);

// Where the history lives: beside the ranking file.
std::string history_path_beside(const std::string& ranking_file);

// The history file of this run; "history.tsv" in the working directory unless changed.
void set_history_path(std::string path);
const std::string& history_path();

// Appends the game that has just ended to the history file, dated now. A history that cannot
// be written is left alone and the game goes on; the player is told when the game ends.
void record_finished_game();

}  // namespace kal
