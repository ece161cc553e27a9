// Any bytes as a sound file: the WAV reader either refuses them or gives a format and reads
// back no more sample bytes than the data chunk declares and the image holds, in reads of any
// size, without touching a byte outside the image.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "sound/wav_file.hpp"

namespace {

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    const auto read_size = data.ConsumeIntegralInRange<std::uint32_t>(1, 70000);
    const std::vector<std::uint8_t> image = data.ConsumeRemainingBytes<std::uint8_t>();

    kal::WavFile file;
    const kal::HResult opened = file.open_memory(image);
    std::vector<std::uint8_t> buffer(read_size);
    std::uint32_t count = 1;
    if (opened != kal::S_OK) {
        require(opened < 0);
        require(file.read(buffer.data(), read_size, &count) != kal::S_OK);
        return 0;
    }
    require(file.format() != nullptr);
    require(file.format()->extra.size() == file.format()->extra_size);

    std::uint64_t total = 0;
    for (;;) {
        const kal::HResult result = file.read(buffer.data(), read_size, &count);
        if (result != kal::S_OK) {
            require(result < 0 && count == 0);
            break;
        }
        require(count <= read_size);
        total += count;
        if (count == 0) {
            break;
        }
    }
    require(total <= file.data_size());
    require(total <= image.size());
    require(file.close() == kal::S_OK);
    require(file.read(buffer.data(), read_size, &count) != kal::S_OK);
    return 0;
}
