#!/usr/bin/env bash
# The real kaleidron.exe under Wine, in a detached 80x25 tmux pane whose console Wine draws on,
# played with send-keys as a player would: the title, the ranking board, the tutorial, a game
# left unanswered to time over, the result screen and a name typed in Japanese, which Rank.dat
# must then hold byte for byte in code page 932. The pictures of the screens it passes land in
# SHOTS (a folder) when one is given.
#   game_under_wine.sh KALEIDRON_EXE [SHOTS]
#
# Wine's console keeps a full-width character in one cell; the game fills the cell after it so
# that the screen stands column for column as on Linux, where tmux draws the box characters,
# "■", "…" and their kind one column wide, each followed by the narrow character that keeps its
# shape ("■■", "… ").

set -euo pipefail

GAME="$(realpath "$1")"
SHOTS="${2:-}"
# shellcheck source=../e2e/tmux_driver.sh
source "$(dirname "$0")/../e2e/tmux_driver.sh"

shot() {
    if [[ -n "$SHOTS" ]]; then
        mkdir -p "$SHOTS"
        screen >"$SHOTS/$1.txt"
    fi
}

# Every name of the ranking with score 0: whatever the game totals, it takes the 5th place. The
# typed name is written over the 5th name up to its terminating zero, as the game always has, so
# that name is no longer than the typed one and the record is known to the byte.
rank_file 0 "柊木とろり" 0 "灯籠守" 0 "凪砂" 0 "霜柱" 0 "Frost" >"$E2E_WORK/Rank.dat"

# Wine's sound drivers report a missing sound card on standard error, which is the pane: it goes
# to a file instead, and the game plays silently.
start_session "WINEDEBUG=-all wine '$GAME' 2>wine-errors.txt"
wait_for "ノーマルモード" 60
wait_for "[SPACE]… 決定" 5
shot title

# The ranking board, and back.
tmx send-keys -t game Right
wait_for "チュートリアル" 5
tmx send-keys -t game Right
wait_for "ランキング" 5
tmx send-keys -t game Space
wait_for "HI SCORE" 10
wait_for "Frost" 10
shot ranking
space_until "ノーマルモード" 20

# The tutorial, through its script and back.
tmx send-keys -t game Right
wait_for "チュートリアル" 5
tmx send-keys -t game Space
wait_for "ゲーム説明" 10
shot tutorial
seen=""
for ((taps = 0; taps < 60; taps++)); do
    shows "ノーマルモード" && break
    key_changes_screen Space 2 || true
    seen+="$(printf '%s\n' "${E2E_ROWS[@]}")"
done
shows "ノーマルモード" || fail "the tutorial did not come back to the title screen"
[[ "$seen" == *"Great +2sec"* ]] || fail "the tutorial never showed its right answer"

# A game left unanswered runs out of time; the total of 0 ranks in, and the name is typed.
tmx send-keys -t game Space
wait_for "TIME" 15
shot question
wait_for "タイムオーバー" 120
shot time-over
wait_for "RESULT" 15
space_until "名前をエントリーして下さい" 20
shot result
tmx send-keys -t game -l "ワイン"
tmx send-keys -t game Enter
wait_for "Thank you for your playing." 10
wait_for "ワイン" 5
shot ranking-after

# The typed name took the 5th place, Frost's; equal scores trade places as they sort,
# so the five records are compared as a set, each byte for byte, and the spare one is zero.
records() {
    local i
    for ((i = 0; i < 5; i++)); do
        od -An -tx1 -v -j $((i * 56)) -N 56 "$1" | tr -d ' \n'
        echo
    done | sort
}
expected_file="$E2E_WORK/expected.dat"
rank_file 0 "ワイン" 0 "柊木とろり" 0 "灯籠守" 0 "凪砂" 0 "霜柱" >"$expected_file"
[[ "$(file_size "$E2E_WORK/Rank.dat")" == 336 ]] || fail "Rank.dat is not 336 bytes"
if [[ "$(records "$E2E_WORK/Rank.dat")" != "$(records "$expected_file")" ]]; then
    diff <(records "$expected_file") <(records "$E2E_WORK/Rank.dat") >&2 || true
    fail "Rank.dat does not hold the typed name in code page 932"
fi
cmp <(head -c 56 /dev/zero) <(tail -c +281 "$E2E_WORK/Rank.dat") || fail "the spare record is not zero"
space_until "ノーマルモード" 20
echo "PASSED: the game under Wine, from the title to a name in Rank.dat"
