#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/read_only_file.hpp"

namespace kal {

FileOpen ReadOnlyFile::open(const std::string& path) {
    close();
    // O_NONBLOCK keeps a FIFO under the name from hanging the game before the regular-file test
    // below refuses it.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return errno == ENOENT || errno == ENOTDIR ? FileOpen::missing : FileOpen::unreadable;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return FileOpen::unreadable;
    }
    handle_ = fd;
    size_ = static_cast<std::uint64_t>(info.st_size);
    return FileOpen::opened;
}

void ReadOnlyFile::close() {
    if (is_open()) {
        ::close(static_cast<int>(handle_));
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
        const ssize_t got = ::pread(static_cast<int>(handle_), out.data() + done, out.size() - done,
                                    static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    return done;
}

}  // namespace kal
