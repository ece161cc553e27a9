# shellcheck shell=bash
# Rank.dat as the game stores it, for checks that write one or compare with one.

# One ranking record as the game stores it: the score as a little-endian 32-bit integer, then
# the name in code page 932 padded with zero bytes to 52 bytes.
rank_record() {
    {
        perl -e 'print pack("l<", $ARGV[0])' "$1"
        printf '%s' "$2" | iconv -f UTF-8 -t CP932
        head -c 52 /dev/zero
    } | head -c 56
}

# A whole ranking file: five records from "score name" pairs, then the spare zero record.
rank_file() {
    while (($# >= 2)); do
        rank_record "$1" "$2"
        shift 2
    done
    head -c 56 /dev/zero
}

default_ranking() {
    rank_file 150 "柊木とろり" 120 "灯籠守" 90 "凪砂" 60 "霜柱" 30 "Silverthistle"
}
