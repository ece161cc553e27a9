#!/usr/bin/env bash
# End-to-end checks of the real game binary on a real terminal (tmux), each in a fresh working
# directory: game_e2e.sh GAME CASE, where CASE names one behaviour a player sees.

set -euo pipefail

GAME="$(realpath "$1")"
CASE="$2"
# shellcheck source=tmux_driver.sh
source "$(dirname "$0")/tmux_driver.sh"

# The game's own words.
readonly THANKS="Thank you for your playing. Press SPACE KEY."
readonly NO_RANK_IN="残念!ランクイン出来ませんでした"
readonly NAME_PROMPT="名前をエントリーして下さい"

start_game() {
    start_session "$GAME"
    expect_title_screen
}

StartUpWritesTheDefaultRankingAndDrawsTheTitle() {
    [[ ! -e "$E2E_WORK/Rank.dat" ]] || fail "the working directory is not fresh"
    start_game
    [[ "$(file_size "$E2E_WORK/Rank.dat")" == 336 ]] || fail "Rank.dat is not 336 bytes"
    cmp <(default_ranking) "$E2E_WORK/Rank.dat" || fail "Rank.dat does not hold the default ranking"
}

TheCursorMovesOneItemPerTapAndStopsAtTheLastItem() {
    start_game
    title_cursor_right_to 29
    wait_at 3 16 "| チュートリアル／" 5
    title_cursor_right_to 49
    title_cursor_right_to 69
    wait_at 3 16 "| システム／" 5
    ! key_changes_screen Right 1 || fail "RIGHT on the last item changed the screen"
    expect_at 69 18 "▽"
    tmx send-keys -t game Left
    wait_at 49 18 "▽" 5
}

TheTutorialRunsThroughItsScriptAndReturnsToTheTitle() {
    start_game
    choose_title_item 29
    wait_at 34 6 "ゲーム説明" 5
    expect_at 27 8 "SPACEキーで説明を進めます。"
    expect_at 54 22 "TIME"
    local seen=""
    local tries=60
    while ((tries-- > 0)) && ! at 8 21 "挑戦"; do
        key_changes_screen Space 2 || true
        seen+="$(printf '%s\n' "${E2E_ROWS[@]}")"
    done
    at 8 21 "挑戦" || fail "the tutorial did not come back to the title screen"
    local text
    for text in "これが実際のゲーム画面です。" "Great +2sec" "Penalty! Time -3sec" \
        "全面クリア目指して頑張って下さい。"; do
        [[ "$seen" == *"$text"* ]] || fail "the tutorial never showed \"$text\""
    done
    expect_title_screen
}

TheRankingBoardShowsTheDefaultRankingAndReturnsToTheTitle() {
    start_game
    choose_title_item 49
    wait_at 36 2 "HI SCORE" 5
    wait_at 46 22 "Silverthistle" 5
    wait_at 18 6 "柊木とろり" 5
    expect_at 25 10 "灯籠守"
    expect_at 32 14 "凪砂"
    expect_at 39 18 "霜柱"
    wait_at 64 25 "Press SPACE KEY." 5
    space_until "挑戦" 10
    expect_title_screen
}

TheCreditsShowTheStaffAndReturnToTheTitle() {
    start_game
    choose_title_item 69
    wait_at 37 2 "CREDIT" 5
    wait_at 64 25 "Press SPACE KEY." 5
    expect_at 20 5 "■"
    expect_at 22 5 "プログラマー"
    space_until "挑戦" 10
    expect_title_screen
}

# Plays a game without answering, up to the roulette of the result screen.
play_unanswered_game() {
    choose_title_item 9
    wait_for "TIME" 15
    wait_at 34 12 "タイムオーバー" 90
    wait_at 68 3 "RESULT" 15
    wait_at 44 22 "Press SPACE KEY" 20
    expect_at 2 5 "レベル1 正解数"
    expect_at 2 20 "残り時間"
}

AnUnansweredGameRunsOutOfTimeAndMissesTheRanking() {
    start_game
    play_unanswered_game
    space_until "$NO_RANK_IN" 10
    expect_at 10 23 "$NO_RANK_IN"
    expect_at 64 14 "最悪かも･･････"
    space_until "$THANKS" 10
    expect_at 36 25 "$THANKS"
    space_until "挑戦" 10
    expect_title_screen
    cmp <(default_ranking) "$E2E_WORK/Rank.dat" || fail "a game that missed the ranking changed it"
}

AGameThatReachesTheFifthPlaceTakesTheTypedName() {
    rank_file 150 "柊木とろり" 120 "灯籠守" 90 "凪砂" 60 "霜柱" 0 "Frost" >"$E2E_WORK/Rank.dat"
    start_game
    play_unanswered_game
    space_until "$NAME_PROMPT" 10
    expect_at 10 23 "位にランクイン!"
    wait_at 15 24 "$NAME_PROMPT" 5
    # A word too long for the field shows its end there and is asked for again; the screen
    # never scrolls.
    tmx send-keys -t game -l "$(printf 'W%.0s' {1..36})"
    wait_at 58 24 "$(printf 'W%.0s' {1..22})" 5
    tmx send-keys -t game Enter
    sleep 0.5
    snap
    expect_at 68 3 "RESULT"
    expect_at 15 24 "$NAME_PROMPT"
    [[ -z "$(row 25 | tr -d ' ')" ]] || fail "the name ran onto row 25"
    [[ "$(text_from 58 24 | tr -d ' ')" == "" ]] || fail "the refused word was not cleared"
    tmx send-keys -t game "ABC" Enter
    wait_at 36 25 "$THANKS" 10
    wait_at 46 22 "ABC" 5
    [[ "$(file_size "$E2E_WORK/Rank.dat")" == 336 ]] || fail "Rank.dat is not 336 bytes"
    cmp -n 224 <(default_ranking) "$E2E_WORK/Rank.dat" || fail "places 1 to 4 changed"
    [[ "$(od -An -tx1 -j224 -N8 "$E2E_WORK/Rank.dat" | tr -d ' ')" == 0000000041424300 ]] ||
        fail "the 5th place is not score 0 with the name ABC"
    cmp <(head -c 56 /dev/zero) <(tail -c +281 "$E2E_WORK/Rank.dat") ||
        fail "the spare record is not zero"
    space_until "挑戦" 10
    expect_title_screen
}

# Runs the game from a shell in the session, one command line at a time as a player would type
# them, so that the terminal it leaves behind can be compared with the one it found.
type_line() {
    tmx send-keys -t game -l "$1"
    tmx send-keys -t game Enter
}

start_game_from_shell() {
    start_session "env PS1='$ ' bash --norc --noprofile"
    wait_for "$" 5
    type_line "stty -a >before.txt"
    type_line "sh -c 'echo \$\$ >game.pid; exec \"$GAME\"'"
    expect_title_screen
}

# The shell reports the game's exit status (128 + the signal that ended it) and the terminal
# reads as before: the same modes, the main screen, the cursor shown.
expect_terminal_restored() {
    wait_for "exec" 10
    type_line 'echo "status=$?"; stty -a >after.txt; echo "done"'
    wait_for "status=$1" 10
    wait_for "done" 5
    cmp "$E2E_WORK/before.txt" "$E2E_WORK/after.txt" || {
        diff "$E2E_WORK/before.txt" "$E2E_WORK/after.txt" >&2 || true
        fail "the terminal modes differ after the game"
    }
    [[ "$(pane '#{alternate_on}')" == 0 ]] || fail "the alternate screen is still on"
    [[ "$(pane '#{cursor_flag}')" == 1 ]] || fail "the cursor is still hidden"
}

CtrlCLeavesTheTerminalAsItWas() {
    start_game_from_shell
    tmx send-keys -t game C-c
    expect_terminal_restored 130
}

KillTermLeavesTheTerminalAsItWas() {
    start_game_from_shell
    kill -TERM "$(cat "$E2E_WORK/game.pid")"
    expect_terminal_restored 143
}

declare -F "$CASE" >/dev/null || fail "no such case: $CASE"
"$CASE"
echo "passed: $CASE"
