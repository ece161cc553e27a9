#pragma once

// Files as text, for tests that check what the game wrote or give it a file to read.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kal::test {

// The whole file, byte for byte; empty when it cannot be read.
std::string read_text(const std::filesystem::path& path);

// Writes the file anew with exactly these bytes.
void write_text(const std::filesystem::path& path, std::string_view text);

// The lines of a text, without their line ends.
std::vector<std::string> lines_of(const std::string& text);

}  // namespace kal::test
