#include "platform/line_file.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <utility>

#include "platform/posix/file.hpp"

namespace kal {
namespace {

// O_NONBLOCK keeps a FIFO under the file's name from hanging the game.
constexpr int k_append_flags = O_RDWR | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC;
constexpr int k_read_flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC;
// What a new file gets before the umask: what every program's text files get.
constexpr mode_t k_new_file_mode = 0666;

bool ends_with_line_end(int fd, off_t size) {
    char last = '\n';
    return ::pread(fd, &last, 1, size - 1) != 1 || last == '\n';
}

// One write call: with O_APPEND the kernel puts the whole of it at the end of the file, after
// whatever another game appended meanwhile, so that lines never mix.
bool write_once(int fd, const std::string& bytes) {
    ssize_t put = 0;
    do {
        put = ::write(fd, bytes.data(), bytes.size());
    } while (put < 0 && errno == EINTR);
    return put == static_cast<ssize_t>(bytes.size());
}

}  // namespace

bool append_line(const std::string& path, std::string_view header, std::string_view line) {
    const IgnoreFileSizeSignal keep_running;
    FileDescriptor file(::open(path.c_str(), k_append_flags, k_new_file_mode));
    struct stat info {};
    if (!file.is_open() || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return false;
    }
    std::string bytes;
    if (info.st_size == 0) {
        bytes += header;
    } else if (!ends_with_line_end(file.get(), info.st_size)) {
        bytes += '\n';
    }
    bytes += line;
    return write_once(file.get(), bytes) && ::fdatasync(file.get()) == 0 && file.close();
}

LineFileRead read_line_file(const std::string& path, std::string& contents) {
    contents.clear();
    const FileDescriptor file(::open(path.c_str(), k_read_flags));
    if (!file.is_open()) {
        return errno == ENOENT || errno == ENOTDIR ? LineFileRead::missing
                                                   : LineFileRead::unreadable;
    }
    struct stat info {};
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return LineFileRead::unreadable;
    }
    std::array<char, 65536> chunk{};
    for (;;) {
        const ssize_t got = ::read(file.get(), chunk.data(), chunk.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return LineFileRead::unreadable;
        }
        if (got == 0) {
            return LineFileRead::read;
        }
        contents.append(chunk.data(), static_cast<std::size_t>(got));
    }
}

}  // namespace kal
