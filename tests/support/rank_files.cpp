#include "rank_files.hpp"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "screens/ranking_file.hpp"

namespace kal::test {

Bytes rank_record(std::uint32_t score, std::string_view name) {
    Bytes bytes(k_rank_record_bytes, 0);
    for (std::size_t i = 0; i < sizeof score; ++i) {
        bytes[i] = static_cast<unsigned char>(score >> (8 * i));
    }
    const std::size_t kept = std::min(name.size(), bytes.size() - sizeof score);
    std::copy_n(name.begin(), kept, bytes.begin() + sizeof score);
    return bytes;
}

Bytes read_bytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace kal::test
