#pragma once

// The running game's contact with the outside world: the game reads the clock and the
// calendar, waits, writes to and reads from its terminal or console and plays sound only through
// Platform and its AudioDevice, so that it runs unchanged on every platform (posix/platform.cpp,
// windows/platform.cpp) and on the simulated one of the tests (tests/support/sim_platform). The
// files it keeps go through the other headers of this folder.

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kal {

// PCM layout of a voice, taken from a WAV file's format record.
struct PcmFormat {
    std::uint16_t channels = 0;
    std::uint32_t sample_rate = 0;
    std::uint16_t bits_per_sample = 0;

    [[nodiscard]] std::uint32_t frame_bytes() const { return channels * (bits_per_sample / 8U); }
};

// An output that plays any number of voices at once and mixes them.
class AudioDevice {
public:
    virtual ~AudioDevice() = default;

    // Makes a voice that holds its own copy of the samples, ready to start; name is the sound's
    // file name, for logs. Returns a non-zero handle, or 0 when there is no device or the format
    // is refused; nothing is kept on 0.
    //
    // With loop_frames 0 the voice plays its samples once. Otherwise (music) it plays its first
    // loop_frames frames over and over once started, each pass joined to the next without a
    // gap, until it is stopped; frames after them are never heard. The caller never asks for
    // more loop frames than there are. (OpenAL: buffer loop points and AL_LOOPING; waveOut: one
    // header over those frames with WHDR_BEGINLOOP | WHDR_ENDLOOP and the largest loop count.)
    virtual std::uint32_t open_voice(std::string_view name, const PcmFormat& format,
                                     std::span<const std::uint8_t> samples,
                                     std::uint32_t loop_frames) = 0;
    // Starts the voice from its first sample, cutting off whatever it was still playing.
    virtual bool restart(std::uint32_t voice) = 0;
    // Silences the voice at once.
    virtual bool stop(std::uint32_t voice) = 0;
    // Stops the voice and releases everything it holds; the handle is dead afterwards.
    virtual void close(std::uint32_t voice) = 0;
};

// A joystick as the system reports it: unsigned axis positions and the button word, button 1 in
// bit 0, button 2 in bit 1 and so on.
struct JoystickPosition {
    std::uint32_t x = 0;
    std::uint32_t y = 0;
    std::uint32_t z = 0;
    std::uint32_t buttons = 0;
};

struct TermSize {
    int cols = 80;
    int rows = 25;
};

class Platform {
public:
    virtual ~Platform() = default;

    // Milliseconds on a monotonic 64-bit clock; never goes back, and stands still while the
    // program is stopped (Ctrl-Z): time the player cannot play is not the game's.
    virtual std::uint64_t now_ms() = 0;

    // The calendar: seconds since the epoch, as std::time gives them.
    virtual std::time_t calendar_time() = 0;

    // A seed for the game's random draws, another one every run.
    virtual unsigned random_seed() = 0;

    // Blocks until terminal input is readable, a signal arrives or the clock reaches
    // deadline_ms, whichever comes first. Returns at once when the deadline has passed.
    virtual void wait_input(std::uint64_t deadline_ms) = 0;

    // Takes whatever terminal input is waiting, without blocking; 0 when there is none. When
    // the input has ended for good (a file or pipe at its end), no key can ever come again and
    // the real platform ends the program there, terminal given back, with status 0.
    virtual std::size_t read_input(std::span<char> buffer) = 0;

    // Writes all of bytes to the terminal.
    virtual void write_output(std::string_view bytes) = 0;

    // The terminal's size in cells.
    virtual TermSize terminal_size() = 0;

    // Whether the keys come from the terminal the output goes to, so that its answers to a
    // question can be read: not when they come from a file or a pipe, where the terminal's
    // answers would be echoed into the shell.
    virtual bool input_is_terminal() { return true; }

    // True once after the terminal was resized or the game resumed from a stop, so that the
    // screen must be drawn anew.
    virtual bool take_redraw_request() = 0;

    // Pushes (true) or pops (false) the kitty keyboard protocol; the platform pops it again on
    // every way out of the program.
    virtual void set_keyboard_protocol(bool pushed) = 0;

    // While on, the game reads a line typed at the terminal and echoes it itself (the name
    // entry): an input that has ended for good then does not end the program but reads as
    // Ctrl-D (byte 4) at every read, as a terminal's own line editing reads it, so that the game
    // keeps what was typed and ends by itself.
    virtual void set_line_input(bool on) = 0;

    // Drops terminal input that is waiting, typed ahead of a line read.
    virtual void discard_input() = 0;

    // The player asked to quit with Ctrl+C while the terminal sends it as a key: ends the
    // program as the interrupt signal would.
    virtual void interrupt() = 0;
    // The player asked to suspend the game with Ctrl+Z while the terminal sends it as a key:
    // stops as the stop signal would. Nothing where the system has no job control.
    virtual void suspend() {}

    // Joystick number 0 or 1 as it stands now; nothing when there is no such joystick or the
    // query fails, as on a terminal, which has none.
    virtual std::optional<JoystickPosition> joystick(unsigned /*number*/) { return {}; }

    virtual AudioDevice& audio() = 0;
};

}  // namespace kal
