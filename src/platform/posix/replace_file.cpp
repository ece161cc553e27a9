#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string_view>
#include <utility>

#include "platform/posix/file.hpp"
#include "platform/replace_file.hpp"

namespace kal {
namespace {

// A temporary of ours left behind by a kill is removed at the next start once it is this old:
// no save of a running game takes that long, so it cannot be one in progress.
constexpr std::time_t k_stale_temporary_seconds = 60;
// mkostemp replaces these six characters with letters and digits.
constexpr std::string_view k_temporary_suffix = ".XXXXXX";

bool write_all(int fd, std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(put);
    }
    return true;
}

// A file that is a symbolic link is updated where it points, and stays a link.
std::string resolve_link(const std::string& path) {
    struct stat link {};
    if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) {
        return path;
    }
    const std::unique_ptr<char, decltype(&std::free)> target(::realpath(path.c_str(), nullptr),
                                                             &std::free);
    return target ? std::string(target.get()) : path;
}

// The permission bits the new file gets: those of the file it replaces, or, for a new file,
// what creating it directly would have given.
bool replacement_mode(const std::string& target, mode_t& mode) {
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0) {
        // Only a regular file that we may write is ever replaced; a read-only file or
        // something else under its name is the player's business.
        if (!S_ISREG(old.st_mode) || ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
            return false;
        }
        mode = old.st_mode & 07777;
        return true;
    }
    if (errno != ENOENT) {
        return false;
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = static_cast<mode_t>(0666 & ~mask);
    return true;
}

std::filesystem::path directory_of(const std::string& target) {
    const std::filesystem::path directory = std::filesystem::path(target).parent_path();
    return directory.empty() ? "." : directory;
}

void sync_directory_of(const std::string& target) {
    const FileDescriptor dir(
        ::open(directory_of(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.is_open()) {
        ::fsync(dir.get());
    }
}

enum class SaveOutcome : std::uint8_t { saved, no_temporary, failed };

// The new bytes go to a temporary file beside the target, flushed, then renamed over it.
SaveOutcome save_through_temporary(const std::string& target, mode_t mode,
                                   std::span<const std::uint8_t> bytes) {
    std::string temporary = target + std::string(k_temporary_suffix);
    FileDescriptor file(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!file.is_open()) {
        return SaveOutcome::no_temporary;
    }
    const bool written = ::fchmod(file.get(), mode) == 0 && write_all(file.get(), bytes) &&
                         ::fsync(file.get()) == 0 && file.close();
    if (!written || ::rename(temporary.c_str(), target.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return SaveOutcome::failed;
    }
    sync_directory_of(target);
    return SaveOutcome::saved;
}

// Losing atomicity in the rare folder we may not write is better than losing what the file
// was to keep: a kill in the middle of this write could tear it.
bool rewrite_in_place(const std::string& target, std::span<const std::uint8_t> bytes) {
    FileDescriptor file(::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat info {};
    if (!file.is_open() || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return false;
    }
    return write_all(file.get(), bytes) &&
           ::ftruncate(file.get(), static_cast<off_t>(bytes.size())) == 0 &&
           ::fsync(file.get()) == 0 && file.close();
}

// A name that mkostemp could have made from the target's: its name, a dot, six letters or digits.
bool is_temporary_name(const std::string& name, const std::string& target_name) {
    const std::size_t stem = target_name.size() + 1;
    if (name.size() != target_name.size() + k_temporary_suffix.size() ||
        name.compare(0, stem, target_name + ".") != 0) {
        return false;
    }
    return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(stem), name.end(),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; });
}

}  // namespace

bool replace_file(const std::string& path, std::span<const std::uint8_t> bytes) {
    const std::string target = resolve_link(path);
    mode_t mode = 0;
    if (!replacement_mode(target, mode)) {
        return false;
    }
    const IgnoreFileSizeSignal keep_running;
    const SaveOutcome outcome = save_through_temporary(target, mode, bytes);
    return outcome == SaveOutcome::saved ||
           (outcome == SaveOutcome::no_temporary && rewrite_in_place(target, bytes));
}

void remove_stale_temporaries(const std::string& path, std::uint64_t largest_size) {
    const std::string target = resolve_link(path);
    const std::filesystem::path directory = directory_of(target);
    const std::string target_name = std::filesystem::path(target).filename().string();
    std::error_code error;
    for (auto item = std::filesystem::directory_iterator(directory, error);
         !error && item != std::filesystem::directory_iterator(); item.increment(error)) {
        const std::filesystem::path& candidate = item->path();
        struct stat info {};
        if (!is_temporary_name(candidate.filename().string(), target_name) ||
            ::lstat(candidate.c_str(), &info) != 0) {
            continue;
        }
        const bool ours = S_ISREG(info.st_mode) && info.st_uid == ::geteuid() &&
                          static_cast<std::uint64_t>(info.st_size) <= largest_size;
        if (ours && std::time(nullptr) - info.st_mtime > k_stale_temporary_seconds) {
            ::unlink(candidate.c_str());
        }
    }
}

}  // namespace kal
