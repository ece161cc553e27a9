// Any bytes as Rank.dat, then the ranking board drawn from them on the simulated terminal:
// nothing crashes, every byte the board sends is the console's own escape sequences or
// printable text (a name can never steer the terminal), and the board leaves the file in its
// full 336-byte form holding what was read.

#include <fuzzer/FuzzedDataProvider.h>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "console/console.hpp"
#include "game/program.hpp"
#include "screens/ranking_board.hpp"
#include "screens/ranking_file.hpp"
#include "sim_platform.hpp"
#include "temp_directory.hpp"
#include "terminal_output.hpp"
#include "text_files.hpp"

namespace {

void require(bool condition, const std::string& why = {}) {
    if (!condition) {
        std::fprintf(stderr, "%s\n", why.c_str());
        std::abort();
    }
}

// A silent sound of a few samples: the board's music and click then cost nothing to load.
void write_short_sound(const char* name) {
    constexpr std::uint8_t image[] = {
        'R', 'I', 'F', 'F', 40,  0,   0,   0,   'W',  'A',  'V', 'E', 'f',  'm',  't',  ' ',
        16,  0,   0,   0,   1,   0,   1,   0,   0x40, 0x1f, 0,   0,   0x40, 0x1f, 0,    0,
        1,   0,   8,   0,   'd', 'a', 't', 'a', 4,    0,    0,   0,   0x80, 0x80, 0x80, 0x80};
    std::ofstream(name, std::ios::binary)
        .write(reinterpret_cast<const char*>(image), sizeof(image));
}

// A working directory of its own, in memory where there is one: the board saves on every run.
// It goes when the fuzzer exits.
void enter_scratch_directory() {
    static const kal::test::TempDirectory scratch(
        "kaleidron-fuzz",
        std::filesystem::exists("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path());
    static const bool entered = [] {
        std::filesystem::current_path(scratch.path());
        write_short_sound("title.wav");
        write_short_sound("kettei.wav");
        return true;
    }();
    require(entered);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    enter_scratch_directory();
    FuzzedDataProvider data(bytes, size);
    kal::TerminalTraits traits;
    traits.ambiguous = data.ConsumeBool() ? kal::AmbiguousWidth::wide : kal::AmbiguousWidth::narrow;
    traits.shift_jis = data.ConsumeBool();
    traits.kitty_keyboard = true;
    const int after_game = data.ConsumeBool() ? 1 : 0;
    const std::string file = data.ConsumeRemainingBytesAsString();
    std::ofstream("Rank.dat", std::ios::binary | std::ios::trunc) << file;

    kal::reset_game_state();
    kal::test::SimPlatform sim;
    sim.sim_audio().absent = true;
    kal::console.attach(sim, sim.terminal());
    kal::console.set_traits(traits);
    kal::after_game = after_game;
    sim.tap(kal::k_key_space, sim.now_ms() + 600);
    require(kal::ranking_board() == kal::Screen::title, "the board leads back to the title");
    kal::console.detach();

    const std::string problem = kal::test::foreign_terminal_bytes(sim.written, traits.shift_jis);
    require(problem.empty(), problem);

    // Read up to 280 bytes over a zeroed table, then written back whole.
    std::string expected = file.substr(0, 5 * kal::k_rank_record_bytes);
    expected.resize(kal::k_rank_file_bytes, '\0');
    require(kal::test::read_text("Rank.dat") == expected,
            "Rank.dat holds what was read, in 336 bytes");
    return 0;
}
