#pragma once

// Rank.dat as bytes on disk, for tests that check what the game stored.

#include <cstdint>
#include <filesystem>
#include <string_view>
#include <vector>

namespace kal::test {

using Bytes = std::vector<unsigned char>;

// One place as stored: the score as 4 little-endian bytes, then the name bytes, padded with
// zeros (or cut) to the record's size.
Bytes rank_record(std::uint32_t score, std::string_view name);

// The whole file; empty when it cannot be read.
Bytes read_bytes(const std::filesystem::path& path);

}  // namespace kal::test
