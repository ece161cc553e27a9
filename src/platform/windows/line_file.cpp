#include <array>

#include "platform/line_file.hpp"
#include "platform/read_only_file.hpp"
#include "platform/windows/system.hpp"

namespace kal {
namespace {

bool ends_with_line_end(HANDLE file, std::uint64_t size) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>((size - 1) & 0xFFFFFFFFU);
    at.OffsetHigh = static_cast<DWORD>((size - 1) >> 32U);
    char last = '\n';
    DWORD got = 0;
    return ReadFile(file, &last, 1, &got, &at) == 0 || got != 1 || last == '\n';
}

}  // namespace

// Opened for appending only, the file takes each write whole at its end, after whatever another
// game appended meanwhile, so that lines never mix.
bool append_line(const std::string& path, std::string_view header, std::string_view line) {
    OwnedHandle file(CreateFileW(wide_path(path).c_str(), FILE_APPEND_DATA | GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file.is_open() || GetFileType(file.get()) != FILE_TYPE_DISK ||
        GetFileSizeEx(file.get(), &size) == 0) {
        return false;
    }
    std::string bytes;
    if (size.QuadPart == 0) {
        bytes += header;
    } else if (!ends_with_line_end(file.get(), static_cast<std::uint64_t>(size.QuadPart))) {
        bytes += '\n';
    }
    bytes += line;
    DWORD put = 0;
    return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr) !=
               0 &&
           put == bytes.size() && FlushFileBuffers(file.get()) != 0 && file.close();
}

LineFileRead read_line_file(const std::string& path, std::string& contents) {
    contents.clear();
    ReadOnlyFile file;
    switch (file.open(path)) {
        case FileOpen::missing:
            return LineFileRead::missing;
        case FileOpen::unreadable:
            return LineFileRead::unreadable;
        case FileOpen::opened:
            break;
    }
    std::array<std::uint8_t, 65536> chunk{};
    std::uint64_t offset = 0;
    for (;;) {
        const std::size_t got = file.read_at(offset, chunk);
        if (got == 0) {
            return offset >= file.size() ? LineFileRead::read : LineFileRead::unreadable;
        }
        contents.append(reinterpret_cast<const char*>(chunk.data()), got);
        offset += got;
    }
}

}  // namespace kal
