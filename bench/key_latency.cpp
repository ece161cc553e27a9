#include "key_latency.hpp"

#include <csignal>
#include <optional>
#include <random>

#include "pty_terminal.hpp"
#include "screen_model.hpp"
#include "temp_directory.hpp"

namespace kal::bench {

using test::Chunk;
using test::now_ns;
using test::PtyTerminal;
using test::ScreenModel;
using test::TempDirectory;
namespace {

constexpr std::string_view k_lower_mark = "△";

constexpr std::int64_t k_ms = 1'000'000;
constexpr std::int64_t k_title_wait_ns = 10'000 * k_ms;
constexpr std::int64_t k_answer_row_wait_ns = 15'000 * k_ms;
// The title's start-up queries and first passes are over, and the answer row has shown whole.
constexpr std::int64_t k_settle_ns = 1500 * k_ms;
constexpr std::int64_t k_answer_settle_ns = 300 * k_ms;
// Between presses: longer than any wait of the game for a release it infers, and short enough
// for forty presses to fit in the first question's twenty seconds.
constexpr std::int64_t k_least_gap_ns = 200 * k_ms;
constexpr std::int64_t k_most_gap_ns = 450 * k_ms;
constexpr std::int64_t k_step_wait_ns = 1000 * k_ms;
constexpr double k_ns_per_ms = 1.0e6;

class LatencyRun {
public:
    LatencyRun(const RunOptions& options, const LatencyPlace& place)
        : options_(options),
          place_(place),
          directory_("kaleidron-latency"),
          term_(game_launch(options, directory_.path().string())) {}

    LatencyFigures measure(int presses);

private:
    std::optional<Chunk> take(std::int64_t deadline_ns);
    void pump_until(std::int64_t deadline_ns);
    bool wait_for(std::string_view text, int row, std::int64_t within_ns);
    bool reach_place();
    std::optional<double> press(std::string_view key);

    const RunOptions& options_;
    const LatencyPlace& place_;
    TempDirectory directory_;
    PtyTerminal term_;
    ScreenModel screen_;
    std::string written_;
    bool answered_ = false;
};

// The next output, fed to the screen; the start-up queries are answered as they come.
std::optional<Chunk> LatencyRun::take(std::int64_t deadline_ns) {
    std::optional<Chunk> chunk = term_.read_until(deadline_ns);
    if (!chunk) {
        return chunk;
    }
    screen_.feed(chunk->bytes);
    if (!answered_) {
        written_ += chunk->bytes;
        if (written_.find(k_device_attributes_query) != std::string::npos) {
            term_.send(options_.terminal_answer);
            answered_ = true;
        }
    }
    return chunk;
}

void LatencyRun::pump_until(std::int64_t deadline_ns) {
    while (!term_.closed() && now_ns() < deadline_ns) {
        take(deadline_ns);
    }
}

// Whether the text came on the row (anywhere on the screen for row 0) in time.
bool LatencyRun::wait_for(std::string_view text, int row, std::int64_t within_ns) {
    const std::int64_t deadline = now_ns() + within_ns;
    const auto shown = [&] {
        return row == 0 ? screen_.shows(text)
                        : screen_.row_text(row).find(text) != std::string::npos;
    };
    while (!shown()) {
        if (term_.closed() || now_ns() >= deadline) {
            return false;
        }
        take(deadline);
    }
    return true;
}

bool LatencyRun::reach_place() {
    if (!wait_for(k_title_marker, 0, k_title_wait_ns)) {
        return false;
    }
    pump_until(now_ns() + k_settle_ns);
    if (!place_.in_game) {
        return true;
    }
    term_.send(k_space);
    if (!wait_for(k_lower_mark, place_.mark_row, k_answer_row_wait_ns)) {
        return false;
    }
    pump_until(now_ns() + k_answer_settle_ns);
    return true;
}

// From the key's bytes written to the first output after which the mark row differs.
std::optional<double> LatencyRun::press(std::string_view key) {
    const std::string before = screen_.row_text(place_.mark_row);
    term_.send(key);
    const std::int64_t sent = now_ns();
    const std::int64_t deadline = sent + k_step_wait_ns;
    while (!term_.closed()) {
        const std::optional<Chunk> chunk = take(deadline);
        if (!chunk) {
            return std::nullopt;
        }
        if (screen_.row_text(place_.mark_row) != before) {
            return static_cast<double>(chunk->at_ns - sent) / k_ns_per_ms;
        }
    }
    return std::nullopt;
}

LatencyFigures LatencyRun::measure(int presses) {
    LatencyFigures figures{std::string(place_.name), {}, {}};
    if (!reach_place()) {
        figures.failure = std::string(place_.name) + " never showed";
        return figures;
    }
    std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<std::int64_t> gap(k_least_gap_ns, k_most_gap_ns);
    for (int i = 0; i < presses; ++i) {
        pump_until(now_ns() + gap(random));
        const std::optional<double> ms = press(i % 2 == 0 ? k_right : k_left);
        if (!ms) {
            figures.failure = "a press on " + figures.place + " showed no step";
            break;
        }
        figures.ms.push_back(*ms);
    }
    term_.finish(SIGTERM);
    return figures;
}

}  // namespace

LatencyFigures measure_key_latency(const RunOptions& options, const LatencyPlace& place,
                                   int presses) {
    LatencyRun run(options, place);
    return run.measure(presses);
}

}  // namespace kal::bench
