#include "console/text.hpp"

#include <algorithm>
#include <array>
#include <utility>

#include "platform/code_page.hpp"

namespace kal {
namespace {

struct Range {
    char32_t first;
    char32_t last;
};

// The East Asian "ambiguous" characters that code page 932 holds as two-byte characters.
constexpr std::array<Range, 112> k_ambiguous_ranges{{
    {0x00A1, 0x00A1}, {0x00A4, 0x00A4}, {0x00A7, 0x00A8}, {0x00AA, 0x00AA}, {0x00AD, 0x00AE},
    {0x00B0, 0x00B4}, {0x00B6, 0x00BA}, {0x00BC, 0x00BF}, {0x00C6, 0x00C6}, {0x00D0, 0x00D0},
    {0x00D7, 0x00D8}, {0x00DE, 0x00E1}, {0x00E6, 0x00E6}, {0x00E8, 0x00EA}, {0x00EC, 0x00ED},
    {0x00F0, 0x00F0}, {0x00F2, 0x00F3}, {0x00F7, 0x00FA}, {0x00FC, 0x00FC}, {0x00FE, 0x00FE},
    {0x0391, 0x03A9}, {0x03B1, 0x03C9}, {0x0401, 0x0401}, {0x0410, 0x044F}, {0x0451, 0x0451},
    {0x2010, 0x2010}, {0x2013, 0x2016}, {0x2018, 0x2019}, {0x201C, 0x201D}, {0x2020, 0x2022},
    {0x2024, 0x2027}, {0x2030, 0x2030}, {0x2032, 0x2033}, {0x2035, 0x2035}, {0x203B, 0x203B},
    {0x203E, 0x203E}, {0x2103, 0x2103}, {0x2105, 0x2105}, {0x2109, 0x2109}, {0x2113, 0x2113},
    {0x2116, 0x2116}, {0x2121, 0x2122}, {0x2126, 0x2126}, {0x212B, 0x212B}, {0x2160, 0x216B},
    {0x2170, 0x2179}, {0x2190, 0x2199}, {0x21B8, 0x21B9}, {0x21D2, 0x21D2}, {0x21D4, 0x21D4},
    {0x21E7, 0x21E7}, {0x2200, 0x2200}, {0x2202, 0x2203}, {0x2207, 0x2208}, {0x220B, 0x220B},
    {0x220F, 0x220F}, {0x2211, 0x2211}, {0x2215, 0x2215}, {0x221A, 0x221A}, {0x221D, 0x2220},
    {0x2223, 0x2223}, {0x2225, 0x2225}, {0x2227, 0x222C}, {0x222E, 0x222E}, {0x2234, 0x2237},
    {0x223C, 0x223D}, {0x2248, 0x2248}, {0x224C, 0x224C}, {0x2252, 0x2252}, {0x2260, 0x2261},
    {0x2264, 0x2267}, {0x226A, 0x226B}, {0x226E, 0x226F}, {0x2282, 0x2283}, {0x2286, 0x2287},
    {0x2295, 0x2295}, {0x2299, 0x2299}, {0x22A5, 0x22A5}, {0x22BF, 0x22BF}, {0x2312, 0x2312},
    {0x2460, 0x24E9}, {0x24EB, 0x254B}, {0x2550, 0x2573}, {0x2580, 0x258F}, {0x2592, 0x2595},
    {0x25A0, 0x25A1}, {0x25A3, 0x25A9}, {0x25B2, 0x25B3}, {0x25B6, 0x25B7}, {0x25BC, 0x25BD},
    {0x25C0, 0x25C1}, {0x25C6, 0x25C8}, {0x25CB, 0x25CB}, {0x25CE, 0x25D1}, {0x25E2, 0x25E5},
    {0x25EF, 0x25EF}, {0x2605, 0x2606}, {0x2609, 0x2609}, {0x260E, 0x260F}, {0x261C, 0x261C},
    {0x261E, 0x261E}, {0x2640, 0x2640}, {0x2642, 0x2642}, {0x2660, 0x2661}, {0x2663, 0x2665},
    {0x2667, 0x266A}, {0x266C, 0x266D}, {0x266F, 0x266F}, {0x2776, 0x277F}, {0x3248, 0x324F},
    {0xE000, 0xF8FF}, {0xFFFD, 0xFFFD},
}};

// Characters whose right half continues a horizontal line; everything else is padded with a
// blank on a narrow terminal.
constexpr std::array<std::pair<char32_t, char32_t>, 16> k_companions{{
    {U'━', U'━'},
    {U'┏', U'━'},
    {U'┗', U'━'},
    {U'┣', U'━'},
    {U'┻', U'━'},
    {U'┳', U'━'},
    {U'╋', U'━'},
    {U'─', U'─'},
    {U'┌', U'─'},
    {U'└', U'─'},
    {U'├', U'─'},
    {U'┴', U'─'},
    {U'┬', U'─'},
    {U'┼', U'─'},
    {U'■', U'■'},
    {U'―', U'―'},
}};

bool is_cp932_lead_byte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

bool is_control_byte(unsigned char byte) {
    return byte < 0x20 || byte == 0x7F;
}

}  // namespace

char32_t next_code_point(std::string_view text, std::size_t& pos) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    int length = 0;
    char32_t ch = 0;
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    if ((lead & 0xE0U) == 0xC0U) {
        length = 2;
        ch = lead & 0x1FU;
    } else if ((lead & 0xF0U) == 0xE0U) {
        length = 3;
        ch = lead & 0x0FU;
    } else if ((lead & 0xF8U) == 0xF0U) {
        length = 4;
        ch = lead & 0x07U;
    } else {
        ++pos;
        return U'\uFFFD';
    }
    if (pos + static_cast<std::size_t>(length) > text.size()) {
        ++pos;
        return U'\uFFFD';
    }
    for (int i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[pos + static_cast<std::size_t>(i)]);
        if ((next & 0xC0U) != 0x80U) {
            ++pos;
            return U'\uFFFD';
        }
        ch = (ch << 6U) | (next & 0x3FU);
    }
    pos += static_cast<std::size_t>(length);
    return ch;
}

int cp932_width(char32_t ch) {
    const bool half_width_katakana = ch >= 0xFF61 && ch <= 0xFF9F;
    return (ch < 0x80 || half_width_katakana) ? 1 : 2;
}

bool is_ambiguous_width(char32_t ch) {
    const auto* found = std::upper_bound(k_ambiguous_ranges.begin(), k_ambiguous_ranges.end(), ch,
                                         [](char32_t c, const Range& r) { return c < r.first; });
    if (found == k_ambiguous_ranges.begin()) {
        return false;
    }
    return ch <= std::prev(found)->last;
}

char32_t narrow_companion(char32_t ch) {
    for (const auto& [shape, companion] : k_companions) {
        if (shape == ch) {
            return companion;
        }
    }
    return U' ';
}

void append_utf8(std::string& out, char32_t ch) {
    if (ch < 0x80) {
        out += static_cast<char>(ch);
    } else if (ch < 0x800) {
        out += static_cast<char>(0xC0U | (ch >> 6U));
        out += static_cast<char>(0x80U | (ch & 0x3FU));
    } else if (ch < 0x10000) {
        out += static_cast<char>(0xE0U | (ch >> 12U));
        out += static_cast<char>(0x80U | ((ch >> 6U) & 0x3FU));
        out += static_cast<char>(0x80U | (ch & 0x3FU));
    } else {
        out += static_cast<char>(0xF0U | (ch >> 18U));
        out += static_cast<char>(0x80U | ((ch >> 12U) & 0x3FU));
        out += static_cast<char>(0x80U | ((ch >> 6U) & 0x3FU));
        out += static_cast<char>(0x80U | (ch & 0x3FU));
    }
}

std::string cp932_to_utf8(std::string_view bytes) {
    std::string out;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const auto byte = static_cast<unsigned char>(bytes[pos]);
        if (is_control_byte(byte)) {
            out += '?';
            ++pos;
            continue;
        }
        if (byte < 0x80) {
            out += static_cast<char>(byte);
            ++pos;
            continue;
        }
        const std::size_t length =
            (is_cp932_lead_byte(byte) && pos + 1 < bytes.size()) ? std::size_t{2} : std::size_t{1};
        std::string converted;
        if (cp932_to_utf8_bytes(bytes.substr(pos, length), converted)) {
            out += converted;
            pos += length;
        } else {
            out += '?';
            ++pos;
        }
    }
    return out;
}

bool utf8_to_cp932(std::string_view text, std::string& out) {
    out.clear();
    return utf8_to_cp932_bytes(text, out);
}

std::string printable(std::string_view text) {
    std::string shown(text);
    for (char& ch : shown) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte < 0x20 || byte == 0x7F) {
            ch = '?';
        }
    }
    return shown;
}

bool is_control_character(char32_t ch) {
    return ch < 0x20 || ch == 0x7F || (ch >= 0x80 && ch < 0xA0);
}

bool cp932_holds(char32_t ch) {
    std::string utf8;
    append_utf8(utf8, ch);
    std::string bytes;
    return utf8_to_cp932(utf8, bytes);
}

std::size_t cp932_char_bytes(std::string_view bytes, std::size_t pos) {
    const bool lead = is_cp932_lead_byte(static_cast<unsigned char>(bytes[pos]));
    return lead && pos + 1 < bytes.size() ? 2 : 1;
}

std::string decode_typed(std::string_view bytes, bool cp932) {
    std::string out;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        if (!cp932) {
            append_utf8(out, next_code_point(bytes, pos));
            continue;
        }
        const std::size_t length = cp932_char_bytes(bytes, pos);
        std::string converted;
        if (cp932_to_utf8_bytes(bytes.substr(pos, length), converted) && !converted.empty()) {
            out += converted;
        } else {
            append_utf8(out, U'\uFFFD');
        }
        pos += length;
    }
    return out;
}

}  // namespace kal
