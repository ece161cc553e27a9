#include "history/history_file.hpp"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <utility>

#include "console/console.hpp"
#include "platform/line_file.hpp"
#include "play/play_state.hpp"
#include "play/rules.hpp"
#include "shell/unsaved_files.hpp"

namespace kal {
namespace {

// The fields of a line, in the order of the header: one for each level's correct answers.
enum Field : std::size_t {
    k_date_field,
    k_total_field,
    k_grade_field,
    k_first_level_field,
    k_seconds_field = k_first_level_field + k_last_level,
    k_all_clear_field,
    k_reactions_field,
    k_field_count,
};

// Up to 99,999,999: more than any game gets, so a longer number is damage, not a game.
constexpr std::size_t k_most_digits = 8;

// "YYYY-MM-DD" and what may follow it in a date field: the time and the offset.
constexpr std::string_view k_date_pattern = "dddd-dd-dd";
constexpr std::string_view k_time_characters = "0123456789T:+-Z.";

// The byte order mark a spreadsheet may put before the header when it saves the file as UTF-8.
constexpr std::string_view k_utf8_byte_order_mark = "\xEF\xBB\xBF";

constexpr int k_minutes_per_hour = 60;
constexpr int k_minutes_per_day = 24 * k_minutes_per_hour;

std::string history_file = std::string(k_history_file_name);

std::size_t at(int index) {
    return static_cast<std::size_t>(index);
}

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    for (;;) {
        const std::size_t end = text.find(separator);
        parts.push_back(text.substr(0, end));
        if (end == std::string_view::npos) {
            return parts;
        }
        text.remove_prefix(end + 1);
    }
}

// A whole field of decimal digits, no sign.
std::optional<int> parse_count(std::string_view field) {
    if (field.empty() || field.size() > k_most_digits ||
        !std::all_of(field.begin(), field.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    int value = 0;
    std::from_chars(field.data(), field.data() + field.size(), value);
    return value;
}

bool is_date(std::string_view field) {
    if (field.size() < k_date_pattern.size()) {
        return false;
    }
    for (std::size_t i = 0; i < k_date_pattern.size(); ++i) {
        const bool digit = field[i] >= '0' && field[i] <= '9';
        if (k_date_pattern[i] == 'd' ? !digit : field[i] != k_date_pattern[i]) {
            return false;
        }
    }
    return field.substr(k_date_pattern.size()).find_first_not_of(k_time_characters) ==
           std::string_view::npos;
}

std::optional<std::vector<int>> parse_reactions(std::string_view field) {
    std::vector<int> reactions;
    if (field.empty()) {
        return reactions;
    }
    for (const std::string_view part : split(field, ',')) {
        const std::optional<int> ms = parse_count(part);
        if (!ms || reactions.size() >= at(k_question_count)) {
            return std::nullopt;
        }
        reactions.push_back(*ms);
    }
    return reactions;
}

int questions_in_level(int level) {
    int count = 0;
    for (int question = 1; question <= k_question_count; ++question) {
        count += level_of_question(question) == level ? 1 : 0;
    }
    return count;
}

// The fields must agree with one another as they do in every game: no level holds more correct
// answers than it has questions or than were answered in it, a cleared game answered all 40,
// and the total and the grade follow from the answers and the seconds left.
bool is_consistent(const GameRecord& record) {
    std::array<int, k_last_level + 1> answered{};
    for (std::size_t i = 0; i < record.reaction_ms.size(); ++i) {
        ++answered[at(level_of_question(static_cast<int>(i) + 1))];
    }
    int points = 0;
    for (int level = 1; level <= k_last_level; ++level) {
        const int correct = record.correct_by_level[at(level - 1)];
        if (correct > questions_in_level(level) || correct > answered[at(level)]) {
            return false;
        }
        points += correct * k_points_by_level[at(level)];
    }
    const bool all_answered = record.reaction_ms.size() == at(k_question_count);
    return (!record.all_clear || all_answered) &&
           record.total == total_score(points, record.seconds_left) &&
           record.grade == k_grade_letters[at(grade_for(record.total).letter)];
}

std::optional<GameRecord> parse_fields(const std::vector<std::string_view>& fields) {
    GameRecord record;
    const std::optional<int> total = parse_count(fields[k_total_field]);
    const std::optional<int> seconds = parse_count(fields[k_seconds_field]);
    std::optional<std::vector<int>> reactions = parse_reactions(fields[k_reactions_field]);
    const std::string_view grade = fields[k_grade_field];
    const std::string_view all_clear = fields[k_all_clear_field];
    if (!is_date(fields[k_date_field]) || !total || !seconds || !reactions || grade.size() != 1 ||
        (all_clear != "0" && all_clear != "1")) {
        return std::nullopt;
    }
    for (std::size_t level = 0; level < record.correct_by_level.size(); ++level) {
        const std::optional<int> correct = parse_count(fields[k_first_level_field + level]);
        if (!correct) {
            return std::nullopt;
        }
        record.correct_by_level[level] = *correct;
    }
    record.date = fields[k_date_field];
    record.total = *total;
    record.grade = grade.front();
    record.seconds_left = *seconds;
    record.all_clear = all_clear == "1";
    record.reaction_ms = std::move(*reactions);
    return record;
}

// Minutes the local time is ahead of UTC at that moment, from the two calendar readings.
int utc_offset_minutes(const std::tm& local, const std::tm& utc) {
    int days = local.tm_yday - utc.tm_yday;
    if (local.tm_year != utc.tm_year) {
        days = local.tm_year > utc.tm_year ? 1 : -1;
    }
    return days * k_minutes_per_day + (local.tm_hour - utc.tm_hour) * k_minutes_per_hour +
           (local.tm_min - utc.tm_min);
}

}  // namespace

GameRecord finished_game(const PlayState& state, std::string date) {
    GameRecord record;
    record.date = std::move(date);
    record.total = total_score(state.score, state.whole_seconds_left);
    record.grade = k_grade_letters[at(grade_for(record.total).letter)];
    std::copy(state.correct_by_level.begin() + 1, state.correct_by_level.end(),
              record.correct_by_level.begin());
    record.seconds_left = state.whole_seconds_left;
    // The all-clear counts one question past the last.
    record.all_clear = state.question_no > k_question_count;
    const auto answered =
        state.reaction_ms.begin() + std::clamp(state.answered, 0, k_question_count);
    record.reaction_ms.assign(state.reaction_ms.begin(), answered);
    return record;
}

std::string local_date_time(std::time_t when) {
    // The calendar functions hand out shared buffers; copy each before the next call.
    const std::tm* local_reading = std::localtime(&when);
    if (local_reading == nullptr) {
        return "1970-01-01T00:00:00+00:00";
    }
    const std::tm local = *local_reading;
    const std::tm* utc_reading = std::gmtime(&when);
    const int offset = utc_reading != nullptr ? utc_offset_minutes(local, *utc_reading) : 0;
    const int offset_size = offset < 0 ? -offset : offset;
    std::array<char, 40> text{};
    const int length = std::snprintf(
        text.data(), text.size(), "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", local.tm_year + 1900,
        local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
        offset < 0 ? '-' : '+', offset_size / k_minutes_per_hour, offset_size % k_minutes_per_hour);
    return {text.data(), static_cast<std::size_t>(std::max(length, 0))};
}

std::string history_line(const GameRecord& record) {
    std::string line = record.date;
    line += '\t' + std::to_string(record.total);
    line += '\t';
    line += record.grade;
    for (const int correct : record.correct_by_level) {
        line += '\t' + std::to_string(correct);
    }
    line += '\t' + std::to_string(record.seconds_left);
    line += record.all_clear ? "\t1\t" : "\t0\t";
    for (std::size_t i = 0; i < record.reaction_ms.size(); ++i) {
        line += (i == 0 ? "" : ",") + std::to_string(record.reaction_ms[i]);
    }
    line += '\n';
    return line;
}

std::optional<GameRecord> parse_history_line(std::string_view line) {
    const std::vector<std::string_view> fields = split(line, '\t');
    if (fields.size() != k_field_count) {
        return std::nullopt;
    }
    std::optional<GameRecord> record = parse_fields(fields);
    if (!record || !is_consistent(*record)) {
        return std::nullopt;
    }
    return record;
}

bool is_history_header(std::string_view line) {
    return line.starts_with("date\t");
}

History parse_history(std::string_view text) {
    History history;
    if (text.starts_with(k_utf8_byte_order_mark)) {
        text.remove_prefix(k_utf8_byte_order_mark.size());
    }
    std::vector<std::string_view> lines = split(text, '\n');
    // What follows the last line end is a line the writer never finished.
    if (!lines.back().empty()) {
        ++history.skipped_lines;
    }
    lines.pop_back();
    for (std::string_view line : lines) {
        // A line end from a spreadsheet or an editor elsewhere.
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        if (line.empty() || is_history_header(line)) {
            continue;
        }
        if (std::optional<GameRecord> record = parse_history_line(line)) {
            history.games.push_back(std::move(*record));
        } else {
            ++history.skipped_lines;
        }
    }
    return history;
}

std::string history_path_beside(const std::string& ranking_file) {
    // Through UTF-8 on both sides: a Windows path made from plain chars would read them in the
    // system's ANSI code page.
    const std::u8string ranking(ranking_file.begin(), ranking_file.end());
    const std::u8string beside =
        (std::filesystem::path(ranking).parent_path() / k_history_file_name).u8string();
    return {beside.begin(), beside.end()};
}

void set_history_path(std::string path) {
    history_file = std::move(path);
}

const std::string& history_path() {
    return history_file;
}

void record_finished_game() {
    const GameRecord record = finished_game(play, local_date_time(console.calendar_time()));
    note_file_written(GameFile::history, history_file,
                      append_line(history_file, k_history_header, history_line(record)));
}

}  // namespace kal
