#pragma once

// The one console of the game: where text lands, in which colours, which keys are down, and
// the loaded sound voices. What it draws reaches the player through its back-end (the
// terminal's or the Windows console's, in backends/), which writes it out in one piece whenever
// the game is about to wait, poll a key or read the clock, so what the game drew is on the
// screen before any wait begins.

#include <array>
#include <cstdarg>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "console/backend.hpp"
#include "console/key_decoder.hpp"
#include "console/key_state.hpp"
#include "console/line_editor.hpp"
#include "console/palette.hpp"
#include "console/screen_buffer.hpp"
#include "platform/platform.hpp"

namespace kal {

// Handle of a loaded sound voice; 0 means no sound and every sound operation ignores it.
using SoundId = std::uint32_t;

// Key codes the game reads.
inline constexpr int k_key_space = 32;
inline constexpr int k_key_left = 37;
inline constexpr int k_key_right = 39;

class Console {
public:
    // White on black, cursor visible with size 8, no keys down, mouse at -1/-1, no voices, and
    // no terminal: until attach(), output and input go nowhere.
    Console();
    ~Console();
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    // Binds the console to a platform and starts from the state of construction; it draws and
    // reads keys through the back-end, which must outlive the binding.
    void attach(Platform& platform, ConsoleBackend& backend);
    // Asks the terminal how it draws ambiguous-width characters and whether it speaks the kitty
    // keyboard protocol, waiting at most about 200 ms for the answers, and pushes that protocol
    // where it is spoken.
    void query_terminal();
    // Uses the given traits instead of asking the terminal.
    void set_traits(const TerminalTraits& traits);
    [[nodiscard]] const TerminalTraits& traits() const;
    // Releases every voice in ascending id order and lets go of the terminal.
    void detach();

    void locate(int x, int y);
    void color(int fg, int bg);
    void bgcolor(int bg);
    void cls(int fg, int bg);
    void set_cursor(bool visible, std::uint32_t size);

    // Prints UTF-8 text at the current position in the current colours; every column follows
    // code page 932 (two bytes there, two columns here). Nothing beyond column 80 is drawn.
    void print(std::string_view text);
    // printf-style print, for the game's "%d" and "%80c" formats.
    void printf(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Prints a name held in code page 932 bytes, up to its terminating zero byte and never
    // beyond its field; invalid bytes show as "?" and control bytes are never sent.
    void print_cp932(std::string_view field);

    // Key code polling: 1 while the key is down, else 0; the mouse cell (257 and 258, 1-based,
    // 0 before any mouse event), and the joysticks' positions and buttons (272 to 274 and 279,
    // 280 to 282 and 287), -1 when the joystick does not answer.
    int inkey(int code);
    // A screen has ended: the keys pressed on it that it did not read are gone, so that none of
    // them reaches the next screen. A key it read and that is still held stays down.
    void drop_unread_keys();

    // The game's millisecond clock: the platform's, standing still while a notice covers the
    // screen (a terminal too small for the game). Writes out what was drawn first, since a clock
    // read may end a wait.
    std::uint64_t now();
    // The platform's calendar and a seed for the random draws; 0 with no terminal attached.
    std::time_t calendar_time() { return platform_ != nullptr ? platform_->calendar_time() : 0; }
    unsigned random_seed() { return platform_ != nullptr ? platform_->random_seed() : 0; }
    // Busy wait of ms milliseconds on the game's clock: nothing the game drew is held back
    // meanwhile.
    void wait(std::uint64_t ms);
    // Gives the processor away until the game's clock reaches deadline or a key arrives, or
    // the key state tells a tap from a held key's repeat; true when a key or the mouse came.
    bool idle_until(std::uint64_t deadline);
    // Writes out everything gathered so far in one write.
    void flush();

    // Reads one word of a line typed for the name entry. Every line it reads is echoed from
    // where the cursor stood when it was called, and only up to the end of its row: the end of a
    // long line shows, and the screen never scrolls. A second word of the same line stays for
    // the next call. Returns false when the input has ended.
    bool read_word(std::string& word);

    SoundId load_sound(const char* name);
    // Loads a music track that, once started, loops in the sound device at exactly loop_ms
    // for as long as it is not stopped. A file shorter than that plays once, as any sound.
    SoundId load_music(const char* name, std::uint64_t loop_ms);
    // Whether the voice loops by itself.
    [[nodiscard]] bool sound_loops(SoundId id) const;
    bool play_sound(SoundId id);
    bool stop_sound(SoundId id);
    bool free_sound(SoundId id);
    // Releases the voice once it has played out, so that a sound left sounding at a hand-over
    // is heard in full.
    void free_sound_when_done(SoundId id);
    [[nodiscard]] std::size_t voice_count() const { return voices_.size(); }

    // What the console believes is on the screen, cell by cell.
    [[nodiscard]] const ScreenBuffer& screen() const { return screen_; }
    [[nodiscard]] int cursor_x() const { return x_; }
    [[nodiscard]] int cursor_y() const { return y_; }
    [[nodiscard]] int fg() const { return fg_; }
    [[nodiscard]] int bg() const { return bg_; }
    [[nodiscard]] const CursorInfo& cursor_info() const { return cursor_info_; }

private:
    struct Voice {
        std::uint32_t frames = 0;
        std::uint32_t sample_rate = 0;
        std::uint64_t started_at = 0;
        bool loops = false;
        bool release_when_done = false;
    };

    [[nodiscard]] Frame frame() const;
    [[nodiscard]] std::uint64_t game_time(std::uint64_t platform_ms) const;
    void note_cover();
    void put_char(char32_t ch);
    // Takes what the input brought; true when a key or the mouse came.
    bool take_input();
    bool take_events(InputEvents& events);
    void apply_pending_events();
    void apply_to_key_table(const InputEvent& event);
    bool read_line_in_field(std::string& line, int field_x);
    bool take_typed(LineEditor& editor);
    void echo_line(const LineEditor& editor, int field_x);
    void release_finished_voices();
    SoundId load_voice(const char* name, std::uint64_t loop_ms);

    Platform* platform_ = nullptr;
    ConsoleBackend* backend_ = nullptr;
    CursorInfo cursor_info_;
    int fg_ = k_white;
    int bg_ = k_black;
    int x_ = 1;
    int y_ = 1;
    std::array<std::uint32_t, 8> key_state_{};
    std::int16_t mouse_x_ = -1;
    std::int16_t mouse_y_ = -1;
    KeyStateTracker tracker_;
    std::vector<InputEvent> pending_events_;
    std::map<std::int32_t, Voice> voices_;
    std::string pending_words_;
    // On the platform's clock: how long notices have covered the screen, and since when the
    // one up now has.
    std::uint64_t covered_ms_ = 0;
    std::optional<std::uint64_t> covered_since_;
    ScreenBuffer screen_;
};

// The console of the game, from static initialisation to exit.
extern Console console;

}  // namespace kal
