# shellcheck shell=bash
# Drives the real game in a detached 80x25 tmux session, as a player at a terminal would: keys
# go in with send-keys, the screen is read back with capture-pane. Sourced by the end-to-end
# scripts; every wait polls the screen until a deadline, none is a blind sleep.
#
# tmux here speaks no kitty keyboard protocol, so the game infers key releases: a key is sent
# once, then the script waits for the screen to change.

export LC_ALL=C.UTF-8

# shellcheck source=rank_file.sh
source "$(dirname "${BASH_SOURCE[0]}")/rank_file.sh"

E2E_SOCKET="kal-e2e-$$"
E2E_WORK="$(mktemp -d "${TMPDIR:-/tmp}/kaleidron-e2e-XXXXXX")"
E2E_POLL=0.1

e2e_cleanup() {
    tmux -L "$E2E_SOCKET" kill-server 2>/dev/null || true
    rm -rf "$E2E_WORK"
}
trap e2e_cleanup EXIT

tmx() { tmux -u -f /dev/null -L "$E2E_SOCKET" "$@"; }

# Starts the command (a string for the shell) in the working directory (or the one given), in
# an 80x25 window that stays open after the command ends, so that its last screen can still
# be read.
start_session() {
    tmx new-session -d -s game -x 80 -y 25 -c "${2:-$E2E_WORK}" \
        -e ALSOFT_DRIVERS="${ALSOFT_DRIVERS:-nosuch}" -e LC_ALL=C.UTF-8 "$1"
    tmx set-option -t game remain-on-exit on
}

screen() { tmx capture-pane -p -t game; }

# The checks read the screen as it was last captured, so that a whole screen is looked at
# once: snap captures it anew, and every wait captures it on each poll.
E2E_ROWS=()
snap() { mapfile -t E2E_ROWS < <(screen); }
row() { printf '%s' "${E2E_ROWS[$(($1 - 1))]:-}"; }
pane() { tmx display-message -p -t game "$1"; }

fail() {
    echo "FAILED: $*" >&2
    echo "---- screen ----" >&2
    screen >&2 || true
    echo "----------------" >&2
    exit 1
}

# Whether a character of this code point takes two cells: the CJK ranges that terminals draw
# wide whatever their setting (ambiguous characters stay narrow in tmux).
is_wide() {
    local cp="$1"
    (((cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0xA4CF) ||
        (cp >= 0xAC00 && cp <= 0xD7A3) || (cp >= 0xF900 && cp <= 0xFAFF) ||
        (cp >= 0xFE30 && cp <= 0xFE4F) || (cp >= 0xFF00 && cp <= 0xFF60) ||
        (cp >= 0xFFE0 && cp <= 0xFFE6)))
}

# What row y shows from column x (1-based, in terminal cells) to its end; empty when x lies in
# the middle of a wide character or beyond the text.
text_from() {
    local x="$1" line="${E2E_ROWS[$(($2 - 1))]:-}" column=1 i cp
    for ((i = 0; i < ${#line} && column < x; i++)); do
        printf -v cp '%d' "'${line:i:1}"
        if is_wide "$cp"; then column=$((column + 2)); else column=$((column + 1)); fi
    done
    if ((column == x)); then printf '%s' "${line:i}"; fi
}

at() { [[ "$(text_from "$1" "$2")" == "$3"* ]]; }

shows() {
    snap
    local line
    for line in "${E2E_ROWS[@]}"; do
        [[ "$line" == *"$1"* ]] && return 0
    done
    return 1
}

# Waits until the screen shows the text, for at most timeout seconds.
wait_for() {
    local text="$1" timeout="${2:-10}" tries
    tries=$((timeout * 10))
    while ((tries-- > 0)); do
        shows "$text" && return 0
        sleep "$E2E_POLL"
    done
    fail "\"$text\" did not appear within ${timeout} s"
}

# Waits until the text stands at column x of row y, for at most timeout seconds.
wait_at() {
    local x="$1" y="$2" text="$3" timeout="${4:-10}" tries
    tries=$((timeout * 10))
    while ((tries-- > 0)); do
        snap
        at "$x" "$y" "$text" && return 0
        sleep "$E2E_POLL"
    done
    fail "\"$text\" did not appear at ($x, $y) within ${timeout} s"
}

expect_at() {
    at "$1" "$2" "$3" || fail "expected \"$3\" at ($1, $2); row $2 reads '$(row "$2")'"
}

# Sends the key and waits up to timeout seconds for the screen to change. Returns non-zero
# when it did not change: a key can fall into a pause in which the game does not look.
key_changes_screen() {
    local key="$1" timeout="${2:-2}" before tries
    snap
    before="$(printf '%s\n' "${E2E_ROWS[@]}")"
    tmx send-keys -t game "$key"
    tries=$((timeout * 10))
    while ((tries-- > 0)); do
        sleep "$E2E_POLL"
        snap
        [[ "$(printf '%s\n' "${E2E_ROWS[@]}")" != "$before" ]] && return 0
    done
    return 1
}

# Taps SPACE until the text appears: once, and again only when the text has not appeared
# within two seconds (a tap can fall into a pause in which the game does not look at keys).
space_until() {
    local text="$1" timeout="${2:-20}" taps tries
    taps=$((timeout / 2))
    while ((taps-- > 0)); do
        shows "$text" && return 0
        tmx send-keys -t game Space
        tries=20
        while ((tries-- > 0)); do
            sleep "$E2E_POLL"
            shows "$text" && return 0
        done
    done
    fail "\"$text\" did not appear after tapping SPACE for ${timeout} s"
}

file_size() { stat -c %s "$1"; }

# The title screen as it stands after start-up, with the cursor on the first item.
expect_title_screen() {
    wait_at 9 18 "▽" 15
    local y x item
    for y in 3 4 5 6 7; do
        expect_at 3 "$y" "■"
    done
    expect_at 78 5 "++"
    expect_at 2 8 "―"
    for y in 19 23; do
        for x in 5 25 45 65; do
            expect_at "$x" "$y" "■■■■■■■■■■"
        done
    done
    x=8
    for item in "挑戦" "説明" "順位" "製作"; do
        expect_at "$x" 21 "$item"
        x=$((x + 20))
    done
    expect_at 9 24 "△"
    expect_at 51 25 "[SPACE]"
    row 25 | grep -qE '\[SPACE\]… ?決定  \[← ?\]\[→ ?\]… ?選択' ||
        fail "the key help reads '$(row 25)'"
    wait_at 3 16 "| ノーマルモード／全6ステージをクリアしていく基本のモード" 5
}

# Moves the title menu's cursor right by one item and waits for the marks to follow.
title_cursor_right_to() {
    local mark_column="$1"
    tmx send-keys -t game Right
    wait_at "$mark_column" 18 "▽" 5
    wait_at "$mark_column" 24 "△" 5
    # tmux reports no key releases: two presses closer than the game's inferred release time
    # (120 ms) read as one held key, so the next tap comes at a player's pace.
    sleep 0.2
}

# Chooses the item whose marks stand at mark_column (9, 29, 49 or 69) from a fresh title.
choose_title_item() {
    local mark_column="$1" x
    for ((x = 29; x <= mark_column; x += 20)); do
        title_cursor_right_to "$x"
    done
    tmx send-keys -t game Space
}
