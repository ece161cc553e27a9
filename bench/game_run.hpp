#pragma once

// One scripted game on the real binary: the title is left idle, then a player that reads the
// scrolled digits off the screen answers every question, goes through the result screen and the
// ranking board and back to the title. What arrives when, and what the kernel counted for the
// game meanwhile, is recorded. Or, instead of the game, a screen of the menu left waiting for
// SPACE.

#include <sys/types.h>

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "game_side.hpp"
#include "play/question_table.hpp"
#include "process_probe.hpp"
#include "pty_terminal.hpp"
#include "sequence_audit.hpp"

namespace kal::bench {

struct TickRecord {
    std::int64_t at_ns = 0;        // arrival of the tick's first byte
    std::int64_t offset = -1;      // where its bytes begin in the output; -1 when not known
    std::int64_t frame_bytes = 0;  // as read from the terminal
    // The game's wait for a processor since the previous tick; -1 when a sample could not be
    // taken cleanly between the two.
    std::int64_t queued_ns = -1;
    SequenceCounts sequences;
    bool merged = false;  // read together with another tick: its arrival time is not its own
};

struct QuestionRecord {
    int number = 0;
    int level = 0;
    QuestionSpec table_row{};            // its row of the question table
    std::int64_t announced_ns = 0;       // the speed and digit count appear: the first count starts
    std::int64_t countdown_end_ns = 0;   // the announcement is blanked: the third count is over
    std::int64_t announced_offset = -1;  // where those two frames begin in the output
    std::int64_t countdown_end_offset = -1;
    std::int64_t announced_bytes = 0;
    std::int64_t countdown_queued_ns = -1;  // the game's wait for a processor during the count
    std::vector<TickRecord> ticks;
    ProcessSample first_tick;
    ProcessSample last_tick;
    std::set<int> scrolled;  // digits read off the scrolling row
    bool answered = false;
    bool read_cleanly = false;  // the candidate was chosen from what the screen showed
};

struct RunRecord {
    std::int64_t title_first_write_ns = -1;  // from the start, the first bytes of the title
    std::int64_t title_complete_ns = -1;     // from the start, the title as it then stays
    double title_idle_cpu = -1.0;            // processor time over wall time, idle on the title
    double waiting_cpu = -1.0;               // the same while a screen of the menu waited for SPACE
    std::vector<QuestionRecord> questions;
    std::int64_t peak_resident_kib = 0;  // VmHWM just before the end
    std::int64_t max_rss_kib = 0;        // ru_maxrss of the finished process
    int threads = 0;  // at the end: more than one when the sound output opened and mixes
    bool reached_title_again = false;
    std::vector<GameSideQuestion> game_side;  // from the trace, when the run was traced
    std::string failure;                      // empty when the script ran through
};

// What the runs look for in the game's output and on its screen, and the keys they press.
inline constexpr std::string_view k_device_attributes_query = "\x1b[c";
inline constexpr std::string_view k_title_marker = "[SPACE]";
inline constexpr std::string_view k_space = " ";
inline constexpr std::string_view k_right = "\x1b[C";
inline constexpr std::string_view k_left = "\x1b[D";

// The answer of a terminal that draws box drawing narrow and speaks no kitty keyboard
// protocol, to the start-up queries: the probe character went one cell, then its device
// attributes.
struct TerminalAnswer {
    std::string_view name;
    std::string_view bytes;
};
inline constexpr TerminalAnswer k_terminal_answers[] = {
    {"vt220", "\x1b[2;2R\x1b[?62c"},
    {"xterm", "\x1b[2;2R\x1b[?64;1;2;6;9;15;16;17;18;21;22;28c"},
    {"vte", "\x1b[2;2R\x1b[?65;1;9c"},
    {"tmux", "\x1b[2;2R\x1b[?1;2c"},
};

// A screen that shows and then waits for SPACE: reached from the title by this many presses of
// Right and SPACE, and waiting once it shows its text and has drawn nothing for a moment.
struct WaitingScreen {
    std::string_view name;
    int rights;
    std::string_view text;
};
inline constexpr WaitingScreen k_waiting_screens[] = {
    {"a tutorial page", 1, "SPACEキーで説明を進めます。"},
    {"the credits", 3, "Press SPACE KEY."},
};

struct RunOptions {
    std::string game;  // the binary
    std::string_view terminal_answer = k_terminal_answers[0].bytes;
    std::vector<std::string> environment;  // added for the game
    std::string trace_log;        // when set, the game runs under perf trace, into this file
    bool start_up_only = false;   // the run ends once the title has settled
    int stop_after_question = 0;  // when set, the run ends once this question scrolled
    // When set, the run goes from the title to this screen instead of a game, and measures it
    // waiting for idle_seconds.
    const WaitingScreen* waiting_screen = nullptr;
    int idle_seconds = 10;
    int time_limit_seconds = 20 * 60;
    bool verbose = false;
};

RunRecord play_one_game(const RunOptions& options);

// How the game is started for a run: in the directory, under perf trace when asked for.
test::LaunchSpec game_launch(const RunOptions& options, const std::string& directory);

}  // namespace kal::bench
