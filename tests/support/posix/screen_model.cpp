#include "screen_model.hpp"

#include <vterm.h>

#include "console/text.hpp"

namespace kal::test {
namespace {

constexpr std::uint64_t k_fnv_offset = 14695981039346656037ULL;
constexpr std::uint64_t k_fnv_prime = 1099511628211ULL;

void mix(std::uint64_t& digest, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        digest ^= (value >> static_cast<unsigned>(shift)) & 0xFFU;
        digest *= k_fnv_prime;
    }
}

std::uint32_t colour_key(const VTermColor& colour) {
    if (VTERM_COLOR_IS_INDEXED(&colour)) {
        return 0x1000000U | colour.indexed.idx;
    }
    return (std::uint32_t{colour.rgb.red} << 16U) | (std::uint32_t{colour.rgb.green} << 8U) |
           colour.rgb.blue;
}

VTermScreenCell cell_at(VTermScreen* screen, int x, int y) {
    VTermScreenCell cell{};
    vterm_screen_get_cell(screen, VTermPos{y - 1, x - 1}, &cell);
    return cell;
}

}  // namespace

ScreenModel::ScreenModel()
    : vt_(vterm_new(k_rows, k_columns)),
      screen_(vterm_obtain_screen(vt_)),
      state_(vterm_obtain_state(vt_)) {
    vterm_set_utf8(vt_, 1);
    vterm_screen_enable_altscreen(screen_, 1);
    vterm_screen_reset(screen_, 1);
}

ScreenModel::~ScreenModel() {
    vterm_free(vt_);
}

void ScreenModel::feed(std::string_view bytes) {
    vterm_input_write(vt_, bytes.data(), bytes.size());
}

RowCells ScreenModel::row_cells(int y) const {
    RowCells cells{};
    for (int x = 1; x <= k_columns; ++x) {
        const VTermScreenCell cell = cell_at(screen_, x, y);
        char32_t ch = cell.chars[0];
        if (ch == 0) {
            ch = U' ';
        }
        if (x > 1 && cells[static_cast<std::size_t>(x - 2)] != k_wide_tail &&
            cell_at(screen_, x - 1, y).width == 2) {
            ch = k_wide_tail;
        }
        cells[static_cast<std::size_t>(x - 1)] = ch;
    }
    return cells;
}

std::string ScreenModel::row_text(int y) const {
    std::string text;
    for (const char32_t ch : row_cells(y)) {
        if (ch != k_wide_tail) {
            append_utf8(text, ch);
        }
    }
    return text;
}

bool ScreenModel::shows(std::string_view text) const {
    for (int y = 1; y <= k_rows; ++y) {
        if (row_text(y).find(text) != std::string::npos) {
            return true;
        }
    }
    return false;
}

std::uint64_t ScreenModel::fingerprint() const {
    std::uint64_t digest = k_fnv_offset;
    for (int y = 1; y <= k_rows; ++y) {
        for (int x = 1; x <= k_columns; ++x) {
            const VTermScreenCell cell = cell_at(screen_, x, y);
            mix(digest, cell.chars[0]);
            mix(digest, colour_key(cell.fg));
            mix(digest, colour_key(cell.bg));
        }
    }
    return digest;
}

CursorPosition ScreenModel::cursor() const {
    VTermPos pos{};
    vterm_state_get_cursorpos(state_, &pos);
    return {pos.col + 1, pos.row + 1};
}

}  // namespace kal::test
