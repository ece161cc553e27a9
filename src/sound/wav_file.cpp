#include "sound/wav_file.hpp"

#include <algorithm>
#include <cstring>
#include <utility>

#include "sound/embedded_sounds.hpp"

namespace kal {
namespace {

constexpr std::size_t k_file_block_bytes = 8192;
constexpr std::uint64_t k_chunk_header_bytes = 8;
constexpr std::uint32_t k_form_type_bytes = 4;
constexpr std::uint32_t k_fixed_format_bytes = 16;
constexpr std::uint32_t k_extra_count_bytes = 2;

constexpr FourCc k_riff{'R', 'I', 'F', 'F'};
constexpr FourCc k_list{'L', 'I', 'S', 'T'};
constexpr FourCc k_wave{'W', 'A', 'V', 'E'};
constexpr FourCc k_fmt{'f', 'm', 't', ' '};
constexpr FourCc k_data{'d', 'a', 't', 'a'};

std::uint16_t le16(const std::uint8_t* bytes) {
    return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8U));
}

std::uint32_t le32(const std::uint8_t* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8U) |
           (static_cast<std::uint32_t>(bytes[2]) << 16U) |
           (static_cast<std::uint32_t>(bytes[3]) << 24U);
}

FourCc four_cc(const std::uint8_t* bytes) {
    FourCc code{};
    std::memcpy(code.data(), bytes, code.size());
    return code;
}

bool read_exactly(ByteStream& stream, std::uint8_t* out, std::size_t count) {
    return stream.read(out, count) == count;
}

// Reads the chunk header at the current position and leaves the stream at the chunk's data,
// past the form type for RIFF and LIST chunks.
bool read_chunk_header(ByteStream& stream, ChunkInfo& chunk) {
    std::array<std::uint8_t, k_chunk_header_bytes> header{};
    if (!read_exactly(stream, header.data(), header.size())) {
        return false;
    }
    chunk.id = four_cc(header.data());
    chunk.size = le32(header.data() + 4);
    chunk.data_offset = stream.tell();
    chunk.form_type = {};
    if (chunk.id == k_riff || chunk.id == k_list) {
        std::array<std::uint8_t, k_form_type_bytes> form{};
        if (!read_exactly(stream, form.data(), form.size())) {
            return false;
        }
        chunk.form_type = four_cc(form.data());
    }
    return true;
}

// The end of a chunk's data including the pad byte that keeps chunks at even offsets.
std::uint64_t chunk_end(const ChunkInfo& chunk) {
    return chunk.data_offset + chunk.size + (chunk.size & 1U);
}

bool ascend(ByteStream& stream, const ChunkInfo& chunk) {
    return stream.seek(chunk_end(chunk));
}

// Searches forward from the current position for a chunk with the given identifier inside
// the parent, skipping every other chunk whole; on success the stream stands at its data.
bool find_chunk(ByteStream& stream, const ChunkInfo& parent, const FourCc& id, ChunkInfo& found) {
    const std::uint64_t parent_end = parent.data_offset + parent.size;
    ChunkInfo chunk;
    while (stream.tell() + k_chunk_header_bytes <= parent_end) {
        if (!read_chunk_header(stream, chunk)) {
            return false;
        }
        if (chunk.id == id) {
            found = chunk;
            return true;
        }
        if (!ascend(stream, chunk)) {
            return false;
        }
    }
    return false;
}

WaveFormat parse_fixed_format(const std::uint8_t* bytes) {
    WaveFormat format;
    format.format_tag = le16(bytes);
    format.channels = le16(bytes + 2);
    format.samples_per_sec = le32(bytes + 4);
    format.avg_bytes_per_sec = le32(bytes + 8);
    format.block_align = le16(bytes + 12);
    format.bits_per_sample = le16(bytes + 14);
    return format;
}

}  // namespace

ByteStream::~ByteStream() {
    close();
}

bool ByteStream::open_file(const std::string& name) {
    close();
    if (file_.open(name) != FileOpen::opened) {
        return false;
    }
    size_ = file_.size();
    buffer_.resize(k_file_block_bytes);
    return true;
}

void ByteStream::open_memory(std::vector<std::uint8_t> image) {
    close();
    in_memory_ = true;
    size_ = image.size();
    buffer_ = std::move(image);
    buffer_end_ = buffer_.size();
}

void ByteStream::close() {
    file_.close();
    in_memory_ = false;
    size_ = 0;
    buffer_.clear();
    buffer_.shrink_to_fit();
    buffer_start_ = 0;
    buffer_pos_ = 0;
    buffer_end_ = 0;
}

bool ByteStream::seek(std::uint64_t offset) {
    if (!is_open() || offset > size_) {
        return false;
    }
    if (offset >= buffer_start_ && offset <= buffer_start_ + buffer_end_) {
        buffer_pos_ = static_cast<std::size_t>(offset - buffer_start_);
    } else {
        buffer_start_ = offset;
        buffer_pos_ = 0;
        buffer_end_ = 0;
    }
    return true;
}

std::size_t ByteStream::read(std::uint8_t* out, std::size_t count) {
    std::size_t done = 0;
    while (done < count) {
        if (buffer_pos_ == buffer_end_ && !refill()) {
            break;
        }
        const std::size_t step = std::min(count - done, buffer_end_ - buffer_pos_);
        std::memcpy(out + done, buffer_.data() + buffer_pos_, step);
        buffer_pos_ += step;
        done += step;
    }
    return done;
}

bool ByteStream::refill() {
    if (!file_.is_open()) {
        return false;
    }
    buffer_start_ += buffer_end_;
    buffer_pos_ = 0;
    buffer_end_ = file_.read_at(buffer_start_, buffer_);
    return buffer_end_ > 0;
}

namespace {

std::filesystem::path sound_directory;

}  // namespace

void set_sound_directory(std::filesystem::path directory) {
    sound_directory = std::move(directory);
}

WavFile::~WavFile() {
    close();
}

HResult WavFile::open(const char* name) {
    if (name == nullptr) {
        return E_INVALIDARG;
    }
    format_.reset();
    data_size_ = 0;
    if (!stream_.open_file((sound_directory / name).string())) {
        const std::span<const std::uint8_t> image = find_embedded_sound(name);
        if (image.empty()) {
            return E_FAIL;
        }
        stream_.open_memory({image.begin(), image.end()});
    }
    return open_stream();
}

HResult WavFile::open_memory(std::span<const std::uint8_t> bytes) {
    format_.reset();
    data_size_ = 0;
    stream_.close();
    if (bytes.empty()) {
        return E_FAIL;
    }
    stream_.open_memory({bytes.begin(), bytes.end()});
    return open_stream();
}

HResult WavFile::open_stream() {
    const HResult header = read_header();
    if (header != S_OK) {
        stream_.close();
        return header;
    }
    const HResult data = seek_to_data();
    if (data != S_OK) {
        // The format stays readable; only the stream goes, so nothing is left to read.
        stream_.close();
        return data;
    }
    data_size_ = data_chunk_.size;
    return S_OK;
}

HResult WavFile::read_header() {
    if (!read_chunk_header(stream_, riff_chunk_) || riff_chunk_.id != k_riff ||
        riff_chunk_.form_type != k_wave) {
        return E_FAIL;
    }
    ChunkInfo fmt;
    if (!find_chunk(stream_, riff_chunk_, k_fmt, fmt) || fmt.size < k_fixed_format_bytes) {
        return E_FAIL;
    }
    return read_format(fmt);
}

// A PCM record never has extra bytes, whatever the chunk's size. Other tags carry an extra
// count when the chunk has room for one; the extra bytes must lie inside the chunk, so that
// a neighbouring chunk is never taken for a part of the format.
HResult WavFile::read_format(const ChunkInfo& fmt) {
    std::array<std::uint8_t, k_fixed_format_bytes> fixed{};
    if (!read_exactly(stream_, fixed.data(), fixed.size())) {
        return E_FAIL;
    }
    WaveFormat format = parse_fixed_format(fixed.data());
    if (format.format_tag != k_format_pcm &&
        fmt.size >= k_fixed_format_bytes + k_extra_count_bytes) {
        std::array<std::uint8_t, k_extra_count_bytes> count{};
        if (!read_exactly(stream_, count.data(), count.size())) {
            return E_FAIL;
        }
        format.extra_size = le16(count.data());
        const std::uint64_t room_in_chunk = fmt.size - k_fixed_format_bytes - k_extra_count_bytes;
        const std::uint64_t room_in_stream =
            stream_.size() > stream_.tell() ? stream_.size() - stream_.tell() : 0;
        if (format.extra_size > std::min(room_in_chunk, room_in_stream)) {
            return E_FAIL;
        }
        format.extra.resize(format.extra_size);
        if (!read_exactly(stream_, format.extra.data(), format.extra.size())) {
            return E_FAIL;
        }
    }
    if (!ascend(stream_, fmt)) {
        return E_FAIL;
    }
    format_ = std::move(format);
    return S_OK;
}

// A program that writes WAV to a pipe cannot know the length and puts a placeholder near 2 or
// 4 GiB in the "data" header; a file cut short claims more than it holds too. Either way the
// sound is the sample bytes that are there, in whole frames, as every player takes it.
HResult WavFile::seek_to_data() {
    if (!stream_.seek(riff_chunk_.data_offset + k_form_type_bytes) ||
        !find_chunk(stream_, riff_chunk_, k_data, data_chunk_)) {
        return E_FAIL;
    }
    const std::uint64_t there = stream_.size() - data_chunk_.data_offset;
    if (data_chunk_.size > there) {
        const std::uint64_t frame = std::max<std::uint16_t>(format_->block_align, 1);
        data_chunk_.size = static_cast<std::uint32_t>(there - there % frame);
    }
    return S_OK;
}

HResult WavFile::read(std::uint8_t* buffer, std::uint32_t wanted, std::uint32_t* read_count) {
    if (!stream_.is_open()) {
        return CO_E_NOTINITIALIZED;
    }
    if (buffer == nullptr || read_count == nullptr) {
        return E_INVALIDARG;
    }
    *read_count = 0;
    const std::uint32_t amount = std::min(wanted, data_chunk_.size);
    data_chunk_.size -= amount;
    if (!read_exactly(stream_, buffer, amount)) {
        return E_FAIL;
    }
    *read_count = amount;
    return S_OK;
}

HResult WavFile::close() {
    stream_.close();
    return S_OK;
}

}  // namespace kal
