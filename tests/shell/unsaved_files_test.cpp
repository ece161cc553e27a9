#include "shell/unsaved_files.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "game_fixture.hpp"
#include "history/history_file.hpp"
#include "screens/ranking_file.hpp"

namespace kal::test {
namespace {

using UnsavedFilesTest = GameTest;

TEST_F(UnsavedFilesTest, ARankingNotSavedIsToldUntilASaveGetsThrough) {
    set_ranking_path("missing/Rank.dat");
    load_ranking();
    save_ranking();
    save_ranking();
    EXPECT_EQ(unsaved_files_note(),
              "kaleidron: ランキングを保存できませんでした: missing/Rank.dat\n");

    set_ranking_path(std::string(k_ranking_file_name));
    save_ranking();
    EXPECT_TRUE(std::filesystem::exists(work_dir / k_ranking_file_name));
    EXPECT_EQ(unsaved_files_note(), "");
}

TEST_F(UnsavedFilesTest, AGameMissingFromTheHistoryStaysToldAfterLaterGamesAreWritten) {
    const std::string told =
        "kaleidron: 訓練の記録に書き込めなかったゲームがあります: missing/history.tsv\n";
    set_history_path("missing/history.tsv");
    record_finished_game();
    EXPECT_EQ(unsaved_files_note(), told);

    set_history_path(std::string(k_history_file_name));
    record_finished_game();
    EXPECT_TRUE(std::filesystem::exists(work_dir / k_history_file_name));
    EXPECT_EQ(unsaved_files_note(), told);
}

}  // namespace
}  // namespace kal::test
