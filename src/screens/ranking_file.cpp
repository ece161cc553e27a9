#include "screens/ranking_file.hpp"

#include <fcntl.h>
#include <signal.h>
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

#include "platform/posix_file.hpp"

namespace kal {

RankTable rank_table{};

namespace {

constexpr std::size_t k_read_bytes = 5 * k_rank_record_bytes;

using RankBytes = std::array<unsigned char, k_rank_file_bytes>;

struct DefaultPlace {
    std::int32_t score;
    // The name's code page 932 bytes, padded with zeros.
    std::array<unsigned char, 13> name;
};

constexpr std::array<DefaultPlace, 5> k_default_ranking{{
    // 柊木とろり
    {150, {0x95, 0x41, 0x96, 0xd8, 0x82, 0xc6, 0x82, 0xeb, 0x82, 0xe8}},
    // 灯籠守
    {120, {0x93, 0x94, 0xe2, 0xc4, 0x8e, 0xe7}},
    // 凪砂
    {90, {0x93, 0xe2, 0x8d, 0xbb}},
    // 霜柱
    {60, {0x91, 0x9a, 0x92, 0x8c}},
    // Silverthistle
    {30, {'S', 'i', 'l', 'v', 'e', 'r', 't', 'h', 'i', 's', 't', 'l', 'e'}},
}};

std::string ranking_path{k_ranking_file_name};

// Set once the table holds a ranking of this run, from the file or the defaults. A file that
// cannot be read then leaves the table alone, so scores made in this run are not lost.
bool ranking_loaded = false;

// Set while the table could not be written, for whatever reason (a read-only file or folder, a
// full disk, a file-size limit). The file may then lag behind what the player saw, and
// reloading it could lose a score just entered, so the table wins until a save gets through.
bool ranking_unsaved = false;

// A temporary of ours left behind by a kill is removed at the next start once it is this old:
// no save of a running game takes that long, so it cannot be one in progress.
constexpr std::time_t k_stale_temporary_seconds = 60;
// mkostemp replaces these six characters with letters and digits.
constexpr std::string_view k_temporary_suffix = ".XXXXXX";

void install_default_ranking() {
    for (std::size_t place = 0; place < rank_table.size(); ++place) {
        const DefaultPlace& fallback = k_default_ranking[place];
        RankEntry& entry = rank_table[place];
        entry.score = fallback.score;
        entry.name.fill('\0');
        std::transform(fallback.name.begin(), fallback.name.end(), entry.name.begin(),
                       [](unsigned char byte) { return static_cast<char>(byte); });
    }
}

RankBytes encode_table(const RankTable& table) {
    RankBytes bytes{};
    auto out = bytes.begin();
    for (const RankEntry& entry : table) {
        const auto score = static_cast<std::uint32_t>(entry.score);
        for (unsigned shift = 0; shift < 32; shift += 8) {
            *out++ = static_cast<unsigned char>((score >> shift) & 0xffU);
        }
        out = std::transform(entry.name.begin(), entry.name.end(), out,
                             [](char byte) { return static_cast<unsigned char>(byte); });
    }
    return bytes;
}

void decode_table(const RankBytes& bytes, RankTable& table) {
    auto in = bytes.begin();
    for (RankEntry& entry : table) {
        std::uint32_t score = 0;
        for (unsigned shift = 0; shift < 32; shift += 8) {
            score |= static_cast<std::uint32_t>(*in++) << shift;
        }
        entry.score = static_cast<std::int32_t>(score);
        std::transform(in, in + static_cast<std::ptrdiff_t>(entry.name.size()), entry.name.begin(),
                       [](unsigned char byte) { return static_cast<char>(byte); });
        in += static_cast<std::ptrdiff_t>(entry.name.size());
    }
}

// Reads until `bytes` is full, the file ends or a read fails; returns how much arrived.
std::size_t read_up_to(int fd, unsigned char* bytes, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = ::read(fd, bytes + done, size - done);
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

bool write_all(int fd, const unsigned char* bytes, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t put = ::write(fd, bytes + done, size - done);
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

// A ranking file that is a symbolic link is updated where it points, and stays a link.
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
        // Only a regular file that we may write is ever replaced; a read-only ranking or
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
SaveOutcome save_through_temporary(const std::string& target, mode_t mode, const RankBytes& bytes) {
    std::string temporary = target + std::string(k_temporary_suffix);
    FileDescriptor file(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!file.is_open()) {
        return SaveOutcome::no_temporary;
    }
    const bool written = ::fchmod(file.get(), mode) == 0 &&
                         write_all(file.get(), bytes.data(), bytes.size()) &&
                         ::fsync(file.get()) == 0 && file.close();
    if (!written || ::rename(temporary.c_str(), target.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return SaveOutcome::failed;
    }
    sync_directory_of(target);
    return SaveOutcome::saved;
}

// Where no temporary file can be made beside the ranking (a folder the player may not write)
// but the ranking itself may be written, it is rewritten where it stands: all its bytes in one
// write, then flushed. A kill in the middle could tear it, but losing the score would be worse.
bool rewrite_in_place(const std::string& target, const RankBytes& bytes) {
    FileDescriptor file(::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat info {};
    if (!file.is_open() || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return false;
    }
    return write_all(file.get(), bytes.data(), bytes.size()) &&
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

// Temporaries that a kill left beside the ranking: only regular files of ours by their name,
// owner and size, more than a minute old. Anything else is the player's and stays.
void remove_stale_temporaries(const std::string& target) {
    const std::filesystem::path directory = directory_of(target);
    const std::string target_name = std::filesystem::path(target).filename().string();
    std::error_code error;
    for (auto item = std::filesystem::directory_iterator(directory, error);
         !error && item != std::filesystem::directory_iterator(); item.increment(error)) {
        const std::filesystem::path& path = item->path();
        struct stat info {};
        if (!is_temporary_name(path.filename().string(), target_name) ||
            ::lstat(path.c_str(), &info) != 0) {
            continue;
        }
        const bool ours = S_ISREG(info.st_mode) && info.st_uid == ::geteuid() &&
                          static_cast<std::size_t>(info.st_size) <= k_rank_file_bytes;
        if (ours && std::time(nullptr) - info.st_mtime > k_stale_temporary_seconds) {
            ::unlink(path.c_str());
        }
    }
}

}  // namespace

void reset_ranking() {
    rank_table = RankTable{};
    ranking_loaded = false;
    ranking_unsaved = false;
}

void set_ranking_path(std::string path) {
    ranking_path = std::move(path);
}

void load_ranking() {
    if (ranking_unsaved) {
        return;
    }
    if (!ranking_loaded) {
        remove_stale_temporaries(resolve_link(ranking_path));
    }
    // O_NONBLOCK keeps a FIFO under the ranking's name from hanging the game.
    const FileDescriptor file(::open(ranking_path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!file.is_open()) {
        if (errno == ENOENT || errno == ENOTDIR || !ranking_loaded) {
            install_default_ranking();
            ranking_loaded = true;
        }
        return;
    }
    struct stat info {};
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        if (!ranking_loaded) {
            install_default_ranking();
            ranking_loaded = true;
        }
        return;
    }

    // A short file overwrites only the start of the table: lay what was read over the table's
    // own bytes and decode the whole.
    RankBytes bytes = encode_table(rank_table);
    read_up_to(file.get(), bytes.data(), k_read_bytes);
    decode_table(bytes, rank_table);
    ranking_loaded = true;
}

void save_ranking() {
    const std::string target = resolve_link(ranking_path);
    mode_t mode = 0;
    if (!replacement_mode(target, mode)) {
        ranking_unsaved = true;
        return;
    }
    const IgnoreFileSizeSignal keep_running;
    const RankBytes bytes = encode_table(rank_table);
    const SaveOutcome outcome = save_through_temporary(target, mode, bytes);
    ranking_unsaved = !(outcome == SaveOutcome::saved ||
                        (outcome == SaveOutcome::no_temporary && rewrite_in_place(target, bytes)));
}

void sort_ranking() {
    for (std::size_t i = 0; i + 1 < rank_table.size(); ++i) {
        for (std::size_t j = i + 1; j < rank_table.size(); ++j) {
            if (rank_table[i].score <= rank_table[j].score) {
                std::swap(rank_table[i], rank_table[j]);
            }
        }
    }
}

}  // namespace kal
