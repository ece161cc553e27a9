// Rank.dat that cannot be written (a full disk, a file-size limit, a read-only file or folder):
// the game keeps the ranking in memory for the rest of the run, the board shows it, and the
// file on disk stays the old one, never cut short.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "child_process.hpp"
#include "game_fixture.hpp"
#include "screens/ranking_board.hpp"
#include "screens/ranking_file.hpp"
#include "text_files.hpp"

namespace kal::test {
namespace {

// While it lives, no file of this process may grow past a few bytes.
class FileSizeLimit {
public:
    FileSizeLimit() {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        const rlimit tiny{100, saved_.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &tiny);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &saved_); }

private:
    rlimit saved_{};
};

RankEntry entry_of(std::int32_t score, std::string_view name) {
    RankEntry entry{score, {}};
    std::copy(name.begin(), name.end(), entry.name.begin());
    return entry;
}

std::size_t files_in_working_directory() {
    const auto entries = std::filesystem::directory_iterator(".");
    return static_cast<std::size_t>(std::distance(begin(entries), end(entries)));
}

class UnwritableRankingTest : public GameTest {
protected:
    void SetUp() override {
        GameTest::SetUp();
        load_ranking();
        save_ranking();
        on_disk = read_text("Rank.dat");
    }

    // A game's end: the new score over the 5th place, sorted, saved; then the board.
    void rank_in_and_show_the_board(std::int32_t score, std::string_view name) {
        rank_table.back() = entry_of(score, name);
        sort_ranking();
        save_ranking();
        tap(k_key_space, now() + 2000, 150);
        EXPECT_EQ(ranking_board(), Screen::title);
    }

    std::string on_disk;
};

TEST_F(UnwritableRankingTest, ScoreThatCouldNotBeSavedStaysOnTheBoardAndTheOldFileStays) {
    const std::size_t files = files_in_working_directory();
    {
        const FileSizeLimit full_disk;
        rank_in_and_show_the_board(140, "NEWCOMER");
    }
    EXPECT_TRUE(sim.shows("NEWCOMER"));
    EXPECT_EQ(rank_table[1].score, 140);
    EXPECT_EQ(read_text("Rank.dat"), on_disk);
    EXPECT_EQ(files_in_working_directory(), files);
}

// Run as an ordinary player in a process of its own: root may write a read-only file.
TEST_F(UnwritableRankingTest, ScoreEnteredOverAReadOnlyRankingStaysOnTheBoard) {
    struct Case {
        mode_t file_mode;
        mode_t folder_mode;
        bool saved;  // the new score reached the file
    };
    const Case cases[] = {{0444, 0777, false}, {0666, 0555, true}, {0444, 0555, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::oct << c.file_mode << " in " << c.folder_mode);
        std::ofstream("Rank.dat", std::ios::binary | std::ios::trunc) << on_disk;
        ::chmod("Rank.dat", c.file_mode);
        ::chmod(".", c.folder_mode);
        const auto report = in_child([this] {
            if (!become_ordinary_player()) {
                return std::vector<std::int32_t>{};
            }
            reset_ranking();
            load_ranking();
            save_ranking();
            rank_in_and_show_the_board(140, "NEWCOMER");
            return std::vector<std::int32_t>{sim.shows("NEWCOMER") ? 1 : 0, rank_table[1].score};
        });
        ::chmod(".", 0700);
        ::chmod("Rank.dat", 0600);
        EXPECT_EQ(report, (std::vector<std::int32_t>{1, 140}));
        const std::string now_on_disk = read_text("Rank.dat");
        EXPECT_EQ(now_on_disk.find("NEWCOMER") != std::string::npos, c.saved);
        EXPECT_EQ(files_in_working_directory(), 1U);
    }
}

TEST_F(UnwritableRankingTest, RankingKeptInMemoryReachesTheFileOnceItCanBeWrittenAgain) {
    {
        const FileSizeLimit full_disk;
        rank_in_and_show_the_board(140, "NEWCOMER");
    }
    tap(k_key_space, now() + 2000, 150);
    EXPECT_EQ(ranking_board(), Screen::title);
    const std::string saved = read_text("Rank.dat");
    ASSERT_EQ(saved.size(), k_rank_file_bytes);
    EXPECT_EQ(saved.substr(k_rank_record_bytes + 4, 8), "NEWCOMER");
}

TEST_F(UnwritableRankingTest, ChangeMadeToAWritableFileFromOutsideShowsOnTheBoard) {
    std::string edited = on_disk;
    edited.replace(4, 6, "EDITED");
    std::ofstream("Rank.dat", std::ios::binary | std::ios::trunc) << edited;
    tap(k_key_space, now() + 2000, 150);
    EXPECT_EQ(ranking_board(), Screen::title);
    EXPECT_TRUE(sim.shows("EDITED"));
}

}  // namespace
}  // namespace kal::test
