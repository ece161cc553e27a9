#include <algorithm>
#include <array>
#include <random>
#include <string_view>

#include "platform/replace_file.hpp"
#include "platform/windows/system.hpp"

namespace kal {
namespace {

// A temporary of ours left behind by a kill is removed at the next start once it is this old:
// no save of a running game takes that long, so it cannot be one in progress.
constexpr std::uint64_t k_stale_temporary_100ns = 60ULL * 10'000'000ULL;
// A temporary is the file's name, a dot and this many letters or digits, as on POSIX.
constexpr std::size_t k_temporary_letters = 6;
constexpr std::string_view k_letters =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
// Names to try before giving up on a temporary: another one of that name is all but unheard of.
constexpr int k_temporary_tries = 16;

bool write_all(HANDLE file, std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD put = 0;
        const auto wanted =
            static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1U << 30U));
        if (WriteFile(file, bytes.data() + done, wanted, &put, nullptr) == 0 || put == 0) {
            return false;
        }
        done += put;
    }
    return true;
}

std::wstring temporary_name(const std::wstring& target) {
    static std::mt19937 pick(std::random_device{}());
    std::uniform_int_distribution<std::size_t> letter(0, k_letters.size() - 1);
    std::wstring name = target + L".";
    for (std::size_t i = 0; i < k_temporary_letters; ++i) {
        name += static_cast<wchar_t>(k_letters[letter(pick)]);
    }
    return name;
}

// Only a regular file that we may write is ever replaced; a read-only file or something else
// under its name (a folder, a device) is the player's business.
bool may_replace(const std::wstring& target) {
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND;
    }
    return (attributes &
            (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DEVICE)) == 0;
}

enum class SaveOutcome : std::uint8_t { saved, no_temporary, failed };

// The new bytes go to a temporary file beside the target, flushed, then moved over it; the
// move itself is written through before it returns.
SaveOutcome save_through_temporary(const std::wstring& target,
                                   std::span<const std::uint8_t> bytes) {
    for (int attempt = 0; attempt < k_temporary_tries; ++attempt) {
        const std::wstring temporary = temporary_name(target);
        OwnedHandle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.is_open()) {
            if (GetLastError() == ERROR_FILE_EXISTS) {
                continue;
            }
            return SaveOutcome::no_temporary;
        }
        const bool written =
            write_all(file.get(), bytes) && FlushFileBuffers(file.get()) != 0 && file.close();
        if (!written || MoveFileExW(temporary.c_str(), target.c_str(),
                                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
            file.close();
            DeleteFileW(temporary.c_str());
            return SaveOutcome::failed;
        }
        return SaveOutcome::saved;
    }
    return SaveOutcome::no_temporary;
}

// Losing atomicity in the rare folder we may not write is better than losing what the file
// was to keep: a kill in the middle of this write could tear it.
bool rewrite_in_place(const std::wstring& target, std::span<const std::uint8_t> bytes) {
    OwnedHandle file(CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.is_open() || GetFileType(file.get()) != FILE_TYPE_DISK) {
        return false;
    }
    return write_all(file.get(), bytes) && SetEndOfFile(file.get()) != 0 &&
           FlushFileBuffers(file.get()) != 0 && file.close();
}

std::uint64_t as_count(FILETIME time) {
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32U) | time.dwLowDateTime;
}

bool is_temporary_letters(std::wstring_view letters) {
    return letters.size() == k_temporary_letters &&
           std::all_of(letters.begin(), letters.end(), [](wchar_t c) {
               return c < 0x80 && k_letters.find(static_cast<char>(c)) != std::string_view::npos;
           });
}

}  // namespace

bool replace_file(const std::string& path, std::span<const std::uint8_t> bytes) {
    const std::wstring target = wide_path(path);
    if (target.empty() || !may_replace(target)) {
        return false;
    }
    const SaveOutcome outcome = save_through_temporary(target, bytes);
    return outcome == SaveOutcome::saved ||
           (outcome == SaveOutcome::no_temporary && rewrite_in_place(target, bytes));
}

void remove_stale_temporaries(const std::string& path, std::uint64_t largest_size) {
    const std::wstring target = wide_path(path);
    if (target.empty()) {
        return;
    }
    const std::size_t name_start = target.find_last_of(L"\\/:") + 1;
    const std::wstring folder = target.substr(0, name_start);
    const std::wstring pattern = target + L".*";
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    FILETIME now_time{};
    GetSystemTimeAsFileTime(&now_time);
    const std::uint64_t now = as_count(now_time);
    const std::wstring stem = target.substr(name_start) + L".";
    do {
        const std::wstring_view name(found.cFileName);
        const bool our_name =
            name.starts_with(stem) && is_temporary_letters(name.substr(stem.size()));
        const std::uint64_t size =
            (static_cast<std::uint64_t>(found.nFileSizeHigh) << 32U) | found.nFileSizeLow;
        const bool regular =
            (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT |
                                       FILE_ATTRIBUTE_DEVICE)) == 0;
        const std::uint64_t written = as_count(found.ftLastWriteTime);
        if (our_name && regular && size <= largest_size && now > written &&
            now - written > k_stale_temporary_100ns) {
            DeleteFileW((folder + std::wstring(name)).c_str());
        }
    } while (FindNextFileW(search, &found) != 0);
    FindClose(search);
}

}  // namespace kal
