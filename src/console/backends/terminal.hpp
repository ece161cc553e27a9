#pragma once

// The terminal as the Console's back-end: what the game draws goes out as text and escape
// sequences, gathered and written in one piece at every flush; the terminal's bytes come in
// through the key decoder. Used on Linux, and on Windows when the output is not a console.

#include <string>
#include <string_view>
#include <vector>

#include "console/backend.hpp"
#include "console/backends/byte_input.hpp"
#include "platform/platform.hpp"

namespace kal {

class TerminalBackend final : public ConsoleBackend {
public:
    explicit TerminalBackend(Platform& platform);

    void start() override;
    bool query(const Frame& frame) override;
    [[nodiscard]] const TerminalTraits& traits() const override { return traits_; }
    void set_traits(const TerminalTraits& traits) override { traits_ = traits; }
    // Exact once the kitty keyboard protocol is pushed: the terminal then reports releases.
    [[nodiscard]] bool exact_keys() const override { return traits_.kitty_keyboard; }

    void colour_set() override { colour_stale_ = true; }
    void moved() override { move_pending_ = true; }
    void cursor_changed(const CursorInfo& cursor) override;
    void put(ScreenBuffer& screen, int x, int y, char32_t ch, int width, int fg, int bg) override;
    bool clear(int fg, int bg) override;
    void flush(const Frame& frame) override;

    // While the terminal is too small for the game and the notice covers it.
    [[nodiscard]] bool covered() const override { return too_small_; }

    bool read_events(InputEvents& out, std::uint64_t time_ms) override;
    void begin_line() override;
    void end_line() override;

private:
    struct SplitCell {
        int x = 0;
        int y = 0;
    };

    void emit(std::string_view bytes);
    void emit_colour(int fg, int bg);
    void emit_locate(int x, int y);
    void emit_char(char32_t ch, int width);
    void send_colour(int fg, int bg);
    [[nodiscard]] bool terminal_at(int x, int y) const;
    void forget_split_cells(int x, int y, int width);
    void repair_split_cells(const ScreenBuffer& screen);
    void answer_query(const InputEvent& event);
    void wipe_probe();
    void fit_to_terminal(const Frame& frame, bool redraw);
    void repaint(const Frame& frame);
    void paint_small_terminal_notice(TermSize size);

    Platform& platform_;
    TerminalTraits traits_;
    // Where the terminal's cursor stands, and the colours in force there: a position or a
    // colour is sent only when a character needs it and the terminal does not have it yet.
    // 0 and -1 when not known.
    int terminal_x_ = 0;
    int terminal_y_ = 0;
    int pen_fg_ = -1;
    int pen_bg_ = -1;
    bool move_pending_ = false;  // the game moved the cursor and has drawn nothing since
    bool too_small_ = false;     // the terminal is below 80 x 25: draw only in the buffer
    bool size_checked_ = false;  // the terminal's size was looked at for the first frame
    bool colour_stale_ = false;  // the game set colours that are not sent yet
    bool query_answered_ = false;
    // Halves of full-width characters left behind by overwrites, drawn again as the output is
    // written unless something has been drawn over them by then.
    std::vector<SplitCell> split_cells_;
    ByteInput input_;
    // Keys that came while the start-up queries were waiting for their answers.
    std::vector<InputEvent> held_;
    std::string out_;
};

}  // namespace kal
