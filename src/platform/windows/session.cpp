#include "platform/session.hpp"

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <sstream>

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

namespace {

// WriteConsoleW takes a bounded amount at once on older consoles.
constexpr std::size_t k_console_chunk = 8192;

bool is_console(HANDLE handle) {
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && handle != nullptr &&
           GetConsoleMode(handle, &mode) != 0;
}

// Line ends as CR LF, which every console takes as the start of the next line.
std::wstring with_console_line_ends(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size() + text.size() / 8);
    for (const wchar_t unit : text) {
        if (unit == L'\n') {
            out += L'\r';
        }
        out += unit;
    }
    return out;
}

bool write_console(HANDLE console, std::wstring_view text) {
    const std::wstring shown = with_console_line_ends(text);
    std::wstring_view left = shown;
    while (!left.empty()) {
        const auto size = static_cast<DWORD>(std::min(left.size(), k_console_chunk));
        DWORD written = 0;
        if (WriteConsoleW(console, left.data(), size, &written, nullptr) == 0 || written == 0) {
            return false;
        }
        left.remove_prefix(written);
    }
    return true;
}

// A console gets the characters through the wide API, so that they show whatever its code page
// (the C run-time would send the bytes through the console's code page). Anything else gets
// the bytes through the C run-time, line ends as CR LF, as it always has.
void write_standard_text(DWORD which, std::FILE* stream, UINT code_page, std::string_view text) {
    const HANDLE handle = GetStdHandle(which);
    std::wstring wide;
    if (is_console(handle) && utf16_from(code_page, text, wide) && write_console(handle, wide)) {
        return;
    }
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

// Plain data under a slim lock, nothing to destroy: the console's control handler ends the game
// from a thread of its own, and the words may be written after static objects are gone.
constexpr std::size_t k_parting_capacity = 4096;
SRWLOCK parting_lock = SRWLOCK_INIT;
std::array<char, k_parting_capacity> parting_words{};
std::size_t parting_size = 0;

UINT code_page_of(PrintedText text) {
    constexpr UINT k_cp932 = 932;
    return text == PrintedText::cp932 ? k_cp932 : CP_UTF8;
}

}  // namespace

// The report is printed in the game's own code page, with charts of plain characters that it
// holds; the console shows no colour sequences. The game's own text on a console goes out as
// cells, and through a pipe as UTF-8.
SystemText system_text() {
    return SystemText{false, true, false};
}

int print_on_standard_output(
    PrintedText out_text, const std::function<int(std::ostream& out, std::ostream& err)>& print) {
    std::ostringstream out;
    std::ostringstream err;
    const int status = print(out, err);
    write_standard_text(STD_OUTPUT_HANDLE, stdout, code_page_of(out_text), out.str());
    write_standard_text(STD_ERROR_HANDLE, stderr, CP_UTF8, err.str());
    return status;
}

void set_parting_words(std::string_view words) {
    AcquireSRWLockExclusive(&parting_lock);
    parting_size = std::min(words.size(), parting_words.size());
    std::copy_n(words.begin(), parting_size, parting_words.begin());
    ReleaseSRWLockExclusive(&parting_lock);
}

void write_parting_words() {
    AcquireSRWLockShared(&parting_lock);
    const std::string words(parting_words.data(), parting_size);
    ReleaseSRWLockShared(&parting_lock);
    write_standard_text(STD_ERROR_HANDLE, stderr, CP_UTF8, words);
}

void run_system_session(const std::function<void(Platform&)>& run) {
    const std::unique_ptr<AudioDevice> audio = make_waveout_audio();
    WindowsPlatform platform(*audio);
    platform.begin_session();
    run(platform);
    WindowsPlatform::end_session();
}

}  // namespace kal
