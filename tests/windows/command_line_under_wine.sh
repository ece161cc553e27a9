#!/usr/bin/env bash
# The real kaleidron.exe under Wine with a Western code page (LC_ALL=C.UTF-8 gives Wine the
# ANSI code page 1252), in a detached 80x25 tmux pane whose console Wine draws on:
# - --help, --version, --stats and a mistake, written on the console, read back as the
#   characters they are, Japanese included, and the help speaks of this system's keys;
# - --ranking with a Japanese folder keeps Rank.dat there;
# - a ranking that cannot be saved is told on standard error when Ctrl-C ends the game.
#   command_line_under_wine.sh KALEIDRON_EXE

set -euo pipefail

GAME="$(realpath "$1")"
# shellcheck source=../e2e/tmux_driver.sh
source "$(dirname "$0")/../e2e/tmux_driver.sh"

# Runs the command (a string for the shell) in a new pane and waits for it to end; its screen,
# scrollback included, is then in E2E_ROWS.
run_in_pane() {
    tmx kill-session -t game 2>/dev/null || true
    start_session "$1"
    local tries=300
    while ((tries-- > 0)) && [[ "$(pane '#{pane_dead}')" != 1 ]]; do
        sleep "$E2E_POLL"
    done
    [[ "$(pane '#{pane_dead}')" == 1 ]] || fail "'$1' did not end"
    mapfile -t E2E_ROWS < <(tmx capture-pane -p -S - -t game)
}

shown() { printf '%s\n' "${E2E_ROWS[@]}"; }

expect_shown() {
    [[ "$(shown)" == *"$1"* ]] || fail "the console does not show \"$1\""
}

mkdir "$E2E_WORK/日本"
wine_game="WINEDEBUG=-all wine '$GAME'"

run_in_pane "$wine_game --version"
expect_shown "kaleidron $(sed -n 's/^project.kaleidron VERSION \([0-9.]*\).*/\1/p' \
    "$(dirname "$0")/../../CMakeLists.txt")"

run_in_pane "$wine_game --help"
expect_shown "Usage: kaleidron [--ranking FILE]"
expect_shown "Ctrl-Break"
[[ "$(shown)" != *"Ctrl-Z"* && "$(shown)" != *"kaleidron(6)"* ]] ||
    fail "the Windows help speaks of Ctrl-Z or of a manual page"

# The report of an empty history, in Japanese; an argument in Japanese shown back as typed.
printf 'date\ttotal\n' >"$E2E_WORK/日本/history.tsv"
run_in_pane "$wine_game --stats --ranking '日本\\Rank.dat'"
expect_shown "まだ記録がありません"
run_in_pane "$wine_game --ranking '日本\\Rank.dat' 余り"
expect_shown "kaleidron: unexpected argument '余り'"
echo "PASSED: --version, --help, --stats and a mistake read back from the console"

# The ranking is written at start-up: the title shows once it is there. Wine's sound drivers
# report a missing sound card on standard error, which goes to a file.
tmx kill-session -t game 2>/dev/null || true
start_session "$wine_game --ranking '日本\\Rank.dat' 2>wine-errors.txt"
wait_for "ノーマルモード" 60
[[ "$(file_size "$E2E_WORK/日本/Rank.dat")" == 336 ]] || fail "日本\\Rank.dat was not written"
tmx send-keys -t game C-c
echo "PASSED: --ranking 日本\\Rank.dat keeps the ranking there"

tmx kill-session -t game 2>/dev/null || true
start_session "$wine_game --ranking 'なし\\Rank.dat' 2>wine-errors.txt"
wait_for "ノーマルモード" 60
tmx send-keys -t game C-c
tries=100
while ((tries-- > 0)) && [[ "$(pane '#{pane_dead}')" != 1 ]]; do
    sleep "$E2E_POLL"
done
told="$(grep -c 'kaleidron: ランキングを保存できませんでした: なし\\Rank.dat' \
    "$E2E_WORK/wine-errors.txt" || true)"
[[ "$told" == 1 ]] || fail "a ranking not saved was told $told times on standard error"
echo "PASSED: a ranking that could not be saved is told once when Ctrl-C ends the game"
