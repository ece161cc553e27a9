#pragma once

// A regular file opened for reading: the ranking and the sound files. Opening never blocks and
// takes nothing but a regular file, so that a pipe, a device or a folder under the name can
// neither hang the game nor be read as data.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace kal {

enum class FileOpen : std::uint8_t {
    opened,
    missing,     // nothing of that name, or a folder on its path that is not there
    unreadable,  // there, but not a regular file, or no permission
};

class ReadOnlyFile {
public:
    ReadOnlyFile() = default;
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
    ~ReadOnlyFile() { close(); }

    FileOpen open(const std::string& path);
    void close();
    [[nodiscard]] bool is_open() const { return handle_ != k_closed; }
    // The size the file had when it was opened.
    [[nodiscard]] std::uint64_t size() const { return size_; }
    // Reads up to out.size() bytes from offset; how many arrived, 0 at the end or on failure.
    std::size_t read_at(std::uint64_t offset, std::span<std::uint8_t> out);

private:
    static constexpr std::intptr_t k_closed = -1;
    std::intptr_t handle_ = k_closed;  // the descriptor or handle of the platform
    std::uint64_t size_ = 0;
};

}  // namespace kal
