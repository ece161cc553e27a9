#include "sound/wav_file.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "sound/embedded_sounds.hpp"
#include "temp_directory.hpp"

namespace kal {
namespace {

using Bytes = std::vector<std::uint8_t>;

void put16(Bytes& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFFU));
    out.push_back(static_cast<std::uint8_t>(value >> 8U));
}

void put32(Bytes& out, std::uint32_t value) {
    put16(out, static_cast<std::uint16_t>(value & 0xFFFFU));
    put16(out, static_cast<std::uint16_t>(value >> 16U));
}

void append(Bytes& out, std::string_view text) {
    out.insert(out.end(), text.begin(), text.end());
}

void append(Bytes& out, const Bytes& more) {
    out.insert(out.end(), more.begin(), more.end());
}

// A chunk with its pad byte; declared replaces the true size in the header.
Bytes chunk(std::string_view id, const Bytes& body, std::optional<std::uint32_t> declared = {}) {
    Bytes out;
    append(out, id);
    put32(out, declared.value_or(static_cast<std::uint32_t>(body.size())));
    append(out, body);
    if (body.size() % 2 != 0) {
        out.push_back(0);
    }
    return out;
}

Bytes riff(const std::vector<Bytes>& chunks, std::string_view form = "WAVE",
           std::optional<std::uint32_t> declared = {}) {
    Bytes body;
    append(body, form);
    for (const Bytes& sub : chunks) {
        append(body, sub);
    }
    return chunk("RIFF", body, declared);
}

Bytes fmt_body(std::uint16_t tag = 1, std::uint16_t channels = 1, std::uint32_t rate = 8000,
               std::uint16_t bits = 16) {
    Bytes out;
    put16(out, tag);
    put16(out, channels);
    put32(out, rate);
    put32(out, rate * channels * bits / 8U);
    put16(out, static_cast<std::uint16_t>(channels * bits / 8U));
    put16(out, bits);
    return out;
}

Bytes with_extra(Bytes fmt, std::uint16_t count, const Bytes& extra) {
    put16(fmt, count);
    append(fmt, extra);
    return fmt;
}

Bytes prefix(const Bytes& bytes, std::size_t count) {
    return {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(count)};
}

const Bytes k_samples{1, 2, 3, 4, 5, 6, 7, 8};

Bytes plain_wav() {
    return riff({chunk("fmt ", fmt_body()), chunk("data", k_samples)});
}

struct OpenCase {
    const char* name;
    Bytes image;
    HResult expected;
    bool has_format;  // a file without samples still hands over its format
};

TEST(WavFile, OpensWellFormedFilesAndRejectsBrokenOnes) {
    const Bytes mp3{'I', 'D', '3', 3, 0, 0, 0, 0, 0, 0x21, 0xFF, 0xFB, 0x90, 0x64, 0, 0};
    const std::vector<OpenCase> cases{
        {"fmt then data", plain_wav(), S_OK, true},
        {"data before fmt", riff({chunk("data", k_samples), chunk("fmt ", fmt_body())}), S_OK,
         true},
        {"odd chunk with its pad byte first",
         riff({chunk("junk", {9, 9, 9}), chunk("fmt ", fmt_body()), chunk("data", k_samples)}),
         S_OK, true},
        {"LIST chunk between fmt and data",
         riff({chunk("fmt ", fmt_body()), riff({chunk("ICMT", {'h', 'i', 0})}, "INFO"),
               chunk("data", k_samples)}),
         S_OK, true},
        {"fmt of 14 bytes", riff({chunk("fmt ", prefix(fmt_body(), 14)), chunk("data", k_samples)}),
         E_FAIL, false},
        {"no fmt chunk", riff({chunk("data", k_samples)}), E_FAIL, false},
        {"no data chunk", riff({chunk("fmt ", fmt_body())}), E_FAIL, true},
        {"MP3 data under a WAV name", mp3, E_FAIL, false},
        {"RIFF of another form",
         riff({chunk("fmt ", fmt_body()), chunk("data", k_samples)}, "AVI "), E_FAIL, false},
        {"header cut short", prefix(plain_wav(), 10), E_FAIL, false},
        {"fmt chunk cut short", prefix(plain_wav(), 28), E_FAIL, false},
        {"chunk claiming 4 GB before fmt",
         riff({chunk("junk", {1, 2}, 0xFFFFFFF0U), chunk("fmt ", fmt_body()),
               chunk("data", k_samples)}),
         E_FAIL, false},
        {"data outside the RIFF chunk's declared size",
         riff({chunk("fmt ", fmt_body()), chunk("data", k_samples)}, "WAVE", 4 + 24), E_FAIL, true},
        {"extra bytes claimed beyond the fmt chunk",
         riff({chunk("fmt ", with_extra(fmt_body(3), 40, {})), chunk("data", k_samples)}), E_FAIL,
         false},
        {"empty image", {}, E_FAIL, false},
    };
    for (const OpenCase& c : cases) {
        WavFile wav;
        EXPECT_EQ(wav.open_memory(c.image), c.expected) << c.name;
        EXPECT_EQ(wav.format() != nullptr, c.has_format) << c.name;
    }
}

struct FormatCase {
    const char* name;
    Bytes fmt;
    std::uint16_t extra_size;
};

TEST(WavFile, ReadsTheExtraBytesOnlyOfNonPcmFormats) {
    const Bytes extensible_extra{16, 0,    4, 0,    0, 0, 1,    0, 0,    0,    0,
                                 0,  0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    const std::vector<FormatCase> cases{
        {"PCM, 16 bytes", fmt_body(), 0},
        {"PCM, 18 bytes with a stray count", with_extra(fmt_body(), 0x1234, {}), 0},
        {"float, 18 bytes, count 0", with_extra(fmt_body(3, 1, 8000, 32), 0, {}), 0},
        {"float, 16 bytes: no count to read", fmt_body(3, 1, 8000, 32), 0},
        {"extensible, 22 extra bytes", with_extra(fmt_body(0xFFFE), 22, extensible_extra), 22},
    };
    for (const FormatCase& c : cases) {
        WavFile wav;
        ASSERT_EQ(wav.open_memory(riff({chunk("fmt ", c.fmt), chunk("data", k_samples)})), S_OK)
            << c.name;
        EXPECT_EQ(wav.format()->extra_size, c.extra_size) << c.name;
        const Bytes expected_extra = c.extra_size == 0 ? Bytes{} : extensible_extra;
        EXPECT_EQ(wav.format()->extra, expected_extra) << c.name;
        EXPECT_EQ(wav.data_size(), k_samples.size()) << c.name;
    }
}

TEST(WavFile, ReadsTheSamplesInPiecesUntilTheDataRunsOut) {
    WavFile wav;
    ASSERT_EQ(wav.open_memory(plain_wav()), S_OK);
    Bytes buffer(8, 0xEE);
    std::uint32_t count = 99;
    EXPECT_EQ(wav.read(buffer.data(), 5, &count), S_OK);
    EXPECT_EQ(count, 5U);
    EXPECT_EQ(wav.read(buffer.data() + 5, 100, &count), S_OK);
    EXPECT_EQ(count, 3U);
    EXPECT_EQ(buffer, k_samples);
    EXPECT_EQ(wav.read(buffer.data(), 100, &count), S_OK);
    EXPECT_EQ(count, 0U);
}

TEST(WavFile, DataChunkRunningPastTheEndOfTheFileHoldsTheWholeFramesThatAreThere) {
    struct Case {
        const char* what;
        std::uint32_t riff_claim;
        std::uint32_t data_claim;
        std::uint16_t channels;
        std::uint16_t bits;
        std::size_t bytes_there;
        std::uint32_t size;
    };
    // Written to a pipe: RIFF and data sizes near 2 or 4 GiB, as sox, arecord and espeak-ng
    // write them; or a file cut short, in the middle of a frame.
    const Case cases[] = {
        {"placeholders near 2 GiB", 0x7FFFFFFF, 0x7FFFFFFF - 36, 1, 16, 8, 8},
        {"placeholders near 4 GiB", 0xFFFFFFFF, 0xFFFFFFFF - 36, 1, 16, 8, 8},
        {"a true RIFF size", 0, 0x7FFFFFFF, 2, 16, 8, 8},
        {"cut in a frame, 16-bit mono", 0, 1000, 1, 16, 7, 6},
        {"cut in a frame, 16-bit stereo", 0, 1000, 2, 16, 7, 4},
        {"cut, 8-bit mono", 0, 1000, 1, 8, 7, 7},
        {"less than a frame", 0, 1000, 2, 16, 3, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Bytes there(k_samples.begin(),
                          k_samples.begin() + static_cast<std::ptrdiff_t>(c.bytes_there));
        Bytes body;
        append(body, "WAVE");
        append(body, chunk("fmt ", fmt_body(1, c.channels, 8000, c.bits)));
        append(body, "data");
        put32(body, c.data_claim);
        append(body, there);
        Bytes image;
        append(image, "RIFF");
        put32(image, c.riff_claim == 0 ? static_cast<std::uint32_t>(body.size()) : c.riff_claim);
        append(image, body);
        WavFile wav;
        ASSERT_EQ(wav.open_memory(image), S_OK);
        EXPECT_EQ(wav.data_size(), c.size);
        Bytes buffer(c.size + 1U, 0xEE);
        std::uint32_t count = 99;
        EXPECT_EQ(wav.read(buffer.data(), 1000, &count), S_OK);
        EXPECT_EQ(count, c.size);
        EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + c.size, k_samples.begin()));
    }
}

TEST(WavFile, RefusesToReadWithoutStreamBufferOrCount) {
    Bytes buffer(8);
    std::uint32_t count = 0;
    WavFile never_opened;
    EXPECT_EQ(never_opened.read(buffer.data(), 8, &count), CO_E_NOTINITIALIZED);
    WavFile closed;
    ASSERT_EQ(closed.open_memory(plain_wav()), S_OK);
    EXPECT_EQ(closed.close(), S_OK);
    EXPECT_EQ(closed.read(buffer.data(), 8, &count), CO_E_NOTINITIALIZED);
    WavFile open;
    ASSERT_EQ(open.open_memory(plain_wav()), S_OK);
    EXPECT_EQ(open.read(nullptr, 8, &count), E_INVALIDARG);
    EXPECT_EQ(open.read(buffer.data(), 8, nullptr), E_INVALIDARG);
    EXPECT_EQ(open.open(nullptr), E_INVALIDARG);
}

TEST(WavFile, FailedOpenLeavesNothingOfTheEarlierSound) {
    WavFile wav;
    ASSERT_EQ(wav.open_memory(plain_wav()), S_OK);
    EXPECT_EQ(wav.open_memory(riff({chunk("data", k_samples)})), E_FAIL);
    EXPECT_EQ(wav.format(), nullptr);
    EXPECT_EQ(wav.data_size(), 0U);
    Bytes buffer(8);
    std::uint32_t count = 0;
    EXPECT_EQ(wav.read(buffer.data(), 8, &count), CO_E_NOTINITIALIZED);
}

// Run under the sanitizers, this also proves that no damaged image is read out of bounds.
TEST(WavFile, EveryTruncationOrCorruptionFailsCleanly) {
    const Bytes good = riff({chunk("junk", {7}), chunk("fmt ", with_extra(fmt_body(3), 2, {5, 6})),
                             chunk("data", k_samples)});
    std::vector<Bytes> images;
    for (std::size_t size = 0; size < good.size(); ++size) {
        images.push_back(prefix(good, size));
    }
    std::mt19937 random(20240611U);
    for (int i = 0; i < 3000; ++i) {
        Bytes damaged = good;
        for (int flips = 0; flips < 3; ++flips) {
            damaged[random() % damaged.size()] = static_cast<std::uint8_t>(random());
        }
        images.push_back(damaged);
    }
    for (const Bytes& image : images) {
        WavFile wav;
        const HResult opened = wav.open_memory(image);
        ASSERT_TRUE(opened == S_OK || opened == E_FAIL);
        if (opened == S_OK) {
            // A claim larger than the image is read only as far as the image goes.
            const auto wanted =
                static_cast<std::uint32_t>(std::min<std::size_t>(wav.data_size(), image.size()));
            Bytes buffer(wanted + 1U);
            std::uint32_t count = 0;
            const HResult status = wav.read(buffer.data(), wanted, &count);
            ASSERT_TRUE(status == S_OK || status == E_FAIL);
            ASSERT_LE(count, wanted);
        }
    }
}

void write_bytes(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

Bytes read_bytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(WavFile, FileInTheWorkingDirectoryWinsOverTheBuiltInSound) {
    const test::TempWorkingDirectory here("kaleidron-wav");
    write_bytes("kasoru.wav", plain_wav());
    WavFile wav;
    ASSERT_EQ(wav.open("kasoru.wav"), S_OK);
    EXPECT_EQ(wav.format()->samples_per_sec, 8000U);
    EXPECT_EQ(wav.data_size(), k_samples.size());
}

TEST(WavFile, BuiltInSoundIsFoundWhenNoFileOfThatNameCanBeRead) {
    const test::TempWorkingDirectory here("kaleidron-wav");
    std::filesystem::create_directory("kettei.wav");
    for (const char* name : {"kasoru.wav", "kettei.wav"}) {
        WavFile wav;
        ASSERT_EQ(wav.open(name), S_OK) << name;
        EXPECT_EQ(wav.format()->samples_per_sec, 48000U) << name;
        EXPECT_EQ(wav.data_size() + 44, find_embedded_sound(name).size()) << name;
    }
    WavFile unknown;
    EXPECT_EQ(unknown.open("nosuch.wav"), E_FAIL);
}

// sox writes no LIST chunk of its own, so one is put in front of the data chunk by hand.
Bytes with_list_before_data(const Bytes& wav) {
    std::size_t at = 12;
    while (at + 8 <= wav.size() &&
           std::string_view(reinterpret_cast<const char*>(&wav[at]), 4) != "data") {
        const std::uint32_t size = wav[at + 4] | (wav[at + 5] << 8U) | (wav[at + 6] << 16U) |
                                   (static_cast<std::uint32_t>(wav[at + 7]) << 24U);
        at += 8 + size + (size & 1U);
    }
    const Bytes list = riff({chunk("ISFT", {'s', 'o', 'x', 0}), chunk("ICMT", {'x'})}, "INFO");
    Bytes out = prefix(wav, at);
    append(out, list);
    out.insert(out.end(), wav.begin() + static_cast<std::ptrdiff_t>(at), wav.end());
    const auto riff_size = static_cast<std::uint32_t>(out.size() - 8);
    for (std::size_t i = 0; i < 4; ++i) {
        out[4 + i] = static_cast<std::uint8_t>(riff_size >> (8U * i));
    }
    return out;
}

struct SoxCase {
    std::uint32_t rate;
    std::uint16_t bits;
    std::uint16_t channels;
    bool list_chunk;
};

TEST(WavFile, ReadsFilesWrittenBySox) {
    if (std::system("command -v sox >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "sox is not installed";
    }
    constexpr std::uint32_t k_frames = 4000;
    const std::vector<SoxCase> cases{
        {11025, 8, 1, false}, {22050, 16, 2, false}, {44100, 16, 1, true},
        {48000, 8, 2, true},  {32000, 24, 1, false}, {16000, 16, 2, true},
    };
    const test::TempWorkingDirectory here("kaleidron-wav");
    for (const SoxCase& c : cases) {
        const std::string label = std::to_string(c.rate) + " Hz " + std::to_string(c.bits) +
                                  "-bit " + std::to_string(c.channels) + " ch";
        const std::filesystem::path path = "sound.wav";
        const std::string command = "sox -r " + std::to_string(c.rate) + " -n -b " +
                                    std::to_string(c.bits) + " -c " + std::to_string(c.channels) +
                                    " '" + path.string() + "' synth " + std::to_string(k_frames) +
                                    "s sine 440 vol 0.5 2>/dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0) << label;
        if (c.list_chunk) {
            write_bytes(path, with_list_before_data(read_bytes(path)));
        }
        WavFile wav;
        ASSERT_EQ(wav.open(path.c_str()), S_OK) << label;
        const WaveFormat& format = *wav.format();
        EXPECT_EQ(format.format_tag, c.bits == 24 ? 0xFFFE : 1) << label;
        EXPECT_EQ(format.extra_size, c.bits == 24 ? 22 : 0) << label;
        EXPECT_EQ(format.channels, c.channels) << label;
        EXPECT_EQ(format.samples_per_sec, c.rate) << label;
        EXPECT_EQ(format.bits_per_sample, c.bits) << label;
        EXPECT_EQ(format.block_align, c.channels * c.bits / 8) << label;
        EXPECT_EQ(format.avg_bytes_per_sec, c.rate * format.block_align) << label;
        EXPECT_EQ(wav.data_size(), k_frames * c.channels * c.bits / 8U) << label;
        Bytes from_file(wav.data_size());
        std::uint32_t count = 0;
        EXPECT_EQ(wav.read(from_file.data(), wav.data_size(), &count), S_OK) << label;
        EXPECT_EQ(count, wav.data_size()) << label;

        WavFile in_memory;
        ASSERT_EQ(in_memory.open_memory(read_bytes(path)), S_OK) << label;
        Bytes from_memory(in_memory.data_size());
        EXPECT_EQ(in_memory.read(from_memory.data(), in_memory.data_size(), &count), S_OK);
        EXPECT_EQ(from_file, from_memory) << label;
    }
}

TEST(WavFile, ReadsWhatSoxWritesToAPipe) {
    if (std::system("command -v sox >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "sox is not installed";
    }
    const test::TempWorkingDirectory here("kaleidron-wav");
    // Half a second at 48 kHz, 16-bit mono, with the sizes a pipe gets.
    ASSERT_EQ(std::system("sox -n -r 48000 -b 16 -c 1 -t wav - synth 0.5 sine 440 2>/dev/null "
                          "| cat > title.wav"),
              0);
    const Bytes file = read_bytes("title.wav");
    ASSERT_GE(file.size(), 44U);
    WavFile wav;
    ASSERT_EQ(wav.open("title.wav"), S_OK);
    EXPECT_EQ(wav.data_size(), 48000U);
    Bytes samples(wav.data_size());
    std::uint32_t count = 0;
    EXPECT_EQ(wav.read(samples.data(), wav.data_size(), &count), S_OK);
    EXPECT_EQ(count, 48000U);
    EXPECT_TRUE(std::equal(samples.begin(), samples.end(), file.end() - 48000));
    EXPECT_NE(std::count(samples.begin(), samples.end(), 0),
              static_cast<std::ptrdiff_t>(samples.size()));
}

}  // namespace
}  // namespace kal
