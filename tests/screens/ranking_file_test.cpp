#include "screens/ranking_file.hpp"

#include <gtest/gtest.h>
#include <iconv.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "child_process.hpp"
#include "rank_files.hpp"
#include "temp_directory.hpp"

namespace kal {
namespace {

namespace fs = std::filesystem;
using test::become_ordinary_player;
using test::Bytes;
using test::in_child;
using test::rank_record;
using test::read_bytes;

std::string to_cp932(std::string_view utf8) {
    iconv_t cd = iconv_open("CP932", "UTF-8");
    if (reinterpret_cast<std::intptr_t>(cd) == -1) {
        ADD_FAILURE() << "iconv cannot convert to CP932";
        return {};
    }
    std::string in(utf8);
    std::string out(in.size(), '\0');
    char* src = in.data();
    char* dst = out.data();
    std::size_t src_left = in.size();
    std::size_t dst_left = out.size();
    EXPECT_NE(iconv(cd, &src, &src_left, &dst, &dst_left), static_cast<std::size_t>(-1)) << utf8;
    iconv_close(cd);
    out.resize(out.size() - dst_left);
    return out;
}

RankEntry entry(std::int32_t score, std::string_view name, char filler = '\0') {
    RankEntry made{score, {}};
    made.name.fill(filler);
    std::memcpy(made.name.data(), name.data(), name.size());
    made.name[name.size()] = '\0';
    return made;
}

std::string name_of(const RankEntry& place) {
    return place.name.data();
}

void write_file(const fs::path& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::string> listing(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& item : fs::directory_iterator(dir)) {
        names.push_back(item.path().filename().string());
    }
    return names;
}

class RankingFile : public ::testing::Test {
protected:
    void SetUp() override {
        scratch_.emplace("ranking");
        dir_ = scratch_->path();
        file_ = dir_ / "Rank.dat";
        set_ranking_path(file_.string());
        reset_ranking();
    }
    void TearDown() override {
        set_ranking_path("Rank.dat");
        reset_ranking();
        scratch_.reset();
    }

    static RankTable sample_table() {
        return {entry(50, "Ann"), entry(40, "Bo"), entry(30, "Cy"), entry(20, "Di"),
                entry(10, "Eve")};
    }

    std::optional<test::TempDirectory> scratch_;
    fs::path dir_;
    fs::path file_;
};

TEST_F(RankingFile, MissingFileIsReplacedByTheDefaultRankingByteForByte) {
    Bytes expected;
    const std::pair<std::uint32_t, std::string_view> places[] = {
        {150, "柊木とろり"}, {120, "灯籠守"}, {90, "凪砂"}, {60, "霜柱"}, {30, "Silverthistle"}};
    for (const auto& [score, name] : places) {
        const Bytes one = rank_record(score, to_cp932(name));
        expected.insert(expected.end(), one.begin(), one.end());
    }
    expected.resize(k_rank_file_bytes, 0);
    const mode_t mask = umask(0);
    umask(mask);

    // At start-up, and when the file is deleted while a filled table is in memory.
    for (const RankTable& before :
         {RankTable{}, RankTable{entry(1, "", 'x'), entry(2, "", 'x'), entry(3, "", 'x'),
                                 entry(4, "", 'x'), entry(5, "", 'x')}}) {
        fs::remove(file_);
        rank_table = before;
        load_ranking();
        save_ranking();

        EXPECT_EQ(read_bytes(file_), expected);
        EXPECT_EQ(listing(dir_), std::vector<std::string>{"Rank.dat"});
        EXPECT_EQ(fs::status(file_).permissions(), static_cast<fs::perms>(0666 & ~mask));
        EXPECT_EQ(name_of(rank_table[0]), to_cp932("柊木とろり"));
        EXPECT_EQ(rank_table[4].score, 30);
    }
}

TEST_F(RankingFile, LoadOverwritesTheTableOnlyAsFarAsTheFileReaches) {
    struct Case {
        std::size_t file_bytes;
        bool at_start_up;
    };
    // An empty file changes nothing; 100 bytes fill the 1st place and 44 bytes of the 2nd.
    const Case cases[] = {{0, true},    {0, false},   {2, false}, {100, false},
                          {280, false}, {336, false}, {400, true}};

    // Five places with bytes after each name's terminator, then a non-zero tail to ignore.
    Bytes source;
    const std::pair<std::uint32_t, std::string_view> places[] = {{0x7fffffffU, {"Ann\0aaa", 7}},
                                                                 {0xfffffff9U, {"Bo\0bb", 5}},
                                                                 {5, "Cy"},
                                                                 {0x01020304U, {"\0dddd", 5}},
                                                                 {0x80000000U, {"Eve\0e", 5}}};
    for (const auto& [score, name] : places) {
        const Bytes one = rank_record(score, name);
        source.insert(source.end(), one.begin(), one.end());
    }
    source.resize(400, 0x5a);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file_bytes);
        reset_ranking();
        if (!c.at_start_up) {
            rank_table = {entry(9, "Jo", 'j'), entry(8, "Kim", 'k'), entry(7, "Lu", 'l'),
                          entry(6, "Max", 'm'), entry(5, "Ned", 'n')};
        }
        save_ranking();
        const Bytes before = read_bytes(file_);

        write_file(file_, Bytes(source.begin(), source.begin() + c.file_bytes));
        load_ranking();
        save_ranking();

        const std::size_t taken = std::min<std::size_t>(c.file_bytes, 280);
        Bytes expected(source.begin(), source.begin() + taken);
        expected.insert(expected.end(), before.begin() + taken, before.begin() + 280);
        expected.resize(k_rank_file_bytes, 0);
        EXPECT_EQ(read_bytes(file_), expected);
    }
}

TEST_F(RankingFile, SortOrdersByScoreAndPutsTiesInReverse) {
    struct Case {
        std::vector<std::pair<std::int32_t, std::string>> before;
        std::vector<std::string> after;
    };
    const Case cases[] = {
        {{{150, "A"}, {90, "P"}, {90, "Q"}, {60, "D"}, {90, "N"}}, {"A", "N", "Q", "P", "D"}},
        {{{150, "A"}, {120, "B"}, {90, "old"}, {60, "D"}, {90, "new"}},
         {"A", "B", "new", "old", "D"}},
        {{{100, "A"}, {80, "B"}, {80, "C"}, {40, "D"}, {20, "E"}}, {"A", "C", "B", "D", "E"}},
        {{{50, "A"}, {40, "B"}, {30, "C"}, {20, "D"}, {10, "E"}}, {"A", "B", "C", "D", "E"}},
        {{{-1, "A"}, {2147483647, "B"}, {0, "C"}, {-2147483647 - 1, "D"}, {7, "E"}},
         {"B", "E", "C", "A", "D"}},
        {{{3, "A"}, {3, "B"}, {3, "C"}, {3, "D"}, {3, "E"}}, {"E", "D", "C", "B", "A"}},
    };
    for (const Case& c : cases) {
        for (std::size_t i = 0; i < rank_table.size(); ++i) {
            rank_table[i] = entry(c.before[i].first, c.before[i].second);
        }
        sort_ranking();
        std::vector<std::string> names;
        for (const RankEntry& place : rank_table) {
            names.push_back(name_of(place));
        }
        EXPECT_EQ(names, c.after);
    }
}

TEST_F(RankingFile, TiedEntriesTradePlacesOnEverySort) {
    rank_table = {entry(100, "A"), entry(80, "B"), entry(80, "C"), entry(40, "D"), entry(20, "E")};
    for (const char* second : {"C", "B", "C"}) {
        sort_ranking();
        EXPECT_EQ(name_of(rank_table[1]), second);
        EXPECT_EQ(name_of(rank_table[3]), "D");
    }
}

TEST_F(RankingFile, SaveThatCannotBeWrittenLeavesTheOldFileAndNoLeftovers) {
    const Bytes old(k_rank_file_bytes, 0x11);
    for (const rlim_t limit : {0UL, 100UL, 335UL, 336UL}) {
        SCOPED_TRACE(limit);
        write_file(file_, old);
        rank_table = sample_table();
        const auto report = in_child([limit] {
            const rlimit cap{limit, limit};
            setrlimit(RLIMIT_FSIZE, &cap);
            save_ranking();
            return std::vector<std::int32_t>{rank_table[0].score};
        });
        EXPECT_EQ(report, std::vector<std::int32_t>{50}) << "the save must not end the game";
        EXPECT_EQ(listing(dir_), std::vector<std::string>{"Rank.dat"});
        EXPECT_EQ(read_bytes(file_) == old, limit < k_rank_file_bytes);
    }
}

TEST_F(RankingFile, RankingThatIsNotAFileIsNeverReplaced) {
    const std::function<void()> makers[] = {
        [this] {
            fs::create_directory(file_);
            write_file(file_ / "keep", {1, 2, 3});
        },
        [this] { mkfifo(file_.c_str(), 0644); },
    };
    for (const auto& make : makers) {
        fs::remove_all(file_);
        make();
        const fs::file_status made = fs::symlink_status(file_);
        reset_ranking();

        load_ranking();
        EXPECT_EQ(rank_table[0].score, 150) << "the run starts with the default ranking";
        rank_table[4] = entry(140, "Zed");
        sort_ranking();
        save_ranking();
        load_ranking();

        EXPECT_EQ(fs::symlink_status(file_).type(), made.type());
        EXPECT_EQ(listing(dir_), std::vector<std::string>{"Rank.dat"});
        EXPECT_EQ(name_of(rank_table[1]), "Zed") << "scores of this run stay in memory";
    }
}

TEST_F(RankingFile, RankingWithoutWritePermissionIsNeverReplaced) {
    struct Case {
        mode_t mode;
        std::vector<std::int32_t> first_scores;  // after the first load, after a reload
    };
    // A readable ranking is shown; an unreadable one gives the defaults. Either way the scores
    // of the run then live on in memory: the file is not read again over them.
    const Case cases[] = {{0444, {77, 200}}, {0000, {150, 200}}};
    fs::permissions(dir_, fs::perms::all);
    const Bytes stored = rank_record(77, "Ivo");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        fs::remove(file_);
        write_file(file_, stored);
        chmod(file_.c_str(), c.mode);
        const auto report = in_child([] {
            if (!become_ordinary_player()) {
                return std::vector<std::int32_t>{};
            }
            load_ranking();
            save_ranking();
            const std::int32_t first = rank_table[0].score;
            rank_table[0].score = 200;
            save_ranking();
            load_ranking();
            return std::vector<std::int32_t>{first, rank_table[0].score};
        });
        EXPECT_EQ(report, c.first_scores);
        chmod(file_.c_str(), 0600);
        EXPECT_EQ(read_bytes(file_), stored);
        EXPECT_EQ(listing(dir_), std::vector<std::string>{"Rank.dat"});
    }
}

TEST_F(RankingFile, SaveKeepsTheFilesPermissionsAndLinks) {
    const fs::path real = dir_ / "shared" / "scores.bin";
    fs::create_directory(real.parent_path());
    write_file(real, rank_record(1, "old"));
    chmod(real.c_str(), 0640);
    fs::create_symlink(real, file_);
    rank_table = sample_table();

    save_ranking();

    EXPECT_TRUE(fs::is_symlink(file_));
    EXPECT_EQ(read_bytes(real).size(), k_rank_file_bytes);
    EXPECT_EQ(listing(real.parent_path()), std::vector<std::string>{"scores.bin"});
    EXPECT_EQ(fs::status(real).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(RankingFile, RankingInAFolderThePlayerMayNotWriteIsRewrittenInPlace) {
    struct Case {
        mode_t mode;
        std::size_t size;  // of the file before the save
        bool saved;
    };
    // Only the ranking may be written: all of it, cut to its 336 bytes. A ranking that may not
    // be written either stays as it was, and the score lives on in memory.
    const Case cases[] = {{0666, k_rank_file_bytes, true},
                          {0666, 400, true},
                          {0666, 100, true},
                          {0444, k_rank_file_bytes, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::oct << c.mode << std::dec << " " << c.size);
        fs::permissions(dir_, fs::perms::all);
        fs::remove(file_);
        Bytes old = rank_record(77, "Ivo");
        old.resize(c.size, 0x11);
        write_file(file_, old);
        chmod(file_.c_str(), c.mode);
        chmod(dir_.c_str(), 0555);
        const auto report = in_child([] {
            if (!become_ordinary_player()) {
                return std::vector<std::int32_t>{};
            }
            load_ranking();
            rank_table[0] = entry(200, "Zed");
            save_ranking();
            load_ranking();
            return std::vector<std::int32_t>{rank_table[0].score};
        });
        chmod(dir_.c_str(), 0700);
        EXPECT_EQ(report, std::vector<std::int32_t>{200}) << "the table wins in memory";
        EXPECT_EQ(listing(dir_), std::vector<std::string>{"Rank.dat"});
        const Bytes now_on_disk = read_bytes(file_);
        if (c.saved) {
            ASSERT_EQ(now_on_disk.size(), k_rank_file_bytes);
            EXPECT_EQ(Bytes(now_on_disk.begin(), now_on_disk.begin() + 56),
                      rank_record(200, "Zed"));
        } else {
            EXPECT_EQ(now_on_disk, old);
        }
        EXPECT_EQ(fs::status(file_).permissions(), static_cast<fs::perms>(c.mode));
    }
}

TEST_F(RankingFile, TheFirstLoadRemovesOnlyOurOwnTemporariesOlderThanAMinute) {
    struct Leftover {
        const char* name;
        int age_seconds;
        std::size_t size;
        bool removed;
    };
    const Leftover leftovers[] = {
        {"Rank.dat.Ab12Cd", 120, k_rank_file_bytes, true},
        {"Rank.dat.zz09QQ", 61, 0, true},
        {"Rank.dat.Xy34Zw", 30, k_rank_file_bytes, false},       // a save may still be at work
        {"Rank.dat.Big123", 120, k_rank_file_bytes + 1, false},  // more than a ranking holds
        {"Rank.dat.old", 120, 10, false},
        {"Rank.dat.1234567", 120, 10, false},
        {"Rank.dat.A-b_cd", 120, 10, false},
        {"Other.dat.Ab12Cd", 120, 10, false},
        {"Rank.datAb12Cd", 120, 10, false},
    };
    for (const Leftover& left : leftovers) {
        write_file(dir_ / left.name, Bytes(left.size, 0x22));
        const auto when = fs::file_time_type::clock::now() - std::chrono::seconds(left.age_seconds);
        fs::last_write_time(dir_ / left.name, when);
    }
    fs::create_directory(dir_ / "Rank.dat.Dir123");
    fs::last_write_time(dir_ / "Rank.dat.Dir123",
                        fs::file_time_type::clock::now() - std::chrono::hours(1));
    // Another player's file of the same shape is not ours to remove.
    const fs::path foreign = dir_ / "Rank.dat.Oth123";
    write_file(foreign, Bytes(10, 0x22));
    fs::last_write_time(foreign, fs::file_time_type::clock::now() - std::chrono::hours(1));
    const bool foreign_owner = geteuid() == 0 && chown(foreign.c_str(), 65534, 65534) == 0;

    load_ranking();
    load_ranking();

    for (const Leftover& left : leftovers) {
        EXPECT_EQ(fs::exists(dir_ / left.name), !left.removed) << left.name;
    }
    EXPECT_TRUE(fs::is_directory(dir_ / "Rank.dat.Dir123"));
    EXPECT_EQ(fs::exists(foreign), foreign_owner);
}

}  // namespace
}  // namespace kal
