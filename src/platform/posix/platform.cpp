#include "platform/posix/platform.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace kal {
namespace {

// Everything the signal handlers need lives in plain globals: they may only read these and
// make async-signal-safe calls (write, tcsetattr, signal, raise).
struct Session {
    termios saved{};
    bool saved_valid = false;
    bool input_is_tty = false;
    bool output_open = true;
    bool line_input = false;   // the game reads a line: an ended input reads as Ctrl-D
    bool input_ended = false;  // during a line read; the name entry then ends the game itself
    volatile sig_atomic_t active = 0;
    volatile sig_atomic_t keyboard_pushed = 0;
    volatile sig_atomic_t redraw_requested = 0;
    // How long the game has been stopped (Ctrl-Z) in all: its clock stands still meanwhile.
    std::atomic<std::int64_t> stopped_ns{0};
};

// The stop handler adds to it, so it must never take a lock.
static_assert(std::atomic<std::int64_t>::is_always_lock_free);

Session session;

// The parting words live apart from the session: the handlers write them as they are, and the
// length is cleared while the bytes change, so a signal never writes half of old and new.
constexpr std::size_t k_parting_capacity = 4096;
char parting_words[k_parting_capacity];
volatile sig_atomic_t parting_size = 0;

constexpr int k_in = STDIN_FILENO;
constexpr int k_out = STDOUT_FILENO;
constexpr char k_enter_sequence[] = "\x1b[?1049h\x1b[H\x1b[2J";
constexpr char k_push_keyboard[] = "\x1b[>11u";
constexpr char k_pop_keyboard[] = "\x1b[<u";
// Attributes reset, cursor shown, main screen back.
constexpr char k_leave_sequence[] = "\x1b[0m\x1b[?25h\x1b[?1049l";
// Every signal that ends the game gives the terminal back first: those a player or the system
// sends, and those of a crash.
constexpr int k_fatal_signals[] = {SIGINT,  SIGTERM, SIGHUP, SIGQUIT, SIGABRT,
                                   SIGSEGV, SIGBUS,  SIGFPE, SIGILL};

// The handlers run on a stack of their own, so that a crash on a stack that has run out still
// gives the terminal back.
constexpr std::size_t k_signal_stack_bytes = std::size_t{64} * 1024;
alignas(16) char signal_stack[k_signal_stack_bytes];

// Async-signal-safe, like everything the handlers call.
std::int64_t monotonic_ns() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000000 +
           static_cast<std::int64_t>(now.tv_nsec);
}

// The monotonic clock, less the time the game was stopped.
std::int64_t game_clock_ns() {
    return monotonic_ns() - session.stopped_ns.load();
}

void write_all(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR || errno == EAGAIN) {
                continue;
            }
            return;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
}

template <std::size_t N>
void write_literal(const char (&text)[N]) {
    if (session.output_open) {
        write_all(k_out, text, N - 1);
    }
}

void enter_raw_mode() {
    if (!session.saved_valid) {
        return;
    }
    termios raw = session.saved;
    // Signals stay on, so that Ctrl-C, Ctrl-Z and Ctrl-\ work as in any program.
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | IEXTEN);
    raw.c_iflag &= ~static_cast<tcflag_t>(IXON | ICRNL | BRKINT | INPCK | ISTRIP);
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 0;
    tcsetattr(k_in, TCSAFLUSH, &raw);
}

// Async-signal-safe: the order is keyboard protocol, attributes, cursor, screen, then termios.
void restore_terminal() {
    if (session.keyboard_pushed != 0) {
        write_literal(k_pop_keyboard);
    }
    write_literal(k_leave_sequence);
    if (session.saved_valid) {
        tcsetattr(k_in, TCSAFLUSH, &session.saved);
    }
}

void take_terminal() {
    enter_raw_mode();
    write_literal(k_enter_sequence);
    if (session.keyboard_pushed != 0) {
        write_literal(k_push_keyboard);
    }
}

// Async-signal-safe.
void write_parting_words() {
    write_all(STDERR_FILENO, parting_words, static_cast<std::size_t>(parting_size));
}

void on_fatal_signal(int signal_number) {
    if (session.active != 0) {
        restore_terminal();
        session.active = 0;
        write_parting_words();
    }
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);
}

void on_stop_signal(int /*signal_number*/) {
    const int saved_errno = errno;
    if (session.active != 0) {
        restore_terminal();
    }
    std::signal(SIGTSTP, SIG_DFL);
    sigset_t unblock;
    sigemptyset(&unblock);
    sigaddset(&unblock, SIGTSTP);
    sigprocmask(SIG_UNBLOCK, &unblock, nullptr);
    const std::int64_t stopped_at = monotonic_ns();
    std::raise(SIGTSTP);
    session.stopped_ns += monotonic_ns() - stopped_at;
    // Running again: take the terminal back and have the screen repainted.
    std::signal(SIGTSTP, on_stop_signal);
    if (session.active != 0) {
        take_terminal();
    }
    session.redraw_requested = 1;
    errno = saved_errno;
}

void on_redraw_signal(int /*signal_number*/) {
    session.redraw_requested = 1;
}

void give_handlers_a_stack() {
    stack_t stack{};
    stack.ss_sp = signal_stack;
    stack.ss_size = sizeof signal_stack;
    sigaltstack(&stack, nullptr);
}

void install_handler(int signal_number, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_flags = SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    sigaction(signal_number, &action, nullptr);
}

bool descriptor_open(int fd) {
    return fcntl(fd, F_GETFD) != -1 || errno != EBADF;
}

void report_closed(const char* what) {
    const char* message = std::strerror(EBADF);
    std::fprintf(stderr, "%s: %s\n", what, message);
}

// A closed standard input reads as one that has ended, and no file the game opens later can
// take its number and be read as keys.
void stand_in_for_closed_input() {
    const int null_input = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (null_input >= 0 && null_input != k_in) {
        ::close(null_input);
    }
}

// The input can never give another byte: a pipe whose writer is gone, a broken or closed
// descriptor. A terminal that hangs up is left to the hang-up signal.
bool input_gone(short revents) {
    return (revents & (POLLHUP | POLLERR | POLLNVAL)) != 0 && (revents & POLLIN) == 0;
}

// No key can ever come again, so nothing the game waits for can happen: it ends here as it
// ends by itself, the terminal given back and status 0. A save never waits for input, so the
// ranking on disk is as the last save left it.
[[noreturn]] void end_for_want_of_input() {
    PosixPlatform::end_session();
    std::_Exit(0);
}

// Outside a line read the game ends here; during one, the line reads Ctrl-D from now on.
void input_has_ended() {
    if (!session.line_input) {
        end_for_want_of_input();
    }
    session.input_ended = true;
}

constexpr char k_end_of_input = 0x04;  // Ctrl-D

}  // namespace

PosixPlatform::PosixPlatform(AudioDevice& audio) : audio_(audio) {}

PosixPlatform::~PosixPlatform() {
    end_session();
}

void PosixPlatform::begin_session() {
    session.output_open = descriptor_open(k_out);
    if (!session.output_open) {
        report_closed("standard output");
    }
    if (!descriptor_open(k_in)) {
        report_closed("standard input");
        stand_in_for_closed_input();
    }
    session.input_is_tty = isatty(k_in) != 0;
    session.saved_valid = session.input_is_tty && tcgetattr(k_in, &session.saved) == 0;
    give_handlers_a_stack();
    for (const int signal_number : k_fatal_signals) {
        install_handler(signal_number, on_fatal_signal);
    }
    install_handler(SIGTSTP, on_stop_signal);
    install_handler(SIGCONT, on_redraw_signal);
    install_handler(SIGWINCH, on_redraw_signal);
    // A terminal that has gone away must not kill the game in the middle of a save.
    std::signal(SIGPIPE, SIG_IGN);
    // Nor may a write past the file-size limit, the game's or the sound library's (it reserves
    // a large block of shared memory when it opens the device): the write fails with EFBIG.
    std::signal(SIGXFSZ, SIG_IGN);
    session.active = 1;
    take_terminal();
    std::atexit(end_session);
}

void PosixPlatform::end_session() {
    if (session.active == 0) {
        return;
    }
    session.active = 0;
    restore_terminal();
    session.keyboard_pushed = 0;
    write_parting_words();
}

void PosixPlatform::set_parting_words(std::string_view words) {
    parting_size = 0;
    const std::size_t size = std::min(words.size(), k_parting_capacity);
    std::copy_n(words.begin(), size, parting_words);
    parting_size = static_cast<sig_atomic_t>(size);
}

std::uint64_t PosixPlatform::now_ms() {
    return static_cast<std::uint64_t>(game_clock_ns() / 1000000);
}

std::time_t PosixPlatform::calendar_time() {
    return std::time(nullptr);
}

// The calendar's second, as the game has always been seeded.
unsigned PosixPlatform::random_seed() {
    return static_cast<unsigned>(calendar_time());
}

void PosixPlatform::wait_input(std::uint64_t deadline_ms) {
    const std::int64_t now_ns = game_clock_ns();
    const auto deadline_ns = static_cast<std::int64_t>(deadline_ms) * 1000000;
    if (session.input_ended) {
        input_has_ended();
        return;
    }
    if (deadline_ns <= now_ns) {
        return;
    }
    const std::int64_t left_ns = deadline_ns - now_ns;
    const timespec timeout{static_cast<time_t>(left_ns / 1000000000),
                           static_cast<long>(left_ns % 1000000000)};
    pollfd input{k_in, POLLIN, 0};
    ppoll(&input, 1, &timeout, nullptr);
    if (session.input_is_tty && (input.revents & (POLLHUP | POLLERR)) != 0) {
        // The terminal has gone (its window was closed) and the hang-up signal did not reach
        // us, as when the shell that started the game does not pass it on. Every poll would
        // return at once from now on: end as the hang-up would have ended the game.
        std::raise(SIGHUP);
    }
    if (input_gone(input.revents)) {
        input_has_ended();
    }
}

std::size_t PosixPlatform::read_input(std::span<char> buffer) {
    if (session.input_ended) {
        input_has_ended();
        buffer[0] = k_end_of_input;
        return 1;
    }
    if (!session.input_is_tty) {
        // A pipe or file has no non-blocking mode of its own: ask first.
        pollfd input{k_in, POLLIN, 0};
        const int ready = poll(&input, 1, 0);
        if (ready > 0 && input_gone(input.revents)) {
            input_has_ended();
            return read_input(buffer);
        }
        if (ready <= 0 || (input.revents & POLLIN) == 0) {
            return 0;
        }
    }
    const ssize_t count = ::read(k_in, buffer.data(), buffer.size());
    if (count > 0) {
        return static_cast<std::size_t>(count);
    }
    const bool interrupted = count < 0 && (errno == EINTR || errno == EAGAIN);
    if (!session.input_is_tty && !interrupted) {
        input_has_ended();
        return read_input(buffer);
    }
    return 0;
}

void PosixPlatform::write_output(std::string_view bytes) {
    if (session.output_open) {
        write_all(k_out, bytes.data(), bytes.size());
    }
}

TermSize PosixPlatform::terminal_size() {
    winsize size{};
    if (ioctl(k_out, TIOCGWINSZ, &size) != 0 || size.ws_col == 0 || size.ws_row == 0) {
        return {};
    }
    return {size.ws_col, size.ws_row};
}

bool PosixPlatform::input_is_terminal() {
    return session.input_is_tty;
}

bool PosixPlatform::take_redraw_request() {
    if (session.redraw_requested == 0) {
        return false;
    }
    session.redraw_requested = 0;
    return true;
}

void PosixPlatform::set_keyboard_protocol(bool pushed) {
    if (pushed == (session.keyboard_pushed != 0)) {
        return;
    }
    if (pushed) {
        write_literal(k_push_keyboard);
    } else {
        write_literal(k_pop_keyboard);
    }
    session.keyboard_pushed = pushed ? 1 : 0;
}

void PosixPlatform::set_line_input(bool on) {
    session.line_input = on;
}

void PosixPlatform::discard_input() {
    if (session.input_is_tty) {
        tcflush(k_in, TCIFLUSH);
    }
}

void PosixPlatform::interrupt() {
    std::raise(SIGINT);
}

void PosixPlatform::suspend() {
    std::raise(SIGTSTP);
}

}  // namespace kal
