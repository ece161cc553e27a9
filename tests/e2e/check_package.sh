#!/usr/bin/env bash
# The Debian package on this machine: it installs the game, its manual page, a valid desktop
# entry and its icon; the installed game answers its command line, keeps one ranking per player
# under ~/.local/share/kaleidron (or $XDG_DATA_HOME/kaleidron) whatever directory it is started
# from, plays its built-in sounds, and the package uninstalls. Needs root, as dpkg does.
#
# check_package.sh PACKAGE.deb

set -euo pipefail

DEB="$(realpath "$1")"
# shellcheck source=tmux_driver.sh
source "$(dirname "$0")/tmux_driver.sh"

readonly GAME=/usr/games/kaleidron
readonly DESKTOP_ENTRY=/usr/share/applications/kaleidron.desktop
readonly ICON=/usr/share/icons/hicolor/scalable/apps/kaleidron.svg
readonly MAN_PAGE=/usr/share/man/man6/kaleidron.6.gz

[[ "$(id -u)" == 0 ]] || fail "dpkg -i needs root"
! dpkg -s kaleidron >/dev/null 2>&1 || fail "kaleidron is installed already; dpkg -r it first"

uninstall() {
    dpkg -r kaleidron >/dev/null 2>&1 || true
    e2e_cleanup
}
trap uninstall EXIT

dpkg -i "$DEB"
files="$(dpkg -L kaleidron)"
echo "$files"
for path in "$GAME" "$MAN_PAGE" "$DESKTOP_ENTRY" "$ICON"; do
    grep -qx "$path" <<<"$files" || fail "the package does not hold $path"
done
[[ "$(man -w kaleidron)" == "$MAN_PAGE" ]] || fail "man does not find the manual page"
zcat "$MAN_PAGE" | grep -q '^\.TH KALEIDRON 6' || fail "the manual page is not kaleidron(6)"
echo "ok: installed; the game and its manual page are in place"

desktop-file-validate "$DESKTOP_ENTRY" || fail "desktop-file-validate rejects $DESKTOP_ENTRY"
for line in Type=Application Terminal=true "Categories=Game;ArcadeGame;" Exec=kaleidron \
    Icon=kaleidron; do
    grep -qx "$line" "$DESKTOP_ENTRY" || fail "the desktop entry lacks $line"
done
for key in 'Name' 'Name\[ja\]' 'Comment' 'Comment\[ja\]'; do
    grep -q "^$key=." "$DESKTOP_ENTRY" || fail "the desktop entry has no $key"
done
grep -q '<svg ' "$ICON" || fail "$ICON is not an SVG picture"
echo "ok: desktop-file-validate accepts the desktop entry; it opens the game in a terminal"

# A player of our own: an empty home, no XDG_DATA_HOME, two places to start the game from.
HOME_DIR="$E2E_WORK/home"
XDG_DIR="$E2E_WORK/xdg"
FIRST="$E2E_WORK/first"
SECOND="$E2E_WORK/second"
mkdir -p "$HOME_DIR" "$FIRST" "$SECOND"
PLAYER_ENV="env -u XDG_DATA_HOME HOME='$HOME_DIR' PATH=/usr/games:/usr/bin:/bin"
RANKING="$HOME_DIR/.local/share/kaleidron/Rank.dat"

version="$(dpkg-query -W -f='${Version}' kaleidron)"
[[ "$(eval "$PLAYER_ENV kaleidron --version")" == "kaleidron $version" ]] ||
    fail "kaleidron --version does not say $version"
eval "$PLAYER_ENV kaleidron --help" | grep -qF "$RANKING" ||
    fail "kaleidron --help does not say the ranking is $RANKING"
[[ -z "$(ls -A "$HOME_DIR")" ]] || fail "--help or --version wrote into the home folder"
echo "ok: --version says $version; --help names $RANKING and writes nothing"

# Ends the game on the screen with Ctrl-C and waits until it has gone.
quit_game() {
    tmx send-keys -t game C-c
    local tries=50
    while ((tries-- > 0)) && [[ "$(pane '#{pane_dead}')" != 1 ]]; do
        sleep 0.1
    done
    [[ "$(pane '#{pane_dead}')" == 1 ]] || fail "the game did not end on Ctrl-C"
    tmx kill-server
}

# OpenAL Soft's wave-file back-end stands in for a sound card: what the game plays lands in a
# file. No folder holds a WAV file, so every sound is one of the game's own.
cat >"$E2E_WORK/alsoft.conf" <<CONF
[general]
drivers = wave
[wave]
file = $E2E_WORK/heard.wav
CONF
ALSOFT_DRIVERS=wave start_session "$PLAYER_ENV ALSOFT_CONF='$E2E_WORK/alsoft.conf' kaleidron" \
    "$FIRST"
expect_title_screen
# Bytes of sound past the file's header that are not silence.
heard() { tail -c +4097 "$E2E_WORK/heard.wav" 2>/dev/null | tr -d '\0' | wc -c; }
tries=50
while ((tries-- > 0)) && (($(heard) == 0)); do
    sleep 0.1
done
(($(heard) > 0)) || fail "the title music was not heard"
quit_game
cmp <(default_ranking) "$RANKING" || fail "$RANKING does not hold the default ranking"
[[ ! -e "$FIRST/Rank.dat" ]] || fail "Rank.dat appeared in the working directory"
echo "ok: the installed game plays its own title music and starts its ranking in $RANKING"

# The player's ranking, changed by hand, is the one the game finds from the second directory.
rank_file 500 "Second" 400 "Directory" 300 "Same" 200 "Ranking" 100 "Kept" >"$RANKING"
start_session "$PLAYER_ENV kaleidron" "$SECOND"
expect_title_screen
quit_game
found="$(find "$HOME_DIR" "$FIRST" "$SECOND" -name Rank.dat)"
[[ "$found" == "$RANKING" ]] || fail "Rank.dat files found: ${found:-none}; expected $RANKING alone"
cmp <(rank_file 500 "Second" 400 "Directory" 300 "Same" 200 "Ranking" 100 "Kept") "$RANKING" ||
    fail "the game started from the second directory did not keep the player's ranking"
[[ "$(stat -c %a "$(dirname "$RANKING")")" == 700 ]] ||
    fail "~/.local/share/kaleidron is not the player's alone"
[[ -z "$(find "$HOME_DIR" "$FIRST" "$SECOND" -name '*.wav')" ]] || fail "a WAV file appeared"
echo "ok: started from two directories, one Rank.dat under ~/.local/share/kaleidron, none beside"

start_session "env XDG_DATA_HOME='$XDG_DIR' HOME='$HOME_DIR' PATH=/usr/games:/usr/bin:/bin kaleidron" \
    "$FIRST"
expect_title_screen
quit_game
[[ "$(file_size "$XDG_DIR/kaleidron/Rank.dat")" == 336 ]] ||
    fail "Rank.dat was not created under \$XDG_DATA_HOME/kaleidron"
cmp <(default_ranking) "$XDG_DIR/kaleidron/Rank.dat" || fail "Rank.dat does not hold the defaults"
[[ ! -e "$FIRST/Rank.dat" ]] || fail "Rank.dat appeared in the working directory"
echo "ok: with XDG_DATA_HOME set, the ranking is \$XDG_DATA_HOME/kaleidron/Rank.dat"

dpkg -r kaleidron
! dpkg -s kaleidron >/dev/null 2>&1 || fail "kaleidron is still installed"
for path in "$GAME" "$DESKTOP_ENTRY" "$ICON"; do
    [[ ! -e "$path" ]] || fail "$path is still there"
done
echo "ok: uninstalled"
