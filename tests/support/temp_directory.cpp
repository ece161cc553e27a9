#include "temp_directory.hpp"

#include <cerrno>
#include <cstdlib>
#include <string>
#include <system_error>

namespace kal::test {

TempDirectory::TempDirectory(std::string_view prefix, const std::filesystem::path& base) {
    const std::filesystem::path folder =
        base.empty() ? std::filesystem::temp_directory_path() : base;
    std::string pattern = (folder / (std::string(prefix) + "-XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::filesystem::filesystem_error("mkdtemp", folder,
                                                std::error_code(errno, std::generic_category()));
    }
    path_ = pattern;
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
