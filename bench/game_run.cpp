#include "game_run.hpp"

#include <signal.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <optional>
#include <string_view>

#include "bot_rules.hpp"
#include "glyph_reader.hpp"
#include "pty_terminal.hpp"
#include "screen_model.hpp"
#include "temp_directory.hpp"

namespace kal::bench {

using test::Chunk;
using test::ExitReport;
using test::LaunchSpec;
using test::now_ns;
using test::PtyTerminal;
using test::ScreenModel;
using test::TempDirectory;
namespace {

constexpr std::string_view k_result_prompt = "Press SPACE KEY";
constexpr std::string_view k_name_prompt = "名前をエントリー";
constexpr std::string_view k_name_line = "BENCH\n";

constexpr std::int64_t k_ms = 1'000'000;
constexpr std::int64_t k_never = std::numeric_limits<std::int64_t>::max();
// The pieces of one write reach the terminal much closer together than this; two writes of
// consecutive ticks at least 5 ms apart.
constexpr std::int64_t k_burst_gap_ns = 300'000;
constexpr std::int64_t k_title_settle_ns = 1500 * k_ms;
// Without the kitty keyboard protocol the game takes a key as released after 120 ms without
// news of it: presses of the same key further apart than that are separate presses.
constexpr std::int64_t k_key_spacing_ns = 135 * k_ms;
constexpr std::int64_t k_first_key_ns = 20 * k_ms;
constexpr std::int64_t k_end_screen_key_ns = 700 * k_ms;
constexpr std::int64_t k_name_retry_ns = 3000 * k_ms;
// Menu keys further apart than the title's look at the keys (every 100 ms) and the release
// the game infers.
constexpr std::int64_t k_menu_key_ns = 300 * k_ms;
// A screen that has drawn nothing for this long after its text showed is waiting; one that has
// not shown its text this long after the keys never came.
constexpr std::int64_t k_screen_quiet_ns = 1000 * k_ms;
constexpr std::int64_t k_screen_arrival_ns = 5000 * k_ms;

constexpr int k_scroll_row = 7;
constexpr int k_candidate_row = 17;
constexpr int k_glyph_columns = 6;

enum class Phase {
    starting,
    title_settling,
    title_idle,
    playing,
    end_screens,
    entering_screen,
    screen_waiting,
    done
};

struct Burst {
    std::int64_t at_ns = 0;
    std::int64_t offset = 0;  // where it begins in the output
    std::string bytes;
};

struct KeyAt {
    std::int64_t at_ns;
    std::string bytes;
};

struct Fingerprint {
    std::int64_t at_ns;
    std::uint64_t digest;
};

}  // namespace

LaunchSpec game_launch(const RunOptions& options, const std::string& directory) {
    const std::string game = std::filesystem::absolute(options.game).string();
    LaunchSpec launch;
    launch.directory = directory;
    launch.environment = options.environment;
    launch.environment.emplace_back("TERM=xterm-256color");
    launch.environment.emplace_back("LC_ALL=C.UTF-8");
    if (!options.trace_log.empty()) {
        launch.argv = {"perf", "trace",
                       "-e",   "write,ppoll",
                       "-o",   std::filesystem::absolute(options.trace_log).string(),
                       "--"};
    }
    launch.argv.push_back(game);
    return launch;
}

namespace {

class ScriptedGame {
public:
    explicit ScriptedGame(const RunOptions& options)
        : options_(options),
          directory_("kaleidron-bench"),
          term_(game_launch(options, directory_.path().string())) {}
    ScriptedGame(const ScriptedGame&) = delete;
    ScriptedGame& operator=(const ScriptedGame&) = delete;

    RunRecord play();

private:
    void take_chunk(const Chunk& chunk);
    void answer_queries(std::string_view bytes);
    void finish_burst();
    void on_title_burst(const Burst& burst);
    void on_play_burst(const Burst& burst, bool tick);
    void on_end_screen_burst();
    void on_waiting_screen_burst(const Burst& burst);
    void start_question(const Burst& burst);
    void record_tick(QuestionRecord& question, const Burst& burst);
    void try_answer(QuestionRecord& question, std::int64_t at_ns);
    void run_timer();
    void settle_title();
    void leave_title();
    void enter_waiting_screen();
    void start_waiting();
    void end_waiting();
    void press_on_end_screens();
    void send_due_keys();
    void finish();
    [[nodiscard]] std::int64_t next_deadline() const;
    pid_t game_pid();
    void note(const char* format, ...) const __attribute__((format(printf, 2, 3)));

    const RunOptions& options_;
    // A folder of the game's own, removed with what the game wrote in it; never a folder that
    // was there before.
    TempDirectory directory_;
    PtyTerminal term_;
    ScreenModel screen_;
    SequenceAudit audit_;
    RunRecord record_;
    Phase phase_ = Phase::starting;
    pid_t game_pid_ = 0;

    Burst burst_;
    std::int64_t last_chunk_ns_ = 0;
    std::int64_t stream_offset_ = 0;  // bytes of output before the open burst
    std::string query_tail_;
    bool answered_terminal_ = false;

    std::int64_t timer_ns_ = k_never;
    std::vector<Fingerprint> title_history_;
    std::int64_t idle_from_ns_ = 0;
    ProcessSample idle_from_;
    std::vector<KeyAt> keys_;
    std::int64_t name_sent_ns_ = 0;

    ProcessSample previous_tick_;
    bool previous_tick_clean_ = false;
    std::int64_t announced_queued_ns_ = 0;
};

RunRecord ScriptedGame::play() {
    const std::int64_t limit =
        term_.started_ns() + std::int64_t{options_.time_limit_seconds} * 1000 * k_ms;
    while (phase_ != Phase::done) {
        if (now_ns() > limit) {
            record_.failure = "the run took longer than its time limit";
            break;
        }
        if (term_.closed()) {
            record_.failure = "the game closed its terminal";
            break;
        }
        const std::optional<Chunk> chunk = term_.read_until(std::min(next_deadline(), limit));
        if (chunk) {
            take_chunk(*chunk);
        } else if (!burst_.bytes.empty() && now_ns() >= last_chunk_ns_ + k_burst_gap_ns) {
            finish_burst();
        }
        send_due_keys();
        run_timer();
    }
    finish();
    return record_;
}

std::int64_t ScriptedGame::next_deadline() const {
    std::int64_t deadline = timer_ns_;
    if (!burst_.bytes.empty()) {
        deadline = std::min(deadline, last_chunk_ns_ + k_burst_gap_ns);
    }
    for (const KeyAt& key : keys_) {
        deadline = std::min(deadline, key.at_ns);
    }
    return deadline;
}

void ScriptedGame::take_chunk(const Chunk& chunk) {
    answer_queries(chunk.bytes);
    if (!burst_.bytes.empty() && chunk.at_ns - last_chunk_ns_ > k_burst_gap_ns) {
        finish_burst();
    }
    if (burst_.bytes.empty()) {
        burst_.at_ns = chunk.at_ns;
        burst_.offset = stream_offset_;
    }
    stream_offset_ += static_cast<std::int64_t>(chunk.bytes.size());
    burst_.bytes += chunk.bytes;
    last_chunk_ns_ = chunk.at_ns;
}

void ScriptedGame::answer_queries(std::string_view bytes) {
    if (answered_terminal_) {
        return;
    }
    query_tail_ += bytes;
    if (query_tail_.find(k_device_attributes_query) != std::string::npos) {
        term_.send(options_.terminal_answer);
        answered_terminal_ = true;
    }
    if (query_tail_.size() > k_device_attributes_query.size()) {
        query_tail_.erase(0, query_tail_.size() - k_device_attributes_query.size());
    }
}

void ScriptedGame::finish_burst() {
    const Burst burst = std::move(burst_);
    burst_ = {};
    screen_.feed(burst.bytes);
    const bool tick = phase_ == Phase::playing && is_scroll_tick(burst.bytes);
    audit_.feed(burst.bytes, tick);
    switch (phase_) {
        case Phase::starting:
        case Phase::title_settling:
            on_title_burst(burst);
            break;
        case Phase::playing:
            on_play_burst(burst, tick);
            break;
        case Phase::end_screens:
            on_end_screen_burst();
            break;
        case Phase::entering_screen:
        case Phase::screen_waiting:
            on_waiting_screen_burst(burst);
            break;
        default:
            break;
    }
}

void ScriptedGame::on_title_burst(const Burst& burst) {
    title_history_.push_back({burst.at_ns, screen_.fingerprint()});
    if (phase_ == Phase::starting && screen_.shows(k_title_marker)) {
        record_.title_first_write_ns = burst.at_ns - term_.started_ns();
        note("title drawn\n");
        phase_ = Phase::title_settling;
        timer_ns_ = burst.at_ns + k_title_settle_ns;
    }
}

void ScriptedGame::on_play_burst(const Burst& burst, bool tick) {
    if (is_announcement(burst.bytes)) {
        start_question(burst);
        return;
    }
    if (screen_.shows(k_result_prompt)) {
        note("game over after %zu questions\n", record_.questions.size());
        phase_ = Phase::end_screens;
        timer_ns_ = burst.at_ns + k_end_screen_key_ns / 2;
        return;
    }
    if (record_.questions.empty()) {
        return;
    }
    QuestionRecord& question = record_.questions.back();
    if (question.countdown_end_ns == 0) {
        question.countdown_end_ns = burst.at_ns;
        question.countdown_end_offset = burst.offset;
        question.countdown_queued_ns = sample_process(game_pid()).queued_ns - announced_queued_ns_;
    }
    if (tick) {
        record_tick(question, burst);
    } else if (!question.ticks.empty() && !question.answered) {
        try_answer(question, burst.at_ns);
    }
}

void ScriptedGame::start_question(const Burst& burst) {
    QuestionRecord question;
    question.number = static_cast<int>(record_.questions.size()) + 1;
    question.level = std::min(k_last_level, (question.number - 1) / k_questions_per_level + 1);
    question.table_row = question_row(question.number);
    question.announced_ns = burst.at_ns;
    question.announced_offset = burst.offset;
    question.announced_bytes = static_cast<std::int64_t>(burst.bytes.size());
    announced_queued_ns_ = sample_process(game_pid()).queued_ns;
    record_.questions.push_back(question);
    note("question %d announced\n", question.number);
    previous_tick_clean_ = false;
}

void ScriptedGame::record_tick(QuestionRecord& question, const Burst& burst) {
    const ProcessSample sample = sample_process(game_pid());
    const bool clean = !term_.output_waiting();
    const int ticks_in_burst = scroll_ticks_in(burst.bytes);
    TickRecord tick;
    tick.at_ns = burst.at_ns;
    tick.offset = burst.offset;
    tick.frame_bytes = static_cast<std::int64_t>(burst.bytes.size());
    tick.sequences = audit_.take_counts();
    if (clean && previous_tick_clean_ && ticks_in_burst == 1) {
        tick.queued_ns = sample.queued_ns - previous_tick_.queued_ns;
    }
    if (question.ticks.empty()) {
        question.first_tick = sample;
    }
    question.last_tick = sample;
    previous_tick_ = sample;
    previous_tick_clean_ = clean;
    for (const FoundDigit& found : read_digits(screen_, k_scroll_row)) {
        question.scrolled.insert(found.digit);
    }
    // A late read that took several ticks at once gives them no period of their own.
    tick.merged = ticks_in_burst > 1;
    for (int i = 0; i < ticks_in_burst; ++i) {
        question.ticks.push_back(tick);
        tick.offset = -1;
    }
}

void ScriptedGame::try_answer(QuestionRecord& question, std::int64_t at_ns) {
    const int left = candidate_column(question.table_row.digits);
    std::vector<int> candidates;
    for (int k = 0; k <= question.table_row.digits; ++k) {
        const int digit = read_digit(screen_, left + k_glyph_columns * k, k_candidate_row);
        if (digit < 0) {
            return;  // not all drawn yet
        }
        candidates.push_back(digit);
    }
    const std::optional<int> index = missing_candidate(candidates, question.scrolled);
    question.read_cleanly = index.has_value();
    question.answered = true;
    const int moves = index.value_or(0);
    std::int64_t at = at_ns + k_first_key_ns;
    for (int i = 0; i < moves; ++i, at += k_key_spacing_ns) {
        keys_.push_back({at, std::string(k_right)});
    }
    keys_.push_back({at, std::string(k_space)});
    note("question %2d: %3zu ticks, read %s, candidate %d\n", question.number,
         question.ticks.size(), question.read_cleanly ? "cleanly" : "NOT cleanly", moves);
    if (question.number == options_.stop_after_question) {
        phase_ = Phase::done;
    }
}

void ScriptedGame::on_end_screen_burst() {
    if (screen_.shows(k_title_marker) && !screen_.shows(k_result_prompt)) {
        record_.reached_title_again = true;
        phase_ = Phase::done;
    }
}

// Every write after the screen's text puts the start of the measurement off; a write while
// it is measured means the screen did not wait quietly.
void ScriptedGame::on_waiting_screen_burst(const Burst& burst) {
    if (phase_ == Phase::screen_waiting) {
        record_.failure = std::string(options_.waiting_screen->name) + " drew while it waited";
        phase_ = Phase::done;
    } else if (screen_.shows(options_.waiting_screen->text)) {
        timer_ns_ = burst.at_ns + k_screen_quiet_ns;
    }
}

void ScriptedGame::run_timer() {
    if (now_ns() < timer_ns_) {
        return;
    }
    timer_ns_ = k_never;
    switch (phase_) {
        case Phase::title_settling:
            settle_title();
            break;
        case Phase::title_idle:
            leave_title();
            break;
        case Phase::end_screens:
            press_on_end_screens();
            break;
        case Phase::entering_screen:
            start_waiting();
            break;
        case Phase::screen_waiting:
            end_waiting();
            break;
        default:
            break;
    }
}

// The title as it stands after a while is the complete title; it first stood so after the
// earliest write that left the screen exactly like this.
void ScriptedGame::settle_title() {
    const std::uint64_t settled = screen_.fingerprint();
    const auto first =
        std::find_if(title_history_.begin(), title_history_.end(),
                     [settled](const Fingerprint& f) { return f.digest == settled; });
    if (first != title_history_.end()) {
        record_.title_complete_ns = first->at_ns - term_.started_ns();
    }
    if (options_.start_up_only) {
        phase_ = Phase::done;
        return;
    }
    if (options_.waiting_screen != nullptr) {
        enter_waiting_screen();
        return;
    }
    idle_from_ = sample_process(game_pid());
    idle_from_ns_ = now_ns();
    phase_ = Phase::title_idle;
    timer_ns_ = idle_from_ns_ + std::int64_t{options_.idle_seconds} * 1000 * k_ms;
}

void ScriptedGame::leave_title() {
    const ProcessSample idle_to = sample_process(game_pid());
    const std::int64_t wall = now_ns() - idle_from_ns_;
    record_.title_idle_cpu =
        static_cast<double>(idle_to.cpu_ns - idle_from_.cpu_ns) / static_cast<double>(wall);
    term_.send(k_space);
    phase_ = Phase::playing;
    note("title left after %d s idle\n", options_.idle_seconds);
}

void ScriptedGame::enter_waiting_screen() {
    std::int64_t at = now_ns();
    for (int i = 0; i < options_.waiting_screen->rights; ++i, at += k_menu_key_ns) {
        keys_.push_back({at, std::string(k_right)});
    }
    keys_.push_back({at, std::string(k_space)});
    phase_ = Phase::entering_screen;
    timer_ns_ = at + k_screen_arrival_ns;
}

void ScriptedGame::start_waiting() {
    if (!screen_.shows(options_.waiting_screen->text)) {
        record_.failure = std::string(options_.waiting_screen->name) + " never showed";
        phase_ = Phase::done;
        return;
    }
    idle_from_ = sample_process(game_pid());
    idle_from_ns_ = now_ns();
    phase_ = Phase::screen_waiting;
    timer_ns_ = idle_from_ns_ + std::int64_t{options_.idle_seconds} * 1000 * k_ms;
    note("%s waits\n", std::string(options_.waiting_screen->name).c_str());
}

void ScriptedGame::end_waiting() {
    const ProcessSample idle_to = sample_process(game_pid());
    const std::int64_t wall = now_ns() - idle_from_ns_;
    record_.waiting_cpu =
        static_cast<double>(idle_to.cpu_ns - idle_from_.cpu_ns) / static_cast<double>(wall);
    phase_ = Phase::done;
}

// SPACE through the tally, the roulette, the regrets and the ranking board; a name when the
// game asks for one.
void ScriptedGame::press_on_end_screens() {
    const std::int64_t now = now_ns();
    if (screen_.shows(k_name_prompt) && now - name_sent_ns_ > k_name_retry_ns) {
        term_.send(k_name_line);
        name_sent_ns_ = now;
    } else if (!screen_.shows(k_name_prompt)) {
        term_.send(k_space);
    }
    timer_ns_ = now + k_end_screen_key_ns;
}

void ScriptedGame::send_due_keys() {
    const std::int64_t now = now_ns();
    const auto due = std::stable_partition(keys_.begin(), keys_.end(),
                                           [now](const KeyAt& key) { return key.at_ns > now; });
    for (auto key = due; key != keys_.end(); ++key) {
        term_.send(key->bytes);
    }
    keys_.erase(due, keys_.end());
}

void ScriptedGame::finish() {
    const pid_t game = game_pid();
    record_.peak_resident_kib = peak_resident_kib(game);
    record_.threads = thread_count(game);
    if (game != term_.pid()) {
        kill(game, SIGTERM);
        term_.finish(0);
        return;
    }
    const ExitReport report = term_.finish(SIGTERM);
    record_.max_rss_kib = report.usage.ru_maxrss;
}

pid_t ScriptedGame::game_pid() {
    if (game_pid_ == 0) {
        game_pid_ = options_.trace_log.empty() ? term_.pid() : child_of(term_.pid());
    }
    return game_pid_;
}

void ScriptedGame::note(const char* format, ...) const {
    if (!options_.verbose) {
        return;
    }
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
}

}  // namespace

RunRecord play_one_game(const RunOptions& options) {
    RunRecord record;
    {
        ScriptedGame game(options);
        record = game.play();
    }
    if (!options.trace_log.empty()) {
        record.game_side = game_side_view(record, read_trace_file(options.trace_log));
        std::filesystem::remove(options.trace_log);
    }
    return record;
}

}  // namespace kal::bench
