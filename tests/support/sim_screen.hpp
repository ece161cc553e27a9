#pragma once

// The screen of the simulation, where what the game draws lands and is read back cell by cell:
// on Linux a terminal emulator (libvterm) fed with the escape sequences of the terminal
// back-end; on Windows the real console, drawn on by the console back-end and read back with
// the console's own functions, with keys put on its input queue as the system puts them.

#include <memory>
#include <string>
#include <string_view>

#include "console/backend.hpp"
#include "platform/platform.hpp"

namespace kal::test {

struct TermCell {
    std::string text;  // UTF-8 of the character, empty for the right half of a wide one
    int fg = -1;       // palette number 0-15, -1 for the terminal's default
    int bg = -1;
    int width = 1;
};

class SimScreen {
public:
    virtual ~SimScreen() = default;

    // The console back-end the game draws through; nothing for a terminal, which takes bytes.
    virtual ConsoleBackend* device() = 0;
    // What the game wrote to a terminal.
    virtual void write(std::string_view bytes) = 0;
    // Columns and rows are 1-based.
    [[nodiscard]] virtual TermCell cell(int x, int y) const = 0;
    // A key goes down or up on the console, or a character is typed there (the console only).
    virtual void put_key(int key, bool down) = 0;
    virtual void put_text(std::string_view utf8) = 0;
    // Drops what waits on the console's input queue.
    virtual void discard_input() = 0;
    // Whether input waits on the console's queue, not yet read by the game.
    [[nodiscard]] virtual bool input_waiting() const = 0;
};

// A screen for the simulated platform, which gives the game's back-end what it reads as bytes.
std::unique_ptr<SimScreen> make_sim_screen(Platform& platform);

}  // namespace kal::test
