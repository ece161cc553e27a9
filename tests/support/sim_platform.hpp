#pragma once

// A simulated world for the game: time moves only when the game waits, keys are pressed and
// released at chosen simulated milliseconds, everything drawn lands on a screen that the test
// reads back cell by cell (a real terminal emulator, libvterm, or on Windows the real console),
// and the audio device keeps a log.

#include <cstdint>
#include <ctime>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "console/backends/terminal.hpp"
#include "platform/platform.hpp"
#include "sim_screen.hpp"

namespace kal::test {

struct AudioEvent {
    enum class Kind { open, start, stop, close };
    Kind kind;
    std::string name;
    std::uint32_t voice;
    std::uint64_t time_ms;
};

class SimAudio final : public AudioDevice {
public:
    explicit SimAudio(const std::uint64_t& clock) : clock_(clock) {}

    std::uint32_t open_voice(std::string_view name, const PcmFormat& format,
                             std::span<const std::uint8_t> samples,
                             std::uint32_t loop_frames) override;
    bool restart(std::uint32_t voice) override;
    bool stop(std::uint32_t voice) override;
    void close(std::uint32_t voice) override;

    // The device refuses every voice, like a machine without a sound card.
    bool absent = false;
    std::vector<AudioEvent> log;
    std::map<std::uint32_t, std::string> live;           // open voices and their names
    std::map<std::uint32_t, std::uint32_t> loop_frames;  // open voices that loop, and their loops

    // Times at which the sound of this name was started.
    [[nodiscard]] std::vector<std::uint64_t> starts_of(std::string_view name) const;
    [[nodiscard]] std::size_t count(AudioEvent::Kind kind, std::string_view name) const;

private:
    void record(AudioEvent::Kind kind, std::uint32_t voice);
    const std::uint64_t& clock_;
};

class SimPlatform final : public Platform {
public:
    SimPlatform();
    ~SimPlatform() override;
    SimPlatform(const SimPlatform&) = delete;
    SimPlatform& operator=(const SimPlatform&) = delete;

    // --- the game's side ---
    std::uint64_t now_ms() override;
    std::time_t calendar_time() override { return calendar_; }
    unsigned random_seed() override { return seed_; }
    void wait_input(std::uint64_t deadline_ms) override;
    std::size_t read_input(std::span<char> buffer) override;
    void write_output(std::string_view bytes) override;
    TermSize terminal_size() override { return size_; }
    bool take_redraw_request() override;
    void set_keyboard_protocol(bool pushed) override { keyboard_pushed = pushed; }
    void set_line_input(bool on) override;
    void discard_input() override;
    void interrupt() override { interrupted = true; }
    void suspend() override { ++suspends; }
    std::optional<JoystickPosition> joystick(unsigned number) override;
    AudioDevice& audio() override { return audio_; }

    // --- the test's side ---
    // The back-end to attach the console with: on Windows the real console, elsewhere the
    // terminal's, which speaks escape sequences to the simulated terminal.
    ConsoleBackend& backend() { return on_system_console() ? *screen_->device() : terminal_; }
    // The terminal's back-end over this platform, on every system.
    ConsoleBackend& terminal() { return terminal_; }
    [[nodiscard]] bool on_system_console() const { return screen_->device() != nullptr; }
    // Keys arrive as the terminal would send them: with the kitty keyboard protocol as press and
    // release events, otherwise as one character per press and per auto-repeat.
    void press(int key, std::uint64_t at_ms);
    void release(int key, std::uint64_t at_ms);
    void tap(int key, std::uint64_t at_ms, std::uint64_t hold_ms = 60);
    void send(std::string bytes, std::uint64_t at_ms);
    // A line the player types, followed by Enter, as soon as the game next reads a line. While
    // the game reads a line and neither such a line nor any other input is left to come, the
    // input has ended.
    void add_line(std::string line) { lines_.push_back(std::move(line)); }
    void resize(int cols, int rows);
    // The terminal's size from the start: no resize is ever reported.
    void start_at_size(int cols, int rows) { size_ = {cols, rows}; }
    // Whether the game is reading a typed line, and whether any input is still to come.
    [[nodiscard]] bool reading_line() const { return line_input_; }
    [[nodiscard]] bool input_to_come() const { return !input_.empty(); }
    void set_kitty(bool kitty) { kitty_ = kitty; }
    // The auto-repeat of a held key: the first repeat delay_ms after the press, then one every
    // interval_ms until the key is let go.
    void set_auto_repeat(std::uint64_t delay_ms, std::uint64_t interval_ms) {
        repeat_delay_ms_ = delay_ms;
        repeat_interval_ms_ = interval_ms;
    }
    // Simulated time after which the run is cut short as hung.
    void set_time_limit(std::uint64_t ms) { limit_ = ms; }
    void advance(std::uint64_t ms) { now_ += ms; }
    // The calendar and the seed stand where they are set, so that a simulated game is the same
    // game every run: by default 2025-04-01 at noon, UTC, and seed 1.
    void set_calendar_time(std::time_t when) { calendar_ = when; }
    void set_random_seed(unsigned seed) { seed_ = seed; }
    // Every write to the terminal takes this long, as on a slow terminal; none by default.
    void set_write_cost(std::uint64_t ms) { write_cost_ms_ = ms; }
    // Calls look each time the game starts a wait, before time moves: the screen then stands as
    // the game has drawn it so far, and keys the look presses are read after the wait. For a
    // test that looks at the screen mid-run or plays along. A look must not add looks.
    void on_wait(std::function<void(SimPlatform&)> look) { looks_.push_back(std::move(look)); }
    void clear_wait_looks() { looks_.clear(); }

    // The screen as the terminal shows it; columns and rows are 1-based.
    [[nodiscard]] TermCell cell(int x, int y) const;
    // The text of the given code page 932 columns from (x, y), as a player reads it: a
    // character that the terminal drew as two narrow cells counts once.
    [[nodiscard]] std::string text(int x, int y, int columns) const;
    [[nodiscard]] std::string row(int y) const { return text(1, y, 80); }
    // Whether the text appears anywhere on the screen.
    [[nodiscard]] bool shows(std::string_view needle) const;
    // Whether the text stands from (x, y), over the code page 932 columns it takes.
    [[nodiscard]] bool shows_at(int x, int y, std::string_view text) const;

    // The joysticks plugged in, by number; the others do not answer.
    std::map<unsigned, JoystickPosition> joysticks;
    std::string written;  // every byte the game wrote
    int writes = 0;       // write calls
    bool keyboard_pushed = false;
    bool interrupted = false;
    int suspends = 0;
    SimAudio& sim_audio() { return audio_; }

private:
    // One piece of input at its time: the bytes a terminal sends, or a key going down or up on
    // the console (key 0: the bytes are typed there).
    struct SimInput {
        std::string bytes;
        int key = 0;
        bool down = false;
    };

    void auto_repeat(int key, std::uint64_t from_ms, std::uint64_t until_ms);
    void put(std::uint64_t at_ms, SimInput input) { input_.emplace(at_ms, std::move(input)); }
    // The console takes its input when it is due, as the system queues it.
    void deliver_to_console();
    // While the game reads a line, nothing more to come is the end of the input: a terminal
    // then reads Ctrl-D; a console's input never ends, so there the player types Ctrl-D once.
    [[nodiscard]] bool input_ended() const { return line_input_ && input_.empty(); }
    void type_end_of_input_on_console();

    std::uint64_t now_ = 1000;
    std::time_t calendar_ = 1743508800;
    unsigned seed_ = 1;
    std::uint64_t limit_ = 4ULL * 60 * 60 * 1000;
    std::uint64_t write_cost_ms_ = 0;
    TermSize size_{};
    bool redraw_ = false;
    bool kitty_ = true;
    std::uint64_t repeat_delay_ms_ = 500;
    std::uint64_t repeat_interval_ms_ = 33;
    std::multimap<std::uint64_t, SimInput> input_;
    std::map<int, std::uint64_t> held_since_;
    std::deque<std::string> lines_;
    bool line_input_ = false;
    bool end_typed_ = false;  // Ctrl-D typed on the console for the line being read
    std::vector<std::function<void(SimPlatform&)>> looks_;
    std::unique_ptr<SimScreen> screen_;
    SimAudio audio_;
    TerminalBackend terminal_{*this};
};

}  // namespace kal::test
