#include "temp_directory.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>

namespace kal::test {
namespace {

namespace fs = std::filesystem;

TEST(TempDirectory, AFreshFolderGoesWithEverythingInIt) {
    std::optional<TempDirectory> scratch(std::in_place, "kaleidron-check");
    const fs::path folder = scratch->path();
    ASSERT_TRUE(fs::is_directory(folder));
    EXPECT_TRUE(fs::is_empty(folder));
    EXPECT_EQ(folder.parent_path(), fs::temp_directory_path());
    EXPECT_EQ(folder.filename().string().rfind("kaleidron-check-", 0), 0U);
    fs::create_directory(folder / "inner");
    std::ofstream(folder / "inner" / "Rank.dat") << "x";
    scratch.reset();
    EXPECT_FALSE(fs::exists(folder));
}

// The benchmark once fell back to the system's temporary folder itself and removed it at the
// end; a folder that cannot be made must be an error instead.
TEST(TempDirectory, AFolderThatCannotBeMadeIsAnErrorAndNothingElseIsRemoved) {
    const TempDirectory base("kaleidron-base");
    std::ofstream(base.path() / "keep") << "x";
    const fs::path no_such_folder = base.path() / "missing";
    EXPECT_THROW(TempDirectory("kaleidron-check", no_such_folder), fs::filesystem_error);
    EXPECT_TRUE(fs::exists(base.path() / "keep"));
}

TEST(TempDirectory, TheWorkingDirectoryComesBackAfterTheRun) {
    const fs::path before = fs::current_path();
    fs::path inside;
    {
        const TempWorkingDirectory scratch("kaleidron-check");
        inside = fs::current_path();
        EXPECT_EQ(inside, scratch.path());
    }
    EXPECT_EQ(fs::current_path(), before);
    EXPECT_FALSE(fs::exists(inside));
}

}  // namespace
}  // namespace kal::test
