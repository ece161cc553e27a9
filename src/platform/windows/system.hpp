#pragma once

// What the Windows files of the platform share: the system header, kept lean, a handle that
// closes itself, and text in the system's code pages.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>
#include <string_view>
#include <utility>

namespace kal {

class OwnedHandle {
public:
    explicit OwnedHandle(HANDLE handle) : handle_(handle) {}
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    ~OwnedHandle() {
        if (is_open()) {
            CloseHandle(handle_);
        }
    }

    [[nodiscard]] HANDLE get() const { return handle_; }
    [[nodiscard]] bool is_open() const {
        return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr;
    }
    // Closes now and reports whether the close succeeded; closing a closed handle does nothing.
    bool close() {
        return !is_open() || CloseHandle(std::exchange(handle_, INVALID_HANDLE_VALUE)) != 0;
    }

private:
    HANDLE handle_;
};

// The UTF-16 form of text in the code page; false when a byte sequence is no character of it.
bool utf16_from(UINT code_page, std::string_view text, std::wstring& out);

// Writes the words of set_parting_words on standard error: called once, as the session ends.
void write_parting_words();

// The UTF-8 form of UTF-16 text; a lone surrogate becomes U+FFFD.
std::string utf8_from(std::wstring_view text);

// A path as the game holds it, in UTF-8 whatever the system's code pages, in the form the wide
// file functions take.
std::wstring wide_path(const std::string& path);

}  // namespace kal
