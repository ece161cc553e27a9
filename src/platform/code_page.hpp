#pragma once

// Code page 932 (Shift-JIS as Windows has it) to and from UTF-8, by the system's own tables:
// the C library's iconv on POSIX, the code page functions on Windows.

#include <string>
#include <string_view>

namespace kal {

// Appends the UTF-8 form of the code page 932 bytes to out; false when any of them is not a
// character of code page 932 (out then holds what came before it).
bool cp932_to_utf8_bytes(std::string_view bytes, std::string& out);

// Appends the code page 932 form of the UTF-8 text to out; false when any character has none.
bool utf8_to_cp932_bytes(std::string_view text, std::string& out);

}  // namespace kal
