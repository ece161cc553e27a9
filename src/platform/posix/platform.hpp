#pragma once

// The real terminal: raw mode and the alternate screen for the whole run, and the terminal put
// back exactly as it was found on every way out (normal exit, interrupt, termination, hang-up,
// quit, a fatal error); Ctrl-Z suspends with the terminal restored and resumes with a repaint,
// the clock standing still meanwhile.
// A standard input that ends (a file, a pipe, a closed descriptor) ends the game wherever it
// is, with status 0: no key can ever come again.

#include "platform/platform.hpp"

namespace kal {

class PosixPlatform final : public Platform {
public:
    explicit PosixPlatform(AudioDevice& audio);
    ~PosixPlatform() override;
    PosixPlatform(const PosixPlatform&) = delete;
    PosixPlatform& operator=(const PosixPlatform&) = delete;

    // Reports a closed standard input or output once, then takes the terminal: raw mode, the
    // alternate screen, and the signal handlers that give it back.
    void begin_session();
    // Gives the terminal back as it was found. Safe to call more than once.
    static void end_session();
    // Keeps the words that end_session and the signals that end the game write on standard
    // error once the terminal is given back; as much of them as fits a fixed buffer, since a
    // signal handler may only copy.
    static void set_parting_words(std::string_view words);

    std::uint64_t now_ms() override;
    std::time_t calendar_time() override;
    unsigned random_seed() override;
    void wait_input(std::uint64_t deadline_ms) override;
    std::size_t read_input(std::span<char> buffer) override;
    void write_output(std::string_view bytes) override;
    TermSize terminal_size() override;
    bool input_is_terminal() override;
    bool take_redraw_request() override;
    void set_keyboard_protocol(bool pushed) override;
    void set_line_input(bool on) override;
    void discard_input() override;
    void interrupt() override;
    void suspend() override;
    AudioDevice& audio() override { return audio_; }

private:
    AudioDevice& audio_;
};

}  // namespace kal
