#pragma once

// A fresh folder for one test or one run, removed with everything in it when it goes.

#include <filesystem>
#include <string_view>

namespace kal::test {

class TempDirectory {
public:
    // Makes the folder "<prefix>-<random number>" in base, the system's temporary folder unless
    // given. Throws std::filesystem::filesystem_error when it cannot be made: a run never falls
    // back to a folder it did not make, since that folder is removed at the end.
    explicit TempDirectory(std::string_view prefix = "kaleidron",
                           const std::filesystem::path& base = {});
    ~TempDirectory();
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;

    [[nodiscard]] const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// A fresh temporary folder that is the working directory while it lives; the working directory
// before it comes back at the end.
class TempWorkingDirectory {
public:
    explicit TempWorkingDirectory(std::string_view prefix = "kaleidron");
    ~TempWorkingDirectory();
    TempWorkingDirectory(const TempWorkingDirectory&) = delete;
    TempWorkingDirectory& operator=(const TempWorkingDirectory&) = delete;

    [[nodiscard]] const std::filesystem::path& path() const { return directory_.path(); }

private:
    std::filesystem::path previous_;
    TempDirectory directory_;
};

}  // namespace kal::test
