#!/usr/bin/env bash
# Runs a Windows program under Wine in a detached 80x25 tmux pane, so that it has a real console
# (Wine draws it on the pane), and waits for it to end. Its standard output and error go to
# files, which are printed afterwards; the exit status is the program's, 124 on a time-out.
#   run_in_console.sh TIMEOUT_SECONDS PROGRAM [ARGUMENTS...]

set -euo pipefail

timeout="$1"
shift
work="$(mktemp -d "${TMPDIR:-/tmp}/kaleidron-wine-XXXXXX")"
socket="kal-wine-$$"
cleanup() {
    tmux -L "$socket" kill-server 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

command="WINEDEBUG=-all wine"
for argument in "$@"; do
    command+=" $(printf '%q' "$argument")"
done
tmux -f /dev/null -L "$socket" new-session -d -x 80 -y 25 \
    "$command >'$work/out' 2>'$work/err'; echo \$? >'$work/status'"

for ((tenths = 0; tenths < timeout * 10; tenths++)); do
    [[ -s "$work/status" ]] && break
    sleep 0.1
done
cat "$work/out"
if [[ ! -s "$work/status" ]]; then
    echo "$1: still running after ${timeout} s" >&2
    tail -20 "$work/err" >&2
    exit 124
fi
status="$(cat "$work/status")"
if [[ "$status" != 0 ]]; then
    # Wine's sound drivers complain about the missing sound card there too; the rest is ours.
    grep -v '^ALSA lib' "$work/err" >&2 || true
fi
exit "$status"
