#!/usr/bin/env bash
# The real kaleidron.exe under Wine, in detached tmux panes whose console Wine draws on, meeting
# the player's console as it comes: with its standard input redirected (the NUL device, a file
# of keys) the keys are read from there and the game ends by itself with status 0 when they run
# out; in a 70x20 pane it shows the notice asking for 80x25 from its first frame, never the
# title, and Ctrl-C still ends it.
#   console_under_wine.sh KALEIDRON_EXE

set -euo pipefail

GAME="$(realpath "$1")"
work="$(mktemp -d "${TMPDIR:-/tmp}/kaleidron-console-XXXXXX")"
socket="kal-console-$$"
cleanup() {
    tmux -L "$socket" kill-server 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
export LC_ALL=C.UTF-8
# The game and what it reads stand in a folder of their own, so that cmd finds them by name.
cp "$GAME" "$work/kaleidron.exe"
# Right, Right, Space: the title's cursor to the ranking, then chosen.
printf '\033[C\033[C ' >"$work/keys"

fail() {
    echo "FAILED: $*" >&2
    tmux -L "$socket" capture-pane -p -t game >&2 2>/dev/null || true
    exit 1
}

# Starts a command for the shell in the folder, in a pane of cols x rows; Wine's complaints
# about the missing sound card go to a file, its status to another.
start() {
    rm -f "$work/status"
    tmux -L "$socket" kill-server 2>/dev/null || true
    tmux -u -f /dev/null -L "$socket" new-session -d -s game -x "$1" -y "$2" -c "$work" \
        "$3 2>wine-errors.txt; echo \$? >status"
}

# The status of the command once it has ended, within the seconds given.
status_within() {
    local tenths
    for ((tenths = 0; tenths < $1 * 10; tenths++)); do
        if [[ -s "$work/status" ]]; then
            cat "$work/status"
            return 0
        fi
        sleep 0.1
    done
    return 1
}

shows_within() {
    local tenths
    for ((tenths = 0; tenths < $2 * 10; tenths++)); do
        [[ "$(tmux -L "$socket" capture-pane -p -t game)" == *"$1"* ]] && return 0
        sleep 0.1
    done
    return 1
}

for run in "wine cmd /c 'kaleidron.exe < NUL'" "WINEDEBUG=-all wine kaleidron.exe <keys"; do
    start 80 25 "$run"
    status="$(status_within 20)" || fail "$run: still running after 20 s"
    [[ "$status" == 0 ]] || fail "$run: ended with status $status"
done

start 70 20 "WINEDEBUG=-all wine kaleidron.exe"
shows_within "80x25 以上に広げて下さい" 30 || fail "no notice in a 70x20 pane"
[[ "$(tmux -L "$socket" capture-pane -p -t game)" != *"ノーマルモード"* ]] ||
    fail "the title shows in a 70x20 pane"
tmux -L "$socket" send-keys -t game C-c
status_within 10 >/dev/null || fail "Ctrl-C did not end the game under the notice"
echo "PASSED: the game under Wine reads redirected keys to their end and asks for 80x25"
