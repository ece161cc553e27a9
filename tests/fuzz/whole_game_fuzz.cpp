// Whole games on the simulated terminal, from the title back to the title: keys in every form
// the terminals send them (legacy bytes, the kitty protocol, garbage, floods) at random
// moments, resizes, random name lines and the end of the input, over a random Rank.dat that
// may not take a save. Whatever comes, nothing is drawn outside the 80 x 25 screen (only the
// notice of a terminal too small for it is centred in the terminal's own size) and the
// screen never scrolls, no byte of a name or a key reaches the terminal unfiltered, the game
// comes back to the title or ends by itself, Rank.dat is the old file or the table the game
// holds, and a score entered while saves fail is still there when the board shows.
//
// After the scripted input a closing player takes over, so that every game ends: a terminal
// large enough for the game, SPACE every so often, and a name whenever the game asks for one
// (unless the input has ended). SPACE
// seldom lets the clock run out soon; SPACE often answers at once and earns bonus seconds.

#include <fuzzer/FuzzedDataProvider.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vterm.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "console/console.hpp"
#include "game/program.hpp"
#include "rank_files.hpp"
#include "screens/ranking_board.hpp"
#include "screens/ranking_file.hpp"
#include "shell/title_screen.hpp"
#include "sim_platform.hpp"
#include "sound/embedded_sounds.hpp"
#include "temp_directory.hpp"
#include "terminal_output.hpp"
#include "text_files.hpp"

namespace {

using kal::Screen;
using kal::test::SimPlatform;

constexpr std::uint64_t k_closing_taps_ms[] = {6000, 1500, 300};
constexpr std::uint64_t k_longest_run_ms = 60ULL * 60 * 1000;
constexpr rlim_t k_full_disk_bytes = 100;

void require(bool condition, const std::string& why) {
    if (!condition) {
        std::fprintf(stderr, "%s\n", why.c_str());
        std::abort();
    }
}

// A silent sound of a few samples under every name the game loads: no sound is rendered.
void write_short_sounds() {
    constexpr std::uint8_t image[] = {
        'R', 'I', 'F', 'F', 40,  0,   0,   0,   'W',  'A',  'V', 'E', 'f',  'm',  't',  ' ',
        16,  0,   0,   0,   1,   0,   1,   0,   0x40, 0x1f, 0,   0,   0x40, 0x1f, 0,    0,
        1,   0,   8,   0,   'd', 'a', 't', 'a', 4,    0,    0,   0,   0x80, 0x80, 0x80, 0x80};
    for (const std::string_view name : kal::embedded_sound_names()) {
        std::ofstream(std::string(name), std::ios::binary)
            .write(reinterpret_cast<const char*>(image), sizeof(image));
    }
}

// A working directory of its own, in memory where there is one. It goes when the fuzzer exits.
void enter_scratch_directory() {
    static const kal::test::TempDirectory scratch(
        "kaleidron-game-fuzz",
        std::filesystem::exists("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path());
    static const bool entered = [] {
        std::filesystem::current_path(scratch.path());
        write_short_sounds();
        return true;
    }();
    require(entered, "no scratch directory");
}

enum class RankFile : std::uint8_t { missing, random_bytes, directory, read_only };
enum class SaveFailure : std::uint8_t { none, full_disk };

// The ranking as the run finds it. Returns the bytes of the file, empty for no file.
std::string place_ranking(RankFile kind, FuzzedDataProvider& data) {
    std::filesystem::remove_all("Rank.dat");
    std::string bytes;
    switch (kind) {
        case RankFile::missing:
            break;
        case RankFile::directory:
            std::filesystem::create_directory("Rank.dat");
            break;
        case RankFile::random_bytes:
        case RankFile::read_only:
            bytes = data.ConsumeRandomLengthString(400);
            std::ofstream("Rank.dat", std::ios::binary) << bytes;
            ::chmod("Rank.dat", kind == RankFile::read_only ? 0444 : 0644);
            break;
    }
    return bytes;
}

const char* const k_legacy_keys[] = {" ", "\x1b[C", "\x1b[D", "\x1bOC", "\x1bOD"};
const char* const k_kitty_keys[] = {"\x1b[32u",     "\x1b[32;1:2u", "\x1b[32;1:3u", "\x1b[C",
                                    "\x1b[1;1:2C",  "\x1b[1;1:3C",  "\x1b[D",       "\x1b[1;1:3D",
                                    "\x1b[1;65:1C", "\x1b[99;5u",   "\x1b[?1u",     "\x1b[2;3R"};

constexpr int k_widest_terminal = 200;
constexpr int k_tallest_terminal = 60;

struct Resize {
    std::uint64_t at_ms;
    int cols;
    int rows;
};

// Where in the output a resize took effect: from there on, the terminal had this size.
struct SizeFrom {
    std::size_t offset;
    int cols;
    int rows;
};

struct Script {
    std::vector<Resize> resizes;  // in time order
    bool input_ends = false;      // no name comes once the scripted lines are used up
    std::uint64_t closing_tap_ms = 0;
};

// The script: what arrives when, until the fuzz data runs out.
void script_input(FuzzedDataProvider& data, SimPlatform& sim, Script& script) {
    std::uint64_t at = sim.now_ms();
    while (data.remaining_bytes() > 0) {
        at += data.ConsumeBool() ? data.ConsumeIntegralInRange<std::uint64_t>(0, 200)
                                 : data.ConsumeIntegralInRange<std::uint64_t>(0, 20000);
        switch (data.ConsumeIntegralInRange(0, 7)) {
            case 0:
                sim.send(data.PickValueInArray(k_legacy_keys), at);
                break;
            case 1:
                sim.send(data.PickValueInArray(k_kitty_keys), at);
                break;
            case 2:
                sim.send(data.ConsumeRandomLengthString(64), at);
                break;
            case 3: {
                const std::string piece = data.ConsumeRandomLengthString(16);
                const auto times = data.ConsumeIntegralInRange<std::size_t>(1, 4096);
                std::string flood;
                for (std::size_t i = 0; i < times && !piece.empty(); ++i) {
                    flood += piece;
                }
                sim.send(flood, at);
                break;
            }
            case 4:
                sim.add_line(data.ConsumeRandomLengthString(40));
                break;
            case 5: {
                const int cols = data.ConsumeIntegralInRange(1, k_widest_terminal);
                const int rows = data.ConsumeIntegralInRange(1, k_tallest_terminal);
                script.resizes.push_back({at, cols, rows});
                break;
            }
            case 6:
                script.resizes.push_back({at, 80, 25});
                break;
            default:
                script.input_ends = true;
                break;
        }
    }
}

// The resizes as they fall due, each noted in sizes; then, once the script has run out,
// SPACE every so often and a name when the game asks for one.
void play_to_the_end(SimPlatform& sim, bool kitty, Script script,
                     std::shared_ptr<std::vector<SizeFrom>> sizes) {
    auto next_tap = std::make_shared<std::uint64_t>(0);
    auto resizes = std::make_shared<std::vector<Resize>>(std::move(script.resizes));
    const bool input_ends = script.input_ends;
    const std::uint64_t tap_ms = script.closing_tap_ms;
    sim.on_wait([kitty, input_ends, tap_ms, next_tap, resizes, sizes](SimPlatform& s) {
        while (!resizes->empty() && resizes->front().at_ms <= s.now_ms()) {
            s.resize(resizes->front().cols, resizes->front().rows);
            sizes->push_back({s.written.size(), resizes->front().cols, resizes->front().rows});
            resizes->erase(resizes->begin());
        }
        if (s.input_to_come() || !resizes->empty()) {
            return;
        }
        // The game stands still under the notice of a terminal too small for it, as the player
        // who cannot see it does not play: the closing player makes the terminal large enough.
        const kal::TermSize size = s.terminal_size();
        if (size.cols < kal::k_screen_cols || size.rows < kal::k_screen_rows) {
            s.resize(kal::k_screen_cols, kal::k_screen_rows);
            sizes->push_back({s.written.size(), kal::k_screen_cols, kal::k_screen_rows});
            return;
        }
        if (s.reading_line()) {
            if (!input_ends) {
                s.send("FUZZ\r", s.now_ms());
            }
            return;
        }
        if (s.now_ms() >= *next_tap) {
            s.send(kitty ? "\x1b[32u" : " ", s.now_ms() + 1);
            if (kitty) {
                // The player lets go of every key, so that a press whose release the script
                // left out does not hold the game in a key's loop.
                s.send("\x1b[32;1:3u\x1b[1;1:3C\x1b[1;1:3D", s.now_ms() + 60);
            }
            *next_tap = s.now_ms() + tap_ms;
        }
    });
}

// A terminal as large as any the run makes, fed everything the game wrote: a character drawn
// outside the 80 x 25 screen, or the cursor below its last row (where a real terminal would
// scroll), is caught. While the terminal is larger than the screen in one direction, the notice
// of a terminal too small may stand anywhere within the terminal's size in that direction.
class OutsideWatch {
public:
    OutsideWatch() : vt_(vterm_new(k_rows, k_cols)), state_(vterm_obtain_state(vt_)) {
        vterm_set_utf8(vt_, 1);
        static const VTermStateCallbacks callbacks = [] {
            VTermStateCallbacks c{};
            c.putglyph = [](VTermGlyphInfo* /*info*/, VTermPos pos, void* user) {
                auto* self = static_cast<OutsideWatch*>(user);
                self->outside_ =
                    self->outside_ || pos.row >= self->bound_rows_ || pos.col >= self->bound_cols_;
                return 1;
            };
            c.movecursor = [](VTermPos pos, VTermPos /*old*/, int /*visible*/, void* user) {
                auto* self = static_cast<OutsideWatch*>(user);
                self->outside_ = self->outside_ || pos.row >= self->bound_rows_;
                return 1;
            };
            return c;
        }();
        vterm_state_set_callbacks(state_, &callbacks, this);
        vterm_state_reset(state_, 1);
    }
    OutsideWatch(const OutsideWatch&) = delete;
    OutsideWatch& operator=(const OutsideWatch&) = delete;
    ~OutsideWatch() { vterm_free(vt_); }

    // The output, each part checked against the terminal's size while it was written.
    void feed(std::string_view written, const std::vector<SizeFrom>& sizes) {
        std::size_t from = 0;
        for (const SizeFrom& size : sizes) {
            feed_part(written.substr(from, size.offset - from));
            bound_cols_ = std::max(k_screen_cols, size.cols);
            bound_rows_ = std::max(k_screen_rows, size.rows);
            from = size.offset;
        }
        feed_part(written.substr(from));
    }
    [[nodiscard]] bool outside() const { return outside_; }

private:
    static constexpr int k_screen_cols = 80;
    static constexpr int k_screen_rows = 25;
    static constexpr int k_rows = k_tallest_terminal + 1;
    static constexpr int k_cols = k_widest_terminal + 1;

    // libvterm takes stack in proportion to what one call writes, and a whole game of 40
    // questions writes about 3 MB: it goes in by pieces of about 64 KiB, each cut just before
    // an escape sequence, so that no sequence or character is split between two calls.
    void feed_part(std::string_view bytes) {
        constexpr std::size_t k_piece = 64 * 1024;
        while (!bytes.empty()) {
            const std::size_t cut =
                bytes.size() <= k_piece ? bytes.size() : bytes.find('\x1b', k_piece);
            const std::string_view piece = bytes.substr(0, cut);
            vterm_input_write(vt_, piece.data(), piece.size());
            bytes.remove_prefix(piece.size());
        }
    }

    VTerm* vt_;
    VTermState* state_;
    int bound_cols_ = k_screen_cols;
    int bound_rows_ = k_screen_rows;
    bool outside_ = false;
};

// The table as a save writes it.
std::string encoded(const kal::RankTable& table) {
    std::string bytes;
    for (const kal::RankEntry& entry : table) {
        const kal::test::Bytes record =
            kal::test::rank_record(static_cast<std::uint32_t>(entry.score),
                                   std::string_view(entry.name.data(), entry.name.size()));
        bytes.append(record.begin(), record.end());
    }
    bytes.resize(kal::k_rank_file_bytes, '\0');
    return bytes;
}

// What the program does before its first screen.
void start_program() {
    kal::load_ranking();
    kal::save_ranking();
    kal::console.bgcolor(15);
    kal::console.color(0, 16);
    kal::console.set_cursor(false, 0);
    kal::console.cls(16, 16);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    enter_scratch_directory();
    FuzzedDataProvider data(bytes, size);
    kal::TerminalTraits traits;
    traits.kitty_keyboard = data.ConsumeBool();
    traits.ambiguous = data.ConsumeBool() ? kal::AmbiguousWidth::wide : kal::AmbiguousWidth::narrow;
    traits.shift_jis = data.ConsumeBool();
    const auto rank_file = static_cast<RankFile>(data.ConsumeIntegralInRange(0, 3));
    const auto failure = static_cast<SaveFailure>(data.ConsumeIntegralInRange(0, 1));
    const std::string old_file = place_ranking(rank_file, data);
    std::srand(data.ConsumeIntegral<unsigned>());

    kal::reset_game_state();
    SimPlatform sim;
    sim.set_kitty(traits.kitty_keyboard);
    sim.set_time_limit(sim.now_ms() + k_longest_run_ms);
    kal::console.attach(sim, sim.terminal());
    kal::console.set_traits(traits);
    Script script;
    script.closing_tap_ms = data.PickValueInArray(k_closing_taps_ms);
    script_input(data, sim, script);
    auto sizes = std::make_shared<std::vector<SizeFrom>>();
    play_to_the_end(sim, traits.kitty_keyboard, std::move(script), sizes);

    rlimit saved_limit{};
    ::getrlimit(RLIMIT_FSIZE, &saved_limit);
    if (failure == SaveFailure::full_disk) {
        const rlimit full{k_full_disk_bytes, saved_limit.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &full);
    }

    start_program();
    Screen next = kal::title_screen();
    kal::RankTable after_game{};
    bool game_ended = false;
    while (next != Screen::title && next != Screen::quit) {
        const Screen screen = next;
        next = kal::run_screen(screen);
        if (screen == Screen::result && next == Screen::ranking_board) {
            after_game = kal::rank_table;
            game_ended = true;
        }
    }
    const bool board_shown = game_ended && next == Screen::title;
    const kal::RankTable last_held = kal::rank_table;
    kal::console.detach();
    ::setrlimit(RLIMIT_FSIZE, &saved_limit);
    ::chmod("Rank.dat", 0644);

    OutsideWatch watch;
    watch.feed(sim.written, *sizes);
    require(!watch.outside(), "drawn outside the 80 x 25 screen, or the screen scrolled");
    const std::string problem = kal::test::foreign_terminal_bytes(sim.written, traits.shift_jis);
    require(problem.empty(), problem);
    if (rank_file == RankFile::directory) {
        require(std::filesystem::is_directory("Rank.dat"), "a folder named Rank.dat was replaced");
    } else {
        const std::string now_on_disk = kal::test::read_text("Rank.dat");
        require(now_on_disk == old_file || now_on_disk == encoded(last_held),
                "Rank.dat is neither the old file nor the table the game holds");
    }
    // The board after the game reloads the file only when it holds what the player saw.
    if (board_shown) {
        require(encoded(last_held) == encoded(after_game), "the score entered was lost");
    }
    return 0;
}
