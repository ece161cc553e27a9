# shellcheck shell=bash
# Runs the real game in real terminal emulators (xterm, kitty) on a private virtual X display
# (Xvfb): keys go in through the X server like a keyboard's (xdotool, XTEST), the screen comes
# back as screenshots of the window (ImageMagick import). The terminal's cells are found from
# the size of its window's picture: 80 columns by 25 rows, no border. Sourced by check_terminals.sh.

export LC_ALL=C.UTF-8

X_WORK="$(mktemp -d "${TMPDIR:-/tmp}/kaleidron-x-XXXXXX")"
X_SERVER_PID=""
X_TERMINAL_PID=""
X_WINDOW=""
CELL_W=0
CELL_H=0

x_cleanup() {
    stop_terminal
    if [[ -n "$X_SERVER_PID" ]]; then kill "$X_SERVER_PID" 2>/dev/null || true; fi
    rm -rf "$X_WORK"
}
trap x_cleanup EXIT

x_fail() {
    echo "FAILED: $*" >&2
    if [[ -n "$X_WINDOW" ]]; then
        shot "${SHOTS:-$X_WORK}/failure.png" && echo "screenshot: ${SHOTS:-$X_WORK}/failure.png" >&2
    fi
    exit 1
}

# Starts Xvfb on the first free display number and points DISPLAY at it.
start_display() {
    local fd_file="$X_WORK/display"
    Xvfb -displayfd 3 -screen 0 1600x1000x24 -nolisten tcp 3>"$fd_file" 2>"$X_WORK/xvfb.log" &
    X_SERVER_PID=$!
    local tries=100
    while ((tries-- > 0)) && [[ ! -s "$fd_file" ]]; do sleep 0.1; done
    [[ -s "$fd_file" ]] || x_fail "Xvfb did not start: $(cat "$X_WORK/xvfb.log")"
    DISPLAY=":$(head -1 "$fd_file")"
    export DISPLAY
}

# Starts a terminal whose window carries the title, running the game in a fresh working
# directory (given), and waits for its window; the window gets the keyboard focus.
start_terminal() {
    local title="$1" log="$2"
    shift 2
    "$@" >"$log" 2>&1 &
    X_TERMINAL_PID=$!
    local tries=150
    X_WINDOW=""
    while ((tries-- > 0)) && [[ -z "$X_WINDOW" ]]; do
        kill -0 "$X_TERMINAL_PID" 2>/dev/null ||
            x_fail "the terminal ended at start-up: $(tail -5 "$log")"
        X_WINDOW="$(xdotool search --name "^${title}\$" 2>/dev/null | head -1 || true)"
        sleep 0.1
    done
    [[ -n "$X_WINDOW" ]] || x_fail "no window titled $title appeared"
    xdotool mousemove --window "$X_WINDOW" 10 10
    xdotool windowfocus --sync "$X_WINDOW" 2>/dev/null || true
}

stop_terminal() {
    if [[ -n "$X_TERMINAL_PID" ]]; then
        kill "$X_TERMINAL_PID" 2>/dev/null || true
        wait "$X_TERMINAL_PID" 2>/dev/null || true
    fi
    X_TERMINAL_PID=""
    X_WINDOW=""
}

# Takes a picture of the terminal's window; the size of a cell follows from the picture's.
shot() {
    timeout 20 import -window "$X_WINDOW" "$1"
    local size
    size="$(identify -format '%w %h' "$1")"
    CELL_W=$((${size% *} / 80))
    CELL_H=$((${size#* } / 25))
}

# Mean brightness (0 black .. 1 white) of the cells from (x, y), columns wide, in the picture.
cells_mean() {
    local picture="$1" x="$2" y="$3" columns="${4:-1}"
    convert "$picture" -crop "$((CELL_W * columns))x${CELL_H}+$(((x - 1) * CELL_W))+$(((y - 1) * CELL_H))" \
        -colorspace Gray -format '%[fx:mean]' info:
}

is_white() { awk -v m="$(cells_mean "$@")" 'BEGIN { exit !(m > 0.99) }'; }
is_painted() { awk -v m="$(cells_mean "$@")" 'BEGIN { exit !(m < 0.97) }'; }

# The mark column (9, 29, 49 or 69) of the title menu's cursor "▽" on row 18, or "none" or
# "several".
cursor_column() {
    local picture="$X_WORK/cursor.png" found="" x
    shot "$picture"
    for x in 9 29 49 69; do
        if is_painted "$picture" "$x" 18 2; then found+="${found:+ }$x"; fi
    done
    case "$found" in
        "") echo none ;;
        *" "*) echo several ;;
        *) echo "$found" ;;
    esac
}

# Waits up to timeout seconds for the menu cursor to stand on the mark column.
wait_cursor() {
    local want="$1" timeout="${2:-5}" tries got=""
    tries=$((timeout * 5))
    while ((tries-- > 0)); do
        got="$(cursor_column)"
        [[ "$got" == "$want" ]] && return 0
        sleep 0.2
    done
    x_fail "the menu cursor is at '$got', not at column $want"
}

# The title screen drawn whole, with every box where it belongs: for each of the four boxes
# the side cells are painted, the inside is white, and the cells just outside are white. A
# terminal that drew some character wider or narrower than the game counted would shift the
# boxes and break this.
expect_title_aligned() {
    local picture="$1" b
    for b in 5 25 45 65; do
        is_painted "$picture" "$b" 20 2 || x_fail "box at column $b: its left side is missing"
        is_painted "$picture" $((b + 8)) 20 2 || x_fail "box at column $b: its right side is missing"
        is_white "$picture" $((b + 2)) 20 6 || x_fail "box at column $b: its inside is not white"
        is_white "$picture" $((b - 2)) 20 2 || x_fail "box at column $b: painted left of it"
        is_white "$picture" $((b + 10)) 20 2 || x_fail "box at column $b: painted right of it"
    done
    is_painted "$picture" 3 3 2 || x_fail "the banner's first cell is missing"
    is_white "$picture" 77 3 4 || x_fail "something stands right of the banner"
    is_painted "$picture" 78 5 2 || x_fail "the \"++\" beside the banner is missing"
}

# Share of the panel (rows 5 to 9) drawn in a blue that is neither the bars' nor black: the
# scrolling row's colour.
row_blue_share() {
    local picture="$1" from="${2:-1}" columns="${3:-80}"
    convert "$picture" -crop "$((CELL_W * columns))x$((CELL_H * 5))+$(((from - 1) * CELL_W))+$((4 * CELL_H))" \
        -fx 'b > r + 0.25 && b > g + 0.1 ? 1 : 0' -format '%[fx:mean]' info:
}

# Waits until the scrolling row stands whole inside the screen (blue in the panel, none in its
# last six columns) and keeps that picture.
shoot_scrolling_row() {
    local picture="$1" timeout="${2:-30}" tries frame="$X_WORK/frame.png"
    tries=$((timeout * 10))
    while ((tries-- > 0)); do
        shot "$frame"
        if awk -v a="$(row_blue_share "$frame")" -v b="$(row_blue_share "$frame" 75 6)" \
            'BEGIN { exit !(a > 0.002 && b == 0) }'; then
            cp "$frame" "$picture"
            return 0
        fi
    done
    x_fail "no scrolling row appeared within ${timeout} s"
}
