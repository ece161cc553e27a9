#pragma once

// A terminal for the real game on a pseudo-terminal: an 80 x 25 libvterm screen fed with every byte
// the game writes, read back as cells the way a player would see them.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

struct VTerm;
struct VTermScreen;
struct VTermState;

namespace kal::test {

inline constexpr int k_columns = 80;
inline constexpr int k_rows = 25;

// The second cell of a character that takes two cells.
inline constexpr char32_t k_wide_tail = 0xFFFFFFFF;

using RowCells = std::array<char32_t, k_columns>;

struct CursorPosition {
    int x = 1;
    int y = 1;
};

class ScreenModel {
public:
    ScreenModel();
    ~ScreenModel();
    ScreenModel(const ScreenModel&) = delete;
    ScreenModel& operator=(const ScreenModel&) = delete;

    void feed(std::string_view bytes);

    // Row y (1-based), one code point per cell: a blank cell is a space and the right half of a
    // wide character is k_wide_tail.
    [[nodiscard]] RowCells row_cells(int y) const;
    // Row y as UTF-8 text, the right halves of wide characters left out.
    [[nodiscard]] std::string row_text(int y) const;
    // Whether the text stands anywhere on one row of the screen.
    [[nodiscard]] bool shows(std::string_view text) const;
    // A digest of every cell's character and colours: equal screens give equal digests.
    [[nodiscard]] std::uint64_t fingerprint() const;
    [[nodiscard]] CursorPosition cursor() const;

private:
    VTerm* vt_;
    VTermScreen* screen_;
    VTermState* state_;
};

}  // namespace kal::test
