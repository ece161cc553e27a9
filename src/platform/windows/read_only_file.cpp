#include <algorithm>

#include "platform/read_only_file.hpp"
#include "platform/windows/system.hpp"

namespace kal {
namespace {

HANDLE handle_of(std::intptr_t value) {
    return reinterpret_cast<HANDLE>(value);
}

// One read call takes at most this much, as ReadFile counts in 32 bits.
constexpr std::size_t k_largest_read = 1U << 30U;

}  // namespace

FileOpen ReadOnlyFile::open(const std::string& path) {
    close();
    // Others may go on reading, writing and replacing the file meanwhile, as on POSIX.
    const HANDLE file = CreateFileW(wide_path(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                   ? FileOpen::missing
                   : FileOpen::unreadable;
    }
    LARGE_INTEGER size{};
    if (GetFileType(file) != FILE_TYPE_DISK || GetFileSizeEx(file, &size) == 0) {
        CloseHandle(file);
        return FileOpen::unreadable;
    }
    handle_ = reinterpret_cast<std::intptr_t>(file);
    size_ = static_cast<std::uint64_t>(size.QuadPart);
    return FileOpen::opened;
}

void ReadOnlyFile::close() {
    if (is_open()) {
        CloseHandle(handle_of(handle_));
    }
    handle_ = k_closed;
    size_ = 0;
}

std::size_t ReadOnlyFile::read_at(std::uint64_t offset, std::span<std::uint8_t> out) {
    if (!is_open()) {
        return 0;
    }
    std::size_t done = 0;
    while (done < out.size()) {
        OVERLAPPED at{};
        const std::uint64_t position = offset + done;
        at.Offset = static_cast<DWORD>(position & 0xFFFFFFFFU);
        at.OffsetHigh = static_cast<DWORD>(position >> 32U);
        const auto wanted = static_cast<DWORD>(std::min(out.size() - done, k_largest_read));
        DWORD got = 0;
        if (ReadFile(handle_of(handle_), out.data() + done, wanted, &got, &at) == 0 || got == 0) {
            break;
        }
        done += got;
    }
    return done;
}

}  // namespace kal
