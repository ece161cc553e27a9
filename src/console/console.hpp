#pragma once

// The one console of the game: where text lands, in which colours, which keys are down, and
// the loaded sound voices. Everything reaches the terminal through the platform seam; output
// is gathered and written in one piece whenever the game is about to wait, poll a key or read
// the clock, so what the game drew is on the screen before any wait begins.

#include <array>
#include <cstdarg>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "console/console_device.hpp"
#include "console/key_decoder.hpp"
#include "console/key_state.hpp"
#include "console/line_editor.hpp"
#include "console/palette.hpp"
#include "console/screen_buffer.hpp"
#include "platform/platform.hpp"

namespace kal {

// Handle of a loaded sound voice; 0 means no sound and every sound operation ignores it.
using SoundId = std::uint32_t;

enum class AmbiguousWidth : std::uint8_t { narrow, wide };

// Key codes the game reads.
inline constexpr int k_key_space = 32;
inline constexpr int k_key_left = 37;
inline constexpr int k_key_right = 39;

// What the terminal told us about itself in answer to the start-up queries.
struct TerminalTraits {
    AmbiguousWidth ambiguous = AmbiguousWidth::narrow;
    bool kitty_keyboard = false;
    bool shift_jis = false;  // the locale's encoding is Shift-JIS: send CP932 bytes
};

class Console {
public:
    // White on black, cursor visible with size 8, no keys down, mouse at -1/-1, no voices, and
    // no terminal: until attach(), output and input go nowhere.
    Console();
    ~Console();
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    // Binds the console to a terminal and starts from the state of construction. With a
    // device, the console draws on it and reads its keys instead: the system's own console,
    // whose key events are exact.
    void attach(Platform& platform, ConsoleDevice* device = nullptr);
    // Asks the terminal how it draws ambiguous-width characters and whether it speaks the kitty
    // keyboard protocol, waiting at most about 200 ms for the answers, and pushes that protocol
    // where it is spoken.
    void query_terminal();
    // Uses the given traits instead of asking the terminal.
    void set_traits(const TerminalTraits& traits);
    [[nodiscard]] const TerminalTraits& traits() const { return traits_; }
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

    // The millisecond clock. Writes out what was drawn first, since a clock read may end a wait.
    std::uint64_t now();
    // Busy wait of ms milliseconds on the clock: nothing the game drew is held back meanwhile.
    void wait(std::uint64_t ms);
    // Gives the processor away until the clock reaches deadline or a key arrives.
    void idle_until(std::uint64_t deadline);
    // Writes out everything gathered so far in one write.
    void flush();

    // Reads one word of a line typed for the name entry. The line is echoed from the cursor
    // on, and only up to the end of its row: the end of a long line shows, and the screen never
    // scrolls. A second word of the same line stays for the next call. Returns false when the
    // input has ended.
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

    void emit(std::string_view bytes);
    void emit_colour(int fg, int bg);
    void emit_locate(int x, int y);
    void emit_char(char32_t ch, int width);
    void put_char(char32_t ch);
    void send_colour();
    void place_terminal_cursor();
    [[nodiscard]] bool terminal_at_cursor() const;
    void forget_split_cells(int x, int y, int width);
    void repair_split_cells();
    void take_input();
    bool take_events(InputEvents& events);
    void apply_pending_events();
    void apply_to_key_table(const InputEvent& event);
    void draw_on_terminal(char32_t ch, int width);
    bool read_line_in_field(std::string& line);
    bool take_typed(LineEditor& editor);
    void echo_line(const LineEditor& editor, int field_x);
    void answer_query(const InputEvent& event);
    void handle_redraw_request();
    void repaint();
    void paint_small_terminal_notice(TermSize size);
    void release_finished_voices();
    SoundId load_voice(const char* name, std::uint64_t loop_ms);

    Platform* platform_ = nullptr;
    ConsoleDevice* device_ = nullptr;
    TerminalTraits traits_;
    CursorInfo cursor_info_;
    int fg_ = k_white;
    int bg_ = k_black;
    int x_ = 1;
    int y_ = 1;
    // Where the terminal's cursor stands, and the colours in force there: a position or a
    // colour is sent only when a character needs it and the terminal does not have it yet.
    // 0 and -1 when not known.
    int terminal_x_ = 0;
    int terminal_y_ = 0;
    int pen_fg_ = -1;
    int pen_bg_ = -1;
    bool move_pending_ = false;  // the game moved the cursor and has drawn nothing since
    bool too_small_ = false;     // the terminal is below 80 x 25: draw only in the buffer
    bool colour_stale_ = false;  // fg_, bg_ were set and are not sent yet
    struct SplitCell {
        int x = 0;
        int y = 0;
    };
    // Halves of full-width characters left behind by overwrites, drawn again as the output is
    // written unless something has been drawn over them by then.
    std::vector<SplitCell> split_cells_;
    std::array<std::uint32_t, 8> key_state_{};
    std::int16_t mouse_x_ = -1;
    std::int16_t mouse_y_ = -1;
    KeyDecoder decoder_;
    KeyStateTracker tracker_;
    std::vector<InputEvent> pending_events_;
    bool query_answered_ = false;
    std::map<std::int32_t, Voice> voices_;
    std::string out_;
    std::string pending_words_;
    ScreenBuffer screen_;
};

// The console of the game, from static initialisation to exit.
extern Console console;

}  // namespace kal
