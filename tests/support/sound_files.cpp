#include "sound_files.hpp"

#include <fstream>

namespace kal::test {
namespace {

constexpr std::uint32_t k_rate = 8000;
constexpr std::uint32_t k_header_bytes = 36;  // the RIFF size counts from "WAVE" to the data
constexpr std::uint32_t k_format_bytes = 16;
constexpr std::uint16_t k_pcm = 1;
constexpr std::uint16_t k_mono = 1;
constexpr std::uint16_t k_bits = 8;
constexpr char k_silence = static_cast<char>(0x80);

void put_le(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out += static_cast<char>((value >> (8 * i)) & 0xFFU);
    }
}

}  // namespace

void write_silent_wav(const std::string& name, std::uint32_t ms) {
    const std::uint32_t samples = k_rate * ms / 1000;
    std::string wav = "RIFF";
    put_le(wav, k_header_bytes + samples, 4);
    wav += "WAVEfmt ";
    put_le(wav, k_format_bytes, 4);
    put_le(wav, k_pcm, 2);
    put_le(wav, k_mono, 2);
    put_le(wav, k_rate, 4);
    put_le(wav, k_rate, 4);  // bytes per second: one byte a sample
    put_le(wav, 1, 2);       // bytes per sample frame
    put_le(wav, k_bits, 2);
    wav += "data";
    put_le(wav, samples, 4);
    wav.append(samples, k_silence);
    std::ofstream(name, std::ios::binary) << wav;
}

}  // namespace kal::test
