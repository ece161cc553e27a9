#include "screens/ranking_file.hpp"

#include <algorithm>
#include <span>
#include <utility>

#include "platform/read_only_file.hpp"
#include "platform/replace_file.hpp"
#include "shell/unsaved_files.hpp"

namespace kal {

RankTable rank_table{};

namespace {

constexpr std::size_t k_read_bytes = 5 * k_rank_record_bytes;

using RankBytes = std::array<unsigned char, k_rank_file_bytes>;

struct DefaultPlace {
    std::int32_t score;
    // The name's code page 932 bytes, padded with zeros.
    std::array<unsigned char, 13> name;
};

constexpr std::array<DefaultPlace, 5> k_default_ranking{{
    // 柊木とろり
    {150, {0x95, 0x41, 0x96, 0xd8, 0x82, 0xc6, 0x82, 0xeb, 0x82, 0xe8}},
    // 灯籠守
    {120, {0x93, 0x94, 0xe2, 0xc4, 0x8e, 0xe7}},
    // 凪砂
    {90, {0x93, 0xe2, 0x8d, 0xbb}},
    // 霜柱
    {60, {0x91, 0x9a, 0x92, 0x8c}},
    // Silverthistle
    {30, {'S', 'i', 'l', 'v', 'e', 'r', 't', 'h', 'i', 's', 't', 'l', 'e'}},
}};

std::string ranking_path{k_ranking_file_name};

// Set once the table holds a ranking of this run, from the file or the defaults. A file that
// cannot be read then leaves the table alone, so scores made in this run are not lost.
bool ranking_loaded = false;

// Set while the table could not be written, for whatever reason (a read-only file or folder, a
// full disk, a file-size limit). The file may then lag behind what the player saw, and
// reloading it could lose a score just entered, so the table wins until a save gets through.
bool ranking_unsaved = false;

void install_default_ranking() {
    for (std::size_t place = 0; place < rank_table.size(); ++place) {
        const DefaultPlace& fallback = k_default_ranking[place];
        RankEntry& entry = rank_table[place];
        entry.score = fallback.score;
        entry.name.fill('\0');
        std::transform(fallback.name.begin(), fallback.name.end(), entry.name.begin(),
                       [](unsigned char byte) { return static_cast<char>(byte); });
    }
}

RankBytes encode_table(const RankTable& table) {
    RankBytes bytes{};
    auto out = bytes.begin();
    for (const RankEntry& entry : table) {
        const auto score = static_cast<std::uint32_t>(entry.score);
        for (unsigned shift = 0; shift < 32; shift += 8) {
            *out++ = static_cast<unsigned char>((score >> shift) & 0xffU);
        }
        out = std::transform(entry.name.begin(), entry.name.end(), out,
                             [](char byte) { return static_cast<unsigned char>(byte); });
    }
    return bytes;
}

void decode_table(const RankBytes& bytes, RankTable& table) {
    auto in = bytes.begin();
    for (RankEntry& entry : table) {
        std::uint32_t score = 0;
        for (unsigned shift = 0; shift < 32; shift += 8) {
            score |= static_cast<std::uint32_t>(*in++) << shift;
        }
        entry.score = static_cast<std::int32_t>(score);
        std::transform(in, in + static_cast<std::ptrdiff_t>(entry.name.size()), entry.name.begin(),
                       [](unsigned char byte) { return static_cast<char>(byte); });
        in += static_cast<std::ptrdiff_t>(entry.name.size());
    }
}

}  // namespace

void reset_ranking() {
    rank_table = RankTable{};
    ranking_loaded = false;
    ranking_unsaved = false;
}

void set_ranking_path(std::string path) {
    ranking_path = std::move(path);
}

void load_ranking() {
    if (ranking_unsaved) {
        return;
    }
    if (!ranking_loaded) {
        remove_stale_temporaries(ranking_path, k_rank_file_bytes);
    }
    ReadOnlyFile file;
    const FileOpen opened = file.open(ranking_path);
    if (opened != FileOpen::opened) {
        if (opened == FileOpen::missing || !ranking_loaded) {
            install_default_ranking();
            ranking_loaded = true;
        }
        return;
    }

    // A short file overwrites only the start of the table: lay what was read over the table's
    // own bytes and decode the whole.
    RankBytes bytes = encode_table(rank_table);
    file.read_at(0, std::span(bytes).first(k_read_bytes));
    decode_table(bytes, rank_table);
    ranking_loaded = true;
}

void save_ranking() {
    ranking_unsaved = !replace_file(ranking_path, encode_table(rank_table));
    note_file_written(GameFile::ranking, ranking_path, !ranking_unsaved);
}

void sort_ranking() {
    for (std::size_t i = 0; i + 1 < rank_table.size(); ++i) {
        for (std::size_t j = i + 1; j < rank_table.size(); ++j) {
            if (rank_table[i].score <= rank_table[j].score) {
                std::swap(rank_table[i], rank_table[j]);
            }
        }
    }
}

}  // namespace kal
