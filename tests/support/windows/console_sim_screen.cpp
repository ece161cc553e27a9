#include <array>
#include <memory>
#include <utility>

#include "console/backends/windows/console.hpp"
#include "console/text.hpp"
#include "forwarding_backend.hpp"
#include "platform/windows/system.hpp"
#include "sim_screen.hpp"

namespace kal::test {
namespace {

constexpr int k_cols = 80;
constexpr int k_rows = 25;
constexpr WORD k_blank_attribute = 0x07;

// The test program's standard output goes to a file; the console it runs in is reached by name
// and made the standard handles, as the game's own would be, once for the whole run.
void take_the_console() {
    static const bool taken = [] {
        const HANDLE out =
            CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        const HANDLE in =
            CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        nullptr, OPEN_EXISTING, 0, nullptr);
        SetStdHandle(STD_OUTPUT_HANDLE, out);
        SetStdHandle(STD_INPUT_HANDLE, in);
        SetConsoleOutputCP(932);
        SetConsoleMode(out, ENABLE_PROCESSED_OUTPUT);
        SetConsoleMode(in, ENABLE_WINDOW_INPUT | ENABLE_MOUSE_INPUT | ENABLE_EXTENDED_FLAGS);
        return true;
    }();
    (void)taken;
}

HANDLE console_out() {
    return GetStdHandle(STD_OUTPUT_HANDLE);
}

HANDLE console_in() {
    return GetStdHandle(STD_INPUT_HANDLE);
}

// The real console back-end; every show makes what was read back stale.
class WatchedDevice final : public ForwardingBackend {
public:
    WatchedDevice(std::unique_ptr<ConsoleBackend> device, bool& stale)
        : ForwardingBackend(*device), device_(std::move(device)), stale_(stale) {}

    void flush(const Frame& frame) override {
        ForwardingBackend::flush(frame);
        stale_ = true;
    }

private:
    std::unique_ptr<ConsoleBackend> device_;
    bool& stale_;
};

class ConsoleScreen final : public SimScreen {
public:
    explicit ConsoleScreen(Platform& platform);

    ConsoleBackend* device() override { return &device_; }
    void write(std::string_view /*bytes*/) override {}
    [[nodiscard]] TermCell cell(int x, int y) const override;
    void put_key(int key, bool down) override;
    void put_text(std::string_view utf8) override;
    void discard_input() override { FlushConsoleInputBuffer(console_in()); }
    [[nodiscard]] bool input_waiting() const override {
        DWORD waiting = 0;
        return GetNumberOfConsoleInputEvents(console_in(), &waiting) != 0 && waiting > 0;
    }

private:
    void read_back() const;
    void put_record(WORD key, wchar_t unit, bool down);

    bool stale_ = true;
    WatchedDevice device_;
    mutable std::array<TermCell, static_cast<std::size_t>(k_cols* k_rows)> cells_{};
};

// Each simulation starts on an empty console with nothing waiting on its input.
ConsoleScreen::ConsoleScreen(Platform& platform)
    : device_((take_the_console(), make_system_console(platform, console_out())), stale_) {
    DWORD done = 0;
    FillConsoleOutputAttribute(console_out(), k_blank_attribute, k_cols * k_rows, COORD{0, 0},
                               &done);
    FillConsoleOutputCharacterA(console_out(), ' ', k_cols * k_rows, COORD{0, 0}, &done);
    FlushConsoleInputBuffer(console_in());
}

// The console holds a full-width character in one cell, or, as Windows does, in a leading cell
// and a trailing one: either way it takes two columns of the game's screen.
void ConsoleScreen::read_back() const {
    std::array<CHAR_INFO, static_cast<std::size_t>(k_cols * k_rows)> raw{};
    SMALL_RECT region{0, 0, k_cols - 1, k_rows - 1};
    ReadConsoleOutputW(console_out(), raw.data(), COORD{k_cols, k_rows}, COORD{0, 0}, &region);
    for (int y = 0; y < k_rows; ++y) {
        int column = 0;
        for (int i = 0; i < k_cols && column < k_cols; ++i) {
            const CHAR_INFO& from = raw[static_cast<std::size_t>(y * k_cols + i)];
            if ((from.Attributes & COMMON_LVB_TRAILING_BYTE) != 0) {
                continue;
            }
            const char32_t ch = from.Char.UnicodeChar;
            TermCell cell;
            append_utf8(cell.text, ch);
            cell.fg = from.Attributes & 15;
            cell.bg = (from.Attributes >> 4) & 15;
            cell.width = cp932_width(ch);
            cells_[static_cast<std::size_t>(y * k_cols + column)] = cell;
            if (cell.width == 2 && column + 1 < k_cols) {
                cells_[static_cast<std::size_t>(y * k_cols + column + 1)] =
                    TermCell{"", cell.fg, cell.bg, 0};
            }
            column += cell.width;
        }
        for (; column < k_cols; ++column) {
            cells_[static_cast<std::size_t>(y * k_cols + column)] = TermCell{" ", 7, 0, 1};
        }
    }
}

TermCell ConsoleScreen::cell(int x, int y) const {
    if (stale_) {
        read_back();
        const_cast<ConsoleScreen*>(this)->stale_ = false;
    }
    return cells_[static_cast<std::size_t>((y - 1) * k_cols + (x - 1))];
}

void ConsoleScreen::put_record(WORD key, wchar_t unit, bool down) {
    INPUT_RECORD record{};
    record.EventType = KEY_EVENT;
    record.Event.KeyEvent.bKeyDown = down ? TRUE : FALSE;
    record.Event.KeyEvent.wRepeatCount = 1;
    record.Event.KeyEvent.wVirtualKeyCode = key;
    record.Event.KeyEvent.uChar.UnicodeChar = down ? unit : 0;
    DWORD written = 0;
    WriteConsoleInputW(console_in(), &record, 1, &written);
}

void ConsoleScreen::put_key(int key, bool down) {
    put_record(static_cast<WORD>(key), key == ' ' ? L' ' : 0, down);
}

void ConsoleScreen::put_text(std::string_view utf8) {
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const char32_t ch = next_code_point(utf8, pos);
        const WORD key = ch == U'\r' ? VK_RETURN : 0;
        if (ch >= 0x10000) {
            const char32_t rest = ch - 0x10000;
            put_record(0, static_cast<wchar_t>(0xD800 + (rest >> 10U)), true);
            put_record(0, static_cast<wchar_t>(0xDC00 + (rest & 0x3FFU)), true);
        } else {
            put_record(key, static_cast<wchar_t>(ch), true);
            put_record(key, static_cast<wchar_t>(ch), false);
        }
    }
}

}  // namespace

std::unique_ptr<SimScreen> make_sim_screen(Platform& platform) {
    return std::make_unique<ConsoleScreen>(platform);
}

}  // namespace kal::test
