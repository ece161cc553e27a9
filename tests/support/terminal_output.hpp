#pragma once

// Reads back what the console wrote to the terminal and finds anything that is not the
// console's own: an escape sequence of a kind the console never sends, or a control byte or
// broken character in the text between them. Bytes from a file or from the keyboard that got
// through to the terminal unfiltered show up here.

#include <cstddef>
#include <string>
#include <string_view>

#include "console/text.hpp"

namespace kal::test {

// The final bytes of the control sequences the console sends: positions, colours, clears,
// the cursor, and the start-up queries.
inline constexpr std::string_view k_console_finals = "HmJKhlucn";

inline bool is_sequence_parameter(unsigned char byte) {
    return (byte >= '0' && byte <= '9') || byte == ';' || byte == '?' || byte == '<' || byte == '>';
}

// Length of the console's control sequence at pos, or 0 when the bytes there are no such
// sequence.
inline std::size_t console_sequence_length(std::string_view out, std::size_t pos) {
    if (pos + 2 >= out.size() || out[pos + 1] != '[') {
        return 0;
    }
    std::size_t end = pos + 2;
    while (end < out.size() && is_sequence_parameter(static_cast<unsigned char>(out[end]))) {
        ++end;
    }
    if (end == out.size() || k_console_finals.find(out[end]) == std::string_view::npos) {
        return 0;
    }
    return end + 1 - pos;
}

// Length of the printable UTF-8 character at pos, or 0 for a control character (C0, DEL, C1)
// or bytes that are not well-formed UTF-8 (cut short, overlong, a surrogate, beyond U+10FFFF).
inline std::size_t printable_utf8_length(std::string_view out, std::size_t pos) {
    std::size_t next = pos;
    const char32_t ch = next_code_point(out, next);
    const std::size_t length = next - pos;
    const std::size_t shortest = ch < 0x80 ? 1 : ch < 0x800 ? 2 : ch < 0x10000 ? 3 : 4;
    const bool malformed = length != shortest;  // a broken sequence reads as U+FFFD, one byte
    const bool control = ch < 0x20 || ch == 0x7F || (ch >= 0x80 && ch < 0xA0);
    const bool surrogate = ch >= 0xD800 && ch <= 0xDFFF;
    return malformed || control || surrogate || ch > 0x10FFFF ? 0 : length;
}

// In code page 932 every byte from 0x20 up is text, except DEL.
inline std::size_t printable_cp932_length(std::string_view out, std::size_t pos) {
    const auto byte = static_cast<unsigned char>(out[pos]);
    return byte >= 0x20 && byte != 0x7F ? 1 : 0;
}

// Empty when every byte is the console's own; otherwise where the first foreign byte is and
// what surrounds it.
inline std::string foreign_terminal_bytes(std::string_view out, bool shift_jis = false) {
    std::size_t pos = 0;
    while (pos < out.size()) {
        std::size_t length = 0;
        if (out[pos] == '\x1b') {
            length = console_sequence_length(out, pos);
        } else {
            length = shift_jis ? printable_cp932_length(out, pos) : printable_utf8_length(out, pos);
        }
        if (length == 0) {
            const std::size_t from = pos < 16 ? 0 : pos - 16;
            std::string shown;
            for (const char byte : out.substr(from, 32)) {
                const auto value = static_cast<unsigned char>(byte);
                shown += value >= 0x20 && value < 0x7F
                             ? std::string(1, byte)
                             : "\\x" + std::string{"0123456789abcdef"[value >> 4U]} +
                                   "0123456789abcdef"[value & 15U];
            }
            return "foreign byte at " + std::to_string(pos) + ": " + shown;
        }
        pos += length;
    }
    return {};
}

}  // namespace kal::test
