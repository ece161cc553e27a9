#pragma once

// The game's texts are UTF-8 in the source, but every column position follows code page 932:
// a character that takes two bytes there takes two columns on the screen. These helpers give
// each character its width, tell which ones terminals disagree about, and convert between
// UTF-8 and code page 932.

#include <cstddef>
#include <string>
#include <string_view>

namespace kal {

// Decodes the code point at pos and moves pos past it; a malformed sequence yields U+FFFD and
// moves past one byte.
char32_t next_code_point(std::string_view text, std::size_t& pos);

// Columns a character takes in code page 932: one for ASCII and half-width katakana, two for
// everything else.
int cp932_width(char32_t ch);

// East Asian "ambiguous" characters (box drawing, "■", the triangles, "―", "×", ...): two columns
// in code page 932, but most terminals draw them one column wide.
bool is_ambiguous_width(char32_t ch);

// On a terminal that draws ambiguous characters narrow, each such character is printed as two
// narrow cells; this is what goes into the second cell, chosen so that the shape holds
// ("┏" becomes "┏━", "┓" becomes "┓ ").
char32_t narrow_companion(char32_t ch);

void append_utf8(std::string& out, char32_t ch);

// Converts code page 932 bytes to UTF-8 for display; a byte sequence that is not code page 932
// becomes "?", and so does every control byte, so a name can never steer the terminal.
std::string cp932_to_utf8(std::string_view bytes);

// Converts UTF-8 to code page 932. Returns false, leaving out unspecified, when a character has
// no code page 932 form.
bool utf8_to_cp932(std::string_view text, std::string& out);

// Text from outside (an argument, a path) as it may be shown on the terminal: its control
// bytes as "?", so that a stray escape sequence in it never reaches the terminal.
std::string printable(std::string_view text);

// C0 and C1 control characters and DEL: never drawn, never part of a name.
bool is_control_character(char32_t ch);

// Whether code page 932 has the character, so that a name may hold it.
bool cp932_holds(char32_t ch);

// The bytes the code page 932 character at pos takes: two for a lead byte that has a byte after
// it, else one.
std::size_t cp932_char_bytes(std::string_view bytes, std::size_t pos);

// Text typed at the terminal, in code page 932 (under a Shift-JIS locale) or UTF-8, as UTF-8;
// a byte sequence that is not a character of that encoding becomes U+FFFD, which no name may
// hold.
std::string decode_typed(std::string_view bytes, bool cp932);

}  // namespace kal
