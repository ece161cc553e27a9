#include <vterm.h>

#include "console/text.hpp"
#include "sim_screen.hpp"

namespace kal::test {
namespace {

// The same table both ways: palette blue 1 is ANSI 4 and ANSI 4 is palette blue 1.
constexpr int ansi_to_palette[8] = {0, 4, 2, 6, 1, 5, 3, 7};

int palette_of(const VTermColor& colour, bool foreground) {
    if (foreground ? VTERM_COLOR_IS_DEFAULT_FG(&colour) : VTERM_COLOR_IS_DEFAULT_BG(&colour)) {
        return -1;
    }
    if (!VTERM_COLOR_IS_INDEXED(&colour)) {
        return -1;
    }
    const int index = colour.indexed.idx;
    return (index & 8) | ansi_to_palette[index & 7];
}

class VtermScreen final : public SimScreen {
public:
    VtermScreen() : vt_(vterm_new(25, 80)), screen_(vterm_obtain_screen(vt_)) {
        vterm_set_utf8(vt_, 1);
        vterm_screen_enable_altscreen(screen_, 1);
        vterm_screen_reset(screen_, 1);
    }
    ~VtermScreen() override { vterm_free(vt_); }
    VtermScreen(const VtermScreen&) = delete;
    VtermScreen& operator=(const VtermScreen&) = delete;

    ConsoleBackend* device() override { return nullptr; }
    void write(std::string_view bytes) override {
        vterm_input_write(vt_, bytes.data(), bytes.size());
    }
    [[nodiscard]] TermCell cell(int x, int y) const override;
    void put_key(int /*key*/, bool /*down*/) override {}
    void put_text(std::string_view /*utf8*/) override {}
    void discard_input() override {}
    [[nodiscard]] bool input_waiting() const override { return false; }

private:
    VTerm* vt_;
    VTermScreen* screen_;
};

TermCell VtermScreen::cell(int x, int y) const {
    VTermScreenCell raw{};
    vterm_screen_get_cell(screen_, VTermPos{y - 1, x - 1}, &raw);
    TermCell cell;
    for (const std::uint32_t ch : raw.chars) {
        if (ch == 0) {
            break;
        }
        append_utf8(cell.text, ch);
    }
    cell.fg = palette_of(raw.fg, true);
    cell.bg = palette_of(raw.bg, false);
    cell.width = raw.width;
    return cell;
}

}  // namespace

std::unique_ptr<SimScreen> make_sim_screen(Platform& /*platform*/) {
    return std::make_unique<VtermScreen>();
}

}  // namespace kal::test
