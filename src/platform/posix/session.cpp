#include "platform/session.hpp"

#include <langinfo.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>

#include "platform/posix/audio.hpp"
#include "platform/posix/platform.hpp"

namespace kal {
namespace {

bool locale_is_shift_jis() {
    std::setlocale(LC_CTYPE, "");
    const char* codeset = nl_langinfo(CODESET);
    return codeset != nullptr &&
           (std::strcmp(codeset, "SHIFT_JIS") == 0 || std::strcmp(codeset, "SJIS") == 0 ||
            std::strcmp(codeset, "CP932") == 0 || std::strcmp(codeset, "WINDOWS-31J") == 0);
}

// Colour on standard output only for a terminal that shows it, and not when the player turned
// colour off (https://no-color.org: NO_COLOR set to anything but the empty string).
bool output_takes_colour() {
    const char* no_color = std::getenv("NO_COLOR");
    const char* term = std::getenv("TERM");
    return ::isatty(STDOUT_FILENO) == 1 && (no_color == nullptr || *no_color == '\0') &&
           (term == nullptr || std::strcmp(term, "dumb") != 0);
}

}  // namespace

std::vector<std::string> system_arguments(std::span<char*> argv) {
    return {argv.begin(), argv.end()};
}

SystemText system_text() {
    const bool shift_jis = locale_is_shift_jis();
    return SystemText{output_takes_colour(), shift_jis, shift_jis};
}

int print_on_standard_output(
    PrintedText /*out_text*/,
    const std::function<int(std::ostream& out, std::ostream& err)>& print) {
    return print(std::cout, std::cerr);
}

void set_parting_words(std::string_view words) {
    PosixPlatform::set_parting_words(words);
}

void run_system_session(const std::function<void(Platform&)>& run) {
    const std::unique_ptr<AudioDevice> audio = make_openal_audio();
    PosixPlatform platform(*audio);
    platform.begin_session();
    run(platform);
    PosixPlatform::end_session();
}

}  // namespace kal
