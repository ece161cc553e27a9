#pragma once

// What the start-up needs of the system the game runs on, the same on every platform: how its
// standard output shows text, and the game's session on its own terminal or console with its
// own sound output. Each platform's folder fills it in (posix/session.cpp, windows/session.cpp).

#include <cstdint>
#include <functional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.hpp"

namespace kal {

struct SystemText {
    bool report_colour = false;   // --stats may colour standard output
    bool report_cp932 = false;    // --stats prints code page 932 bytes and charts it holds
    bool terminal_cp932 = false;  // the game's terminal takes code page 932 bytes
};

// The program's arguments as the game reads them, in UTF-8, its name first. argv is main's: on
// POSIX it is taken as it is; on Windows it only stands in when the command line cannot be
// read, since its bytes are in the system's ANSI code page, which may not hold every character
// of a name.
std::vector<std::string> system_arguments(std::span<char*> argv);

// How the system shows text; on POSIX this also takes the locale from the environment.
SystemText system_text();

// The code page of the text a command-line answer prints on standard output.
enum class PrintedText : std::uint8_t { utf8, cp932 };

// Runs print with the streams of standard output and standard error, and returns what print
// returns. print writes on out in the code page given and on err in UTF-8. A console shows the
// characters themselves whatever its own code page; a terminal, a file or a pipe gets the
// bytes as print wrote them.
int print_on_standard_output(PrintedText out_text,
                             const std::function<int(std::ostream& out, std::ostream& err)>& print);

// Keeps words for standard error, written once when the game's session ends, however it ends
// (the game ending by itself, Ctrl-C, a signal, the console closed), after the terminal or
// console is given back. A later call replaces them; empty words are none. Outside a session
// nothing is written.
void set_parting_words(std::string_view words);

// Opens the sound output, takes the terminal or console for the game, runs the game on that
// platform and gives everything back as it was found.
void run_system_session(const std::function<void(Platform&)>& run);

}  // namespace kal
