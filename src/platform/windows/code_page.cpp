#include <algorithm>
#include <climits>

#include "platform/code_page.hpp"
#include "platform/windows/system.hpp"

namespace kal {
namespace {

constexpr UINT k_cp932 = 932;

// Appends the text of the UTF-16 characters in the code page; false when one has no form there.
bool append_in_code_page(UINT code_page, std::wstring_view text, std::string& out) {
    if (text.empty()) {
        return true;
    }
    const int length = static_cast<int>(text.size());
    // Only a code page like 932 reports a character it cannot hold; UTF-8 holds them all.
    const DWORD flags = code_page == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL lost = FALSE;
    BOOL* lost_report = code_page == CP_UTF8 ? nullptr : &lost;
    const int size = WideCharToMultiByte(code_page, flags, text.data(), length, nullptr, 0, nullptr,
                                         lost_report);
    if (size <= 0 || lost != FALSE) {
        return false;
    }
    const std::size_t start = out.size();
    out.resize(start + static_cast<std::size_t>(size));
    WideCharToMultiByte(code_page, flags, text.data(), length, out.data() + start, size, nullptr,
                        nullptr);
    return true;
}

// Windows's table of code page 932 gives a few single bytes that are no character of it a
// place of their own: 0x80 as the control character U+0080, and 0xA0 and 0xFD to 0xFF as the
// private-use U+F8F0 to U+F8F3. They count as no character, as everywhere else, so that a
// damaged name never carries a control character to the screen.
bool is_outside_cp932(wchar_t unit) {
    return unit == 0x80 || (unit >= 0xF8F0 && unit <= 0xF8F3);
}

bool convert(UINT from, UINT to, std::string_view text, std::string& out) {
    std::wstring wide;
    return utf16_from(from, text, wide) &&
           std::none_of(wide.begin(), wide.end(), is_outside_cp932) &&
           append_in_code_page(to, wide, out);
}

}  // namespace

bool utf16_from(UINT code_page, std::string_view text, std::wstring& out) {
    out.clear();
    if (text.empty()) {
        return true;
    }
    if (text.size() > INT_MAX) {
        return false;
    }
    const int length = static_cast<int>(text.size());
    const int size =
        MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, text.data(), length, nullptr, 0);
    if (size <= 0) {
        return false;
    }
    out.resize(static_cast<std::size_t>(size));
    MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, text.data(), length, out.data(), size);
    return true;
}

std::string utf8_from(std::wstring_view text) {
    std::string out;
    append_in_code_page(CP_UTF8, text, out);
    return out;
}

std::wstring wide_path(const std::string& path) {
    // A name that is not UTF-8 stays empty, which names no file.
    std::wstring wide;
    utf16_from(CP_UTF8, path, wide);
    return wide;
}

bool cp932_to_utf8_bytes(std::string_view bytes, std::string& out) {
    return convert(k_cp932, CP_UTF8, bytes, out);
}

bool utf8_to_cp932_bytes(std::string_view text, std::string& out) {
    return convert(CP_UTF8, k_cp932, text, out);
}

}  // namespace kal
