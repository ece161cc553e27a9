#include "screens/grading.hpp"

#include <algorithm>
#include <string>

#include "console/text.hpp"

namespace kal {

int rank_in_place(const RankTable& table, int total) {
    if (total < table.back().score) {
        return 0;
    }
    const auto place = std::find_if(table.begin(), table.end(), [total](const RankEntry& entry) {
        return entry.score <= total;
    });
    return static_cast<int>(place - table.begin()) + 1;
}

int shown_seconds(int seconds) {
    return std::clamp(seconds, 0, 99);
}

int shown_total(int total) {
    return std::clamp(total, 0, 999);
}

namespace {

// A control character typed into a name (Ctrl-V Esc, a pasted escape sequence) would sit in
// Rank.dat ready to steer any terminal the file is shown on; such a name is asked for again.
// In code page 932 no byte of a two-byte character is below 0x40 or 0x7F.
bool has_control_byte(std::string_view bytes) {
    return std::any_of(bytes.begin(), bytes.end(), [](char byte) {
        const auto value = static_cast<unsigned char>(byte);
        return value < 0x20 || value == 0x7F;
    });
}

}  // namespace

bool set_entry_name(std::string_view typed, RankEntry& entry) {
    std::string bytes;
    if (!utf8_to_cp932(typed, bytes) || bytes.size() > k_name_max_bytes ||
        has_control_byte(bytes)) {
        return false;
    }
    const auto end = std::copy(bytes.begin(), bytes.end(), entry.name.begin());
    *end = '\0';
    return true;
}

}  // namespace kal
