#include "platform/data_directory.hpp"

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "game/program.hpp"
#include "game_fixture.hpp"
#include "history/history_file.hpp"
#include "rank_files.hpp"
#include "screens/ranking_file.hpp"
#include "sound/wav_file.hpp"
#include "sound_files.hpp"

namespace kal::test {
namespace {

namespace fs = std::filesystem;

// Sets an environment variable for the length of a test, or unsets it (nullopt), and puts it
// back as it was afterwards.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const std::optional<std::string>& value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        set(value);
    }
    ~ScopedVariable() { set(old_); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    void set(const std::optional<std::string>& value) {
        if (value) {
            ::setenv(name_, value->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }

    const char* name_;
    std::optional<std::string> old_;
};

// The player's environment: a fresh home and a fresh data folder inside the working directory.
class GameFilesTest : public GameTest {
protected:
    void SetUp() override {
        GameTest::SetUp();
        home = work_dir / "home";
        xdg = work_dir / "xdg";
        fs::create_directories(home);
        fs::create_directories(xdg);
        play_dir = work_dir / "play";
        fs::create_directories(play_dir);
        fs::current_path(play_dir);
    }

    // The start-up's part in the files: the ranking loaded and written back at once.
    static void start_up(DataHome data_home, const std::string& ranking_file = "") {
        place_game_files(data_home, ranking_file);
        load_ranking();
        save_ranking();
    }

    // Every Rank.dat and other ranking under the test's folder.
    [[nodiscard]] std::vector<fs::path> rankings_written() const {
        std::vector<fs::path> found;
        for (const auto& entry : fs::recursive_directory_iterator(work_dir)) {
            if (entry.is_regular_file() && fs::file_size(entry.path()) == k_rank_file_bytes) {
                found.push_back(entry.path());
            }
        }
        return found;
    }

    fs::path home;
    fs::path xdg;
    fs::path play_dir;
};

mode_t mode_of(const fs::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0;
}

TEST_F(GameFilesTest, EachBuildKeepsTheRankingInItsOwnDefaultPlace) {
    struct Case {
        const char* what;
        DataHome data_home;
        std::optional<std::string> xdg_data_home;
        fs::path expected;  // relative to the test's folder
    };
    const std::vector<Case> cases{
        {"build tree", DataHome::working_directory, std::nullopt, "play/Rank.dat"},
        {"build tree, XDG_DATA_HOME set", DataHome::working_directory, "XDG", "play/Rank.dat"},
        {"installed", DataHome::per_user, std::nullopt, "home/.local/share/kaleidron/Rank.dat"},
        {"installed, XDG_DATA_HOME empty", DataHome::per_user, "",
         "home/.local/share/kaleidron/Rank.dat"},
        {"installed, XDG_DATA_HOME relative", DataHome::per_user, "xdg",
         "home/.local/share/kaleidron/Rank.dat"},
        {"installed, XDG_DATA_HOME set", DataHome::per_user, "XDG", "xdg/kaleidron/Rank.dat"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TearDown();
        SetUp();
        const ScopedVariable home_variable("HOME", home.string());
        const ScopedVariable xdg_variable("XDG_DATA_HOME", c.xdg_data_home == "XDG"
                                                               ? std::optional(xdg.string())
                                                               : c.xdg_data_home);
        start_up(c.data_home);
        EXPECT_EQ(rankings_written(), std::vector<fs::path>{work_dir / c.expected});
        if (c.data_home == DataHome::per_user) {
            EXPECT_EQ(mode_of((work_dir / c.expected).parent_path()), 0700U);
        }
    }
}

TEST_F(GameFilesTest, TheInstalledGameStartedFromTwoDirectoriesKeepsOneRanking) {
    const ScopedVariable home_variable("HOME", home.string());
    const ScopedVariable xdg_variable("XDG_DATA_HOME", std::nullopt);
    start_up(DataHome::per_user);
    rank_table[0].score = 777;
    save_ranking();

    reset_game_state();
    fs::create_directories(work_dir / "elsewhere");
    fs::current_path(work_dir / "elsewhere");
    start_up(DataHome::per_user);
    EXPECT_EQ(rank_table[0].score, 777);
    EXPECT_EQ(rankings_written().size(), 1U);
}

TEST_F(GameFilesTest, WithoutHomeTheInstalledGameUsesThePasswordDatabasesHome) {
    const ScopedVariable xdg_variable("XDG_DATA_HOME", std::nullopt);
    const passwd* entry = ::getpwuid(::getuid());
    ASSERT_NE(entry, nullptr);
    const fs::path expected = fs::path(entry->pw_dir) / ".local/share/kaleidron";
    for (const std::optional<std::string>& value :
         {std::optional<std::string>{}, std::optional<std::string>{""},
          std::optional<std::string>{"relative/home"}}) {
        const ScopedVariable home_variable("HOME", value);
        EXPECT_EQ(data_directory(DataHome::per_user), expected);
    }
}

TEST_F(GameFilesTest, TheDataFolderIsMadeWithItsParentsAndExistingFoldersAreLeftAlone) {
    fs::permissions(home, fs::perms(0755));
    const fs::path folder = home / ".local/share/kaleidron";
    EXPECT_TRUE(make_data_directory(folder));
    EXPECT_EQ(mode_of(home / ".local"), 0700U);
    EXPECT_EQ(mode_of(home / ".local/share"), 0700U);
    EXPECT_EQ(mode_of(folder), 0700U);
    EXPECT_EQ(mode_of(home), 0755U);
    EXPECT_TRUE(make_data_directory(folder));

    std::ofstream(xdg / "kaleidron") << "a file, not a folder";
    EXPECT_FALSE(make_data_directory(xdg / "kaleidron"));
    EXPECT_FALSE(make_data_directory(xdg / "kaleidron" / "below"));
    EXPECT_TRUE(make_data_directory({}));
}

TEST_F(GameFilesTest, ARankingFileNamedOnTheCommandLineIsUsedInEitherBuild) {
    for (const DataHome data_home : {DataHome::working_directory, DataHome::per_user}) {
        TearDown();
        SetUp();
        const ScopedVariable home_variable("HOME", home.string());
        const ScopedVariable xdg_variable("XDG_DATA_HOME", std::nullopt);
        start_up(data_home, "mine.dat");
        EXPECT_EQ(rankings_written(), std::vector<fs::path>{play_dir / "mine.dat"});
        // The data folder is made only to hold the ranking.
        EXPECT_FALSE(fs::exists(home / ".local"));
    }
}

TEST_F(GameFilesTest, AnUnusableRankingFileIsLeftAloneAndTheRankingLivesInMemory) {
    struct Case {
        const char* what;
        std::string ranking_file;
    };
    const std::vector<Case> cases{
        {"a folder", "folder"},
        {"in a folder that does not exist", "missing/Rank.dat"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TearDown();
        SetUp();
        fs::create_directory(play_dir / "folder");
        start_up(DataHome::working_directory, c.ranking_file);
        EXPECT_EQ(rank_table[0].score, 150);  // the default ranking
        rank_table[4].score = 999;
        sort_ranking();
        save_ranking();
        load_ranking();  // as the ranking board does on every visit
        EXPECT_EQ(rank_table[0].score, 999);
        EXPECT_TRUE(rankings_written().empty());
        EXPECT_TRUE(fs::is_empty(play_dir / "folder"));
        EXPECT_FALSE(fs::exists(play_dir / "missing"));
    }
}

TEST_F(GameFilesTest, TheHistoryIsKeptBesideTheRankingWhereverThatIs) {
    const ScopedVariable home_variable("HOME", home.string());
    const ScopedVariable xdg_variable("XDG_DATA_HOME", xdg.string());
    struct Case {
        DataHome data_home;
        std::string ranking_file;
        fs::path history;
    };
    const std::vector<Case> cases{
        {DataHome::working_directory, "", "history.tsv"},
        {DataHome::per_user, "", xdg / "kaleidron" / "history.tsv"},
        {DataHome::per_user, "kept/mine.dat", "kept/history.tsv"},
        {DataHome::working_directory, "/elsewhere/mine.dat", "/elsewhere/history.tsv"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ranking_file);
        place_game_files(c.data_home, c.ranking_file);
        EXPECT_EQ(history_path(), c.history.string());
        // --stats reads the history of the ranking the game would use.
        EXPECT_EQ(history_path_beside(ranking_file_path(c.data_home, c.ranking_file)),
                  c.history.string());
    }
}

TEST_F(GameFilesTest, ReplacingSoundsAreTakenFromTheFolderThatHoldsTheRanking) {
    const ScopedVariable home_variable("HOME", home.string());
    const ScopedVariable xdg_variable("XDG_DATA_HOME", xdg.string());
    fs::create_directories(xdg / "kaleidron");
    write_silent_wav((xdg / "kaleidron" / "title.wav").string(), 100);
    write_silent_wav((play_dir / "title.wav").string(), 200);
    struct Case {
        DataHome data_home;
        std::uint32_t data_size;  // 8 kHz, 8-bit mono: 8 bytes a millisecond
    };
    for (const Case& c : {Case{DataHome::per_user, 800}, Case{DataHome::working_directory, 1600}}) {
        place_game_files(c.data_home, "");
        WavFile file;
        ASSERT_EQ(file.open("title.wav"), S_OK);
        EXPECT_EQ(file.data_size(), c.data_size);
    }
    // A sound the folder does not replace is the game's own.
    place_game_files(DataHome::per_user, "");
    WavFile own;
    ASSERT_EQ(own.open("kettei.wav"), S_OK);
    EXPECT_EQ(own.format()->samples_per_sec, 48000U);
}

}  // namespace
}  // namespace kal::test
