#!/usr/bin/env bash
# The Debian package on this machine: it installs, lists the game and its manual page, runs from
# another working directory (where it creates Rank.dat and plays its built-in sounds), and
# uninstalls. Needs root, as dpkg does.
#
# check_package.sh PACKAGE.deb

set -euo pipefail

DEB="$(realpath "$1")"
# shellcheck source=tmux_driver.sh
source "$(dirname "$0")/tmux_driver.sh"

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
for path in /usr/games/kaleidron /usr/share/man/man6/kaleidron.6.gz; do
    grep -qx "$path" <<<"$files" || fail "the package does not hold $path"
done
[[ "$(man -w kaleidron)" == /usr/share/man/man6/kaleidron.6.gz ]] ||
    fail "man does not find the manual page"
zcat /usr/share/man/man6/kaleidron.6.gz | grep -q '^\.TH KALEIDRON 6' ||
    fail "the manual page is not kaleidron(6)"
echo "ok: installed; the game and its manual page are in place"

# OpenAL Soft's wave-file back-end stands in for a sound card: what the game plays lands in a
# file. The working directory holds no WAV file, so every sound is one of the game's own.
cat >"$E2E_WORK/alsoft.conf" <<CONF
[general]
drivers = wave
[wave]
file = $E2E_WORK/heard.wav
CONF
mkdir -p "$E2E_WORK/player"
ALSOFT_DRIVERS=wave start_session \
    "env ALSOFT_CONF='$E2E_WORK/alsoft.conf' PATH=/usr/games:/usr/bin:/bin kaleidron" \
    "$E2E_WORK/player"
expect_title_screen
[[ "$(file_size "$E2E_WORK/player/Rank.dat")" == 336 ]] ||
    fail "Rank.dat was not created in the working directory"
cmp <(default_ranking) "$E2E_WORK/player/Rank.dat" || fail "Rank.dat does not hold the defaults"
# Bytes of sound past the file's header that are not silence.
heard() { tail -c +4097 "$E2E_WORK/heard.wav" 2>/dev/null | tr -d '\0' | wc -c; }
tries=50
while ((tries-- > 0)) && (($(heard) == 0)); do
    sleep 0.1
done
(($(heard) > 0)) || fail "the title music was not heard"
[[ -z "$(find "$E2E_WORK/player" -name '*.wav')" ]] || fail "a WAV file appeared beside Rank.dat"
echo "ok: runs from another directory, creates Rank.dat there and plays its own title music"
tmx send-keys -t game C-c

dpkg -r kaleidron
! dpkg -s kaleidron >/dev/null 2>&1 || fail "kaleidron is still installed"
[[ ! -e /usr/games/kaleidron ]] || fail "/usr/games/kaleidron is still there"
echo "ok: uninstalled"
