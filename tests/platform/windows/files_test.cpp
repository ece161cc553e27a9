// The Windows side of the file seam: the ranking replaced whole, files read without blocking on
// anything but a regular file, the history appended line by line, code page 932 by the
// system's own tables.

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "history/history_file.hpp"
#include "platform/code_page.hpp"
#include "platform/data_directory.hpp"
#include "platform/line_file.hpp"
#include "platform/read_only_file.hpp"
#include "platform/replace_file.hpp"
#include "platform/windows/system.hpp"

namespace kal {
namespace {

namespace fs = std::filesystem;

std::string contents_of(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_file(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::vector<std::uint8_t> bytes_of(const std::string& text) {
    return {text.begin(), text.end()};
}

// Makes the file look as if it was last written that many seconds ago.
void age(const fs::path& path, std::uint64_t seconds) {
    const OwnedHandle file(CreateFileW(path.wstring().c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER when{};
    when.LowPart = now.dwLowDateTime;
    when.HighPart = now.dwHighDateTime;
    when.QuadPart -= seconds * 10'000'000ULL;
    const FILETIME then{when.LowPart, when.HighPart};
    SetFileTime(file.get(), nullptr, nullptr, &then);
}

class WindowsFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("kaleidron-files-" + std::to_string(GetCurrentProcessId()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        SetFileAttributesW((dir_ / "Rank.dat").wstring().c_str(), FILE_ATTRIBUTE_NORMAL);
        fs::remove_all(dir_);
    }

    [[nodiscard]] std::string path(const char* name) const { return (dir_ / name).string(); }
    [[nodiscard]] std::vector<std::string> names() const {
        std::vector<std::string> all;
        for (const auto& item : fs::directory_iterator(dir_)) {
            all.push_back(item.path().filename().string());
        }
        return all;
    }

    fs::path dir_;
};

TEST_F(WindowsFilesTest, ReplacingMakesOrReplacesTheFileWholeAndLeavesNoTemporary) {
    ASSERT_TRUE(replace_file(path("Rank.dat"), bytes_of("first")));
    EXPECT_EQ(contents_of(dir_ / "Rank.dat"), "first");
    ASSERT_TRUE(replace_file(path("Rank.dat"), bytes_of("the second, longer")));
    EXPECT_EQ(contents_of(dir_ / "Rank.dat"), "the second, longer");
    ASSERT_TRUE(replace_file(path("Rank.dat"), bytes_of("3")));
    EXPECT_EQ(contents_of(dir_ / "Rank.dat"), "3");
    EXPECT_EQ(names(), std::vector<std::string>{"Rank.dat"});
}

// The game holds its paths in UTF-8, as the command line gives them; a name in a script that
// the ANSI code page lacks must still name the file itself.
TEST_F(WindowsFilesTest, APathInJapaneseNamesTheFileItself) {
    const fs::path folder = dir_ / fs::path(u8"日本");
    fs::create_directory(folder);
    const std::u8string utf8 = (folder / u8"Rank.dat").u8string();
    const std::string ranking(utf8.begin(), utf8.end());

    ASSERT_TRUE(replace_file(ranking, bytes_of("ranking")));
    ASSERT_TRUE(append_line(history_path_beside(ranking), "header\n", "line\n"));
    std::string read;
    EXPECT_EQ(read_line_file(history_path_beside(ranking), read), LineFileRead::read);

    EXPECT_EQ(contents_of(folder / u8"Rank.dat"), "ranking");
    EXPECT_EQ(contents_of(folder / u8"history.tsv"), "header\nline\n");
    EXPECT_EQ(read, "header\nline\n");
}

TEST_F(WindowsFilesTest, AReadOnlyFileOrAFolderUnderTheNameIsLeftAlone) {
    write_file(dir_ / "Rank.dat", "kept");
    SetFileAttributesW((dir_ / "Rank.dat").wstring().c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(replace_file(path("Rank.dat"), bytes_of("lost")));
    EXPECT_EQ(contents_of(dir_ / "Rank.dat"), "kept");
    fs::create_directory(dir_ / "folder");
    EXPECT_FALSE(replace_file(path("folder"), bytes_of("lost")));
    EXPECT_TRUE(fs::is_directory(dir_ / "folder"));
}

TEST_F(WindowsFilesTest, OnlyOurOwnTemporariesOlderThanAMinuteAreRemoved) {
    struct Case {
        const char* name;
        std::size_t size;
        std::uint64_t age_seconds;
        bool removed;
    };
    const std::array<Case, 5> cases{{
        {"Rank.dat.a1B2c3", 336, 120, true},
        {"Rank.dat.a1B2c4", 336, 10, false},    // a save in progress, perhaps
        {"Rank.dat.a1B2c5", 4096, 120, false},  // too big to be ours
        {"Rank.dat.toolong", 336, 120, false},  // not a name we make
        {"Other.dat.a1B2c3", 336, 120, false},
    }};
    for (const Case& c : cases) {
        write_file(dir_ / c.name, std::string(c.size, 'x'));
        age(dir_ / c.name, c.age_seconds);
    }
    remove_stale_temporaries(path("Rank.dat"), 336);
    for (const Case& c : cases) {
        EXPECT_EQ(fs::exists(dir_ / c.name), !c.removed) << c.name;
    }
}

TEST_F(WindowsFilesTest, OpeningForReadingTellsMissingFromUnreadable) {
    ReadOnlyFile file;
    EXPECT_EQ(file.open(path("nothing")), FileOpen::missing);
    EXPECT_EQ(file.open(path("no-folder/nothing")), FileOpen::missing);
    fs::create_directory(dir_ / "folder");
    EXPECT_EQ(file.open(path("folder")), FileOpen::unreadable);
    EXPECT_EQ(file.open("NUL"), FileOpen::unreadable);
    write_file(dir_ / "data", "0123456789");
    ASSERT_EQ(file.open(path("data")), FileOpen::opened);
    EXPECT_EQ(file.size(), 10U);
    std::array<std::uint8_t, 4> some{};
    EXPECT_EQ(file.read_at(8, some), 2U);
    EXPECT_EQ(some[0], '8');
    EXPECT_EQ(file.read_at(10, some), 0U);
}

TEST_F(WindowsFilesTest, AppendedLinesFollowTheHeaderAndStandOnTheirOwn) {
    ASSERT_TRUE(append_line(path("history.tsv"), "head\n", "one\n"));
    ASSERT_TRUE(append_line(path("history.tsv"), "head\n", "two\n"));
    EXPECT_EQ(contents_of(dir_ / "history.tsv"), "head\none\ntwo\n");
    write_file(dir_ / "cut.tsv", "head\ncut sh");
    ASSERT_TRUE(append_line(path("cut.tsv"), "head\n", "next\n"));
    std::string read;
    EXPECT_EQ(read_line_file(path("cut.tsv"), read), LineFileRead::read);
    EXPECT_EQ(read, "head\ncut sh\nnext\n");
    EXPECT_EQ(read_line_file(path("none.tsv"), read), LineFileRead::missing);
}

TEST(WindowsCodePageTest, NamesGoToCodePage932AndBackByteForByte) {
    struct Case {
        std::string utf8;
        std::string cp932;
    };
    const std::array<Case, 3> cases{{
        {"柊木とろり", "\x95\x41\x96\xd8\x82\xc6\x82\xeb\x82\xe8"},
        {"Silverthistle", "Silverthistle"},
        {"ｶﾅ■", "\xb6\xc5\x81\xa1"},
    }};
    for (const Case& c : cases) {
        std::string cp932;
        ASSERT_TRUE(utf8_to_cp932_bytes(c.utf8, cp932)) << c.utf8;
        EXPECT_EQ(cp932, c.cp932);
        std::string utf8;
        ASSERT_TRUE(cp932_to_utf8_bytes(c.cp932, utf8));
        EXPECT_EQ(utf8, c.utf8);
    }
    std::string out;
    EXPECT_FALSE(utf8_to_cp932_bytes("😀", out));
    EXPECT_FALSE(cp932_to_utf8_bytes("\x81", out));
    // Bytes that Windows's own table gives a control character or a private-use one.
    for (const char* byte : {"\x80", "\xa0", "\xfd", "\xfe", "\xff"}) {
        EXPECT_FALSE(cp932_to_utf8_bytes(byte, out)) << static_cast<int>(byte[0] & 0xff);
    }
    EXPECT_FALSE(utf8_to_cp932_bytes("\u0080", out));
}

// The exe keeps its files in the working directory, as the game built from its tree does; a
// build for one folder per player keeps them in %APPDATA%\kaleidron, or in the working
// directory when APPDATA is unset or not an absolute path.
TEST(WindowsDataDirectoryTest, TheFolderOfTheGamesFilesFollowsTheBuildAndAppData) {
    EXPECT_EQ(build_data_home(), DataHome::working_directory);
    struct Case {
        const wchar_t* app_data;  // nullptr: unset
        DataHome home;
        fs::path expected;
    };
    const std::array<Case, 5> cases{{
        {L"C:\\Users\\player\\AppData\\Roaming", DataHome::working_directory, {}},
        {L"C:\\Users\\player\\AppData\\Roaming", DataHome::per_user,
         fs::path(L"C:\\Users\\player\\AppData\\Roaming\\kaleidron")},
        {nullptr, DataHome::per_user, {}},
        {L"", DataHome::per_user, {}},
        {L"relative\\folder", DataHome::per_user, {}},
    }};
    const wchar_t* saved = _wgetenv(L"APPDATA");
    const std::wstring kept = saved != nullptr ? saved : L"";
    for (const Case& c : cases) {
        _wputenv_s(L"APPDATA", c.app_data != nullptr ? c.app_data : L"");
        EXPECT_EQ(data_directory(c.home), c.expected)
            << (c.app_data != nullptr ? fs::path(c.app_data).string() : "unset");
    }
    _wputenv_s(L"APPDATA", kept.c_str());
}

}  // namespace
}  // namespace kal
