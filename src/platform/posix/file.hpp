#pragma once

// What the POSIX file code of the game shares: a file descriptor that closes itself, and the
// file-size signal held off while a file is written.

#include <signal.h>
#include <unistd.h>

#include <utility>

namespace kal {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }

    [[nodiscard]] int get() const { return fd_; }
    [[nodiscard]] bool is_open() const { return fd_ >= 0; }

    // Closes now and reports whether the close succeeded; on some file systems a failed
    // write only shows up here.
    bool close() { return ::close(std::exchange(fd_, -1)) == 0; }

private:
    int fd_;
};

// A write past the file-size limit raises SIGXFSZ, which would end the game. The game's session
// ignores it throughout; a file written outside one (a test, a tool) ignores it while it is
// written, so that the write just fails.
class IgnoreFileSizeSignal {
public:
    IgnoreFileSizeSignal() {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        saved_ = ::sigaction(SIGXFSZ, &ignore, &previous_) == 0;
    }
    IgnoreFileSizeSignal(const IgnoreFileSizeSignal&) = delete;
    IgnoreFileSizeSignal& operator=(const IgnoreFileSizeSignal&) = delete;
    ~IgnoreFileSizeSignal() {
        if (saved_) {
            ::sigaction(SIGXFSZ, &previous_, nullptr);
        }
    }

private:
    struct sigaction previous_ {};
    bool saved_ = false;
};

}  // namespace kal
