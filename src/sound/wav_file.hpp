#pragma once

// The reader of one RIFF/WAVE sound: it finds the format record and the sample data and copies
// the samples out. A sound comes from a file in the sound directory or, when no such file
// exists, from the game's own embedded set, and both are read through the same chunk walker.
// A hostile or damaged file fails cleanly: nothing is read outside the bytes that are there,
// and nothing is allocated on a size the file merely claims.

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/read_only_file.hpp"

namespace kal {

// 32-bit status codes: 0 is success and every failure is negative. They keep the names and
// values the sound code has always used.
using HResult = std::int32_t;
// NOLINTBEGIN(readability-identifier-naming)
inline constexpr HResult S_OK = 0;
inline constexpr HResult E_INVALIDARG = static_cast<HResult>(0x80070057U);
inline constexpr HResult E_FAIL = static_cast<HResult>(0x80004005U);
inline constexpr HResult CO_E_NOTINITIALIZED = static_cast<HResult>(0x800401F0U);
// NOLINTEND(readability-identifier-naming)

// The extended wave format record: the 16 fixed bytes of a "fmt " chunk, the count of extra
// bytes and the extra bytes themselves.
struct WaveFormat {
    std::uint16_t format_tag = 0;
    std::uint16_t channels = 0;
    std::uint32_t samples_per_sec = 0;
    std::uint32_t avg_bytes_per_sec = 0;
    std::uint16_t block_align = 0;
    std::uint16_t bits_per_sample = 0;
    std::uint16_t extra_size = 0;
    std::vector<std::uint8_t> extra;
};

// The format tag of integer PCM samples, the only kind of sound the game plays.
inline constexpr std::uint16_t k_format_pcm = 1;

using FourCc = std::array<char, 4>;

// Where a chunk lies: its identifier, the size of its data, the form type (RIFF and LIST
// chunks only) and the offset of its data from the start of the stream.
struct ChunkInfo {
    FourCc id{};
    std::uint32_t size = 0;
    FourCc form_type{};
    std::uint64_t data_offset = 0;
};

// A buffered byte stream over a regular file or over an owned image in memory. Reads stop at
// the end of what is there; a seek past the end fails.
class ByteStream {
public:
    ByteStream() = default;
    ByteStream(const ByteStream&) = delete;
    ByteStream& operator=(const ByteStream&) = delete;
    ~ByteStream();

    // Opens a regular file for reading; anything else (a directory, a pipe) is refused.
    bool open_file(const std::string& name);
    void open_memory(std::vector<std::uint8_t> image);
    void close();

    [[nodiscard]] bool is_open() const { return file_.is_open() || in_memory_; }
    [[nodiscard]] std::uint64_t size() const { return size_; }
    [[nodiscard]] std::uint64_t tell() const { return buffer_start_ + buffer_pos_; }
    bool seek(std::uint64_t offset);
    // Copies up to count bytes and returns how many there were.
    std::size_t read(std::uint8_t* out, std::size_t count);

private:
    bool refill();

    ReadOnlyFile file_;
    bool in_memory_ = false;
    std::uint64_t size_ = 0;
    std::vector<std::uint8_t> buffer_;  // the whole image in memory, or the file's read block
    std::uint64_t buffer_start_ = 0;    // stream offset of buffer_[0]
    std::size_t buffer_pos_ = 0;
    std::size_t buffer_end_ = 0;
};

// Where files that replace the embedded sounds are looked for: the working directory (an
// empty path) unless changed.
void set_sound_directory(std::filesystem::path directory);

class WavFile {
public:
    WavFile() = default;
    WavFile(const WavFile&) = delete;
    WavFile& operator=(const WavFile&) = delete;
    ~WavFile();

    // Opens the file of that name in the sound directory, or the embedded sound of that name
    // when no such file can be opened, and stands at the first sample byte.
    HResult open(const char* name);
    // Reads a RIFF/WAVE image held in memory (a copy is taken), exactly as a file is read.
    HResult open_memory(std::span<const std::uint8_t> bytes);
    // The format record after a successful open; nullptr while there is none.
    [[nodiscard]] const WaveFormat* format() const { return format_ ? &*format_ : nullptr; }
    // The size of the sample data, taken once at open: what the "data" chunk declares, or, when
    // it runs past the end of the file, the whole frames that are there.
    [[nodiscard]] std::uint32_t data_size() const { return data_size_; }
    // Copies up to wanted sample bytes. On any failure *read_count is 0, even when some bytes
    // already reached the buffer.
    HResult read(std::uint8_t* buffer, std::uint32_t wanted, std::uint32_t* read_count);
    HResult close();

private:
    HResult open_stream();
    HResult read_header();
    HResult read_format(const ChunkInfo& fmt);
    HResult seek_to_data();

    ByteStream stream_;
    std::optional<WaveFormat> format_;
    ChunkInfo riff_chunk_;
    ChunkInfo data_chunk_;  // its size counts down the sample bytes not yet read
    std::uint32_t data_size_ = 0;
};

}  // namespace kal
