#!/usr/bin/env bash
# The game on real terminal emulators under a virtual X display:
#   xterm as it comes (ambiguous characters narrow), xterm -cjk_width (drawn wide), and kitty
#   (kitty keyboard protocol, exact key releases; software OpenGL).
# For each: the title screen is whole and aligned, and a question is caught scrolling; the
# pictures land in SHOTS to be looked at. On kitty, holding Right moves the menu cursor one
# item, a quick tap one, two taps two.
#
# check_terminals.sh GAME [SHOTS]

set -euo pipefail

GAME="$(realpath "$1")"
SHOTS="$(realpath -m "${2:-terminal-shots}")"
mkdir -p "$SHOTS"
# shellcheck source=x_driver.sh
source "$(dirname "$0")/x_driver.sh"
# shellcheck source=rank_file.sh
source "$(dirname "$0")/rank_file.sh"

readonly CJK_FONT="Noto Sans Mono CJK JP"
readonly LATIN_FONT="DejaVu Sans Mono"

# A fresh working directory for each run of the game, so that each starts from the defaults
# or from the ranking file given.
game_command() {
    local dir
    dir="$(mktemp -d "$X_WORK/game-XXXXXX")"
    if [[ -n "${1:-}" ]]; then cp "$1" "$dir/Rank.dat"; fi
    echo "cd '$dir' && ALSOFT_DRIVERS=nosuch exec '$GAME'"
}

# A tap: down for 150 ms, then up. The menu looks at the keys every 100 ms and reads key state,
# not a queue of presses, so on kitty, which reports the release, a shorter tap can begin and
# end between two looks and go unseen.
tap() {
    xdotool keydown "$1"
    sleep 0.15
    xdotool keyup "$1"
}

# Title screen and a scrolling question, pictured, in the terminal that is running.
picture_title_and_question() {
    local name="$1"
    wait_cursor 9 15
    shot "$SHOTS/$name-title.png"
    expect_title_aligned "$SHOTS/$name-title.png"
    tap space
    shoot_scrolling_row "$SHOTS/$name-question.png" 30
    echo "ok: $name: the title is aligned; pictures $name-title.png, $name-question.png"
}

check_xterm() {
    local name="$1"
    shift
    start_terminal "kal-$name" "$X_WORK/$name.log" \
        xterm -b 0 -geometry 80x25+0+0 -fa "$LATIN_FONT" -fd "$CJK_FONT" -fs 12 "$@" \
        -T "kal-$name" -e sh -c "$(game_command)"
    picture_title_and_question "$name"
    stop_terminal
}

# xterm sends no key releases: the game infers them from silence. Holding Right gives one step
# for the press and one more where X's auto-repeat sets in; any gap in the repeats longer
# than the inferred release (a busy machine) reads as one more tap. Reported, not judged: the
# count depends on the machine's load.
report_xterm_hold() {
    start_terminal kal-xterm-hold "$X_WORK/xterm-hold.log" \
        xterm -b 0 -geometry 80x25+0+0 -fa "$LATIN_FONT" -fd "$CJK_FONT" -fs 12 \
        -T kal-xterm-hold -e sh -c "$(game_command)"
    wait_cursor 9 15
    xdotool keydown Right
    wait_cursor 29 5
    sleep 1.5
    xdotool keyup Right
    sleep 0.3
    echo "info: xterm: holding Right for 1.5 s left the cursor at column $(cursor_column)" \
        "(29: one item, 49: two, 69: three)"
    stop_terminal
}

start_kitty() {
    local ranking="${1:-}"
    start_terminal kal-kitty "$X_WORK/kitty.log" \
        env LIBGL_ALWAYS_SOFTWARE=1 kitty --config NONE -o font_family="$LATIN_FONT" \
        -o font_size=11 -o initial_window_width=80c -o initial_window_height=25c \
        -o remember_window_size=no -o window_padding_width=0 -o placement_strategy=top-left \
        -T kal-kitty sh -c "$(game_command "$ranking")"
}

# With exact key releases a held key is one key: the cursor moves one item however long it is
# held, and every tap moves it once.
check_kitty_keys() {
    wait_cursor 9 15
    xdotool keydown Right
    wait_cursor 29 5
    sleep 1.5 # held through X's auto-repeat, which starts after 660 ms
    xdotool keyup Right
    wait_cursor 29 5
    echo "ok: kitty: holding Right for 1.5 s moves the cursor one item"

    tap Right
    wait_cursor 49 5
    echo "ok: kitty: a tap on Right moves the cursor one item"

    tap Left
    wait_cursor 29 5
    tap Right
    sleep 0.15
    tap Right
    wait_cursor 69 5
    echo "ok: kitty: two taps on Right move the cursor two items"
}

# Waits up to timeout seconds until the predicate holds for a picture of the terminal.
wait_picture() {
    local timeout="$1" what="$2" predicate="$3" tries
    tries=$((timeout * 5))
    while ((tries-- > 0)); do
        shot "$X_WORK/wait.png"
        "$predicate" "$X_WORK/wait.png" && return 0
        sleep 0.2
    done
    x_fail "$what did not appear within ${timeout} s"
}

# The roulette's "Press SPACE KEY" on row 22, with the lower left corner blank: not the play
# screen, whose "TIME" and level indicator stand there.
shows_roulette() { is_painted "$1" 44 22 15 && is_white "$1" 1 22 14 && is_white "$1" 1 24 14; }
shows_name_prompt() { is_painted "$1" 15 24 20; }
# "HI SCORE" on row 2: the ranking board.
shows_board() { is_painted "$1" 36 2 8; }

# A game left unanswered ranks in against a ranking whose 5th place is 0. SPACE stops the
# roulette, the name is typed, and the board ("HI SCORE" on row 2) then waits for SPACE: the
# SPACE that stopped the roulette was let go long before.
check_kitty_rank_in() {
    rank_file 150 "柊木とろり" 120 "灯籠守" 90 "凪砂" 60 "霜柱" 0 "Frost" >"$X_WORK/zero.dat"
    start_kitty "$X_WORK/zero.dat"
    wait_cursor 9 15
    tap space
    wait_picture 90 "the roulette's \"Press SPACE KEY\"" shows_roulette
    tap space
    wait_picture 15 "the name prompt" shows_name_prompt
    xdotool type --delay 80 ABC
    xdotool key Return
    wait_picture 10 "the ranking board" shows_board
    sleep 2
    shot "$SHOTS/kitty-board-after-name.png"
    is_painted "$SHOTS/kitty-board-after-name.png" 36 2 8 ||
        x_fail "the board after the name entry went by without SPACE"
    echo "ok: kitty: after the name entry the board waits for SPACE"
    stop_terminal
}

check_kitty() {
    start_kitty
    check_kitty_keys
    stop_terminal
    start_kitty
    picture_title_and_question kitty
    stop_terminal
    check_kitty_rank_in
}

start_display
check_xterm xterm
check_xterm xterm-cjk -cjk_width
report_xterm_hold
check_kitty
echo "all terminal checks passed; pictures in $SHOTS"
