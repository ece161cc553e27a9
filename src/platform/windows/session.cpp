#include "platform/session.hpp"

#include <memory>

#include "platform/windows/audio.hpp"
#include "platform/windows/platform.hpp"
#include "platform/windows/system.hpp"

#include <shellapi.h>

namespace kal {

// main's argv holds the arguments in the ANSI code page, where a name in another script reads
// as "?"; the command line itself is UTF-16 and holds them whole.
std::vector<std::string> system_arguments(std::span<char*> argv) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        return {argv.begin(), argv.end()};
    }
    std::vector<std::string> arguments;
    for (const LPWSTR argument : std::span(wide, static_cast<std::size_t>(count))) {
        arguments.push_back(utf8_from(argument));
    }
    LocalFree(static_cast<HLOCAL>(wide));
    return arguments;
}

// The report is printed in the game's own code page, with charts of plain characters that it
// holds; the console shows no colour sequences. The game's own text on a console goes out as
// cells, and through a pipe as UTF-8.
SystemText system_text() {
    return SystemText{false, true, false};
}

int print_on_standard_output(const std::function<int()>& print) {
    return print_in_cp932(print);
}

void run_system_session(const std::function<void(Platform&)>& run) {
    const std::unique_ptr<AudioDevice> audio = make_waveout_audio();
    WindowsPlatform platform(*audio);
    platform.begin_session();
    run(platform);
    WindowsPlatform::end_session();
}

}  // namespace kal
