// Rank.dat on a disk that takes no more bytes (a full disk, a file-size limit): the game keeps
// the ranking in memory for the rest of the run, the board shows it, and the file on disk stays
// the old one, never cut short.

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "game_fixture.hpp"
#include "screens/ranking_board.hpp"
#include "screens/ranking_file.hpp"

namespace kal::test {
namespace {

std::string read_file(const char* name) {
    std::ifstream in(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

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
        on_disk = read_file("Rank.dat");
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
    EXPECT_EQ(read_file("Rank.dat"), on_disk);
    EXPECT_EQ(files_in_working_directory(), files);
}

TEST_F(UnwritableRankingTest, RankingKeptInMemoryReachesTheFileOnceItCanBeWrittenAgain) {
    {
        const FileSizeLimit full_disk;
        rank_in_and_show_the_board(140, "NEWCOMER");
    }
    tap(k_key_space, now() + 2000, 150);
    EXPECT_EQ(ranking_board(), Screen::title);
    const std::string saved = read_file("Rank.dat");
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
