#include "temp_directory.hpp"

#include <random>
#include <string>
#include <system_error>

namespace kal::test {
namespace {

constexpr int k_attempts = 100;

}  // namespace

// A name drawn at random until one is free: create_directory makes the folder only when nothing
// of that name is there, so the folder is never one that something else made.
TempDirectory::TempDirectory(std::string_view prefix, const std::filesystem::path& base) {
    const std::filesystem::path folder =
        base.empty() ? std::filesystem::temp_directory_path() : base;
    std::mt19937 pick(std::random_device{}());
    for (int attempt = 0; attempt < k_attempts; ++attempt) {
        const std::filesystem::path candidate =
            folder / (std::string(prefix) + "-" + std::to_string(pick()));
        if (std::filesystem::create_directory(candidate)) {
            path_ = candidate;
            return;
        }
    }
    throw std::filesystem::filesystem_error("no free folder name", folder,
                                            std::make_error_code(std::errc::file_exists));
}

TempDirectory::~TempDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

TempWorkingDirectory::TempWorkingDirectory(std::string_view prefix)
    : previous_(std::filesystem::current_path()), directory_(prefix) {
    std::filesystem::current_path(directory_.path());
}

TempWorkingDirectory::~TempWorkingDirectory() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
}

}  // namespace kal::test
