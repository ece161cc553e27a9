#!/usr/bin/env python3
"""The key matrix: the real game on a pseudo-terminal, driven as the three kinds of terminal.

- "inferred": a terminal without key releases (xterm, VTE, Konsole, tmux, the Linux console),
  one character per press and per auto-repeat, with each of the usual auto-repeat settings;
- "kitty": a terminal that answers the start-up queries in time as kitty does, and then sends
  press, repeat and release events;
- "kitty late": the same terminal behind a slow link, whose answers come 350 ms late: the game
  must not use the protocol, and the terminal goes on sending plain characters.

For each it plays the cells of the matrix on the title (a hold, two taps at many gaps, Left
then Right close together, SPACE with an arrow in both orders), an arrow tapped just before
SPACE on the ranking board and on the credits, Ctrl-Z and Ctrl-C, and prints the steps seen
against the steps expected. Exits 1 when any cell differs.

check_keys.py --game PATH
"""

import argparse
import os
import re
import signal
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from kill_pty import GameOnPty, KEY_LEFT, KEY_RIGHT, KEY_SPACE  # noqa: E402

TITLE = "[SPACE]".encode()
PROMPT = b"Press SPACE KEY."
TUTORIAL = "ゲーム説明".encode()
GAME = "全6ステージを走破せよ".encode()
# The title's lower cursor mark drawn on row 24 at the column of an item: a step of the cursor.
MARK = re.compile(rb"\x1b\[24;(9|29|49|69)H(?:\x1b\[[0-9;]*m)?\xe2\x96\xb3")

# Auto-repeat settings: delay and interval in ms.
PROFILES = [(250, 33), (500, 30), (660, 40), (250, 92), (200, 16), (1000, 100)]
TAP_GAPS_MS = [40, 60, 90, 130, 200, 300, 600]
LATE_ANSWER_S = 0.35

KITTY_KEYS = {
    KEY_RIGHT: (b"\x1b[1;1:1C", b"\x1b[1;1:2C", b"\x1b[1;1:3C"),
    KEY_LEFT: (b"\x1b[1;1:1D", b"\x1b[1;1:2D", b"\x1b[1;1:3D"),
    KEY_SPACE: (b"\x1b[32u", b"\x1b[32;1:2u", b"\x1b[32;1:3u"),
}
CTRL_C = {False: b"\x03", True: b"\x1b[99;5u"}
CTRL_Z = {False: b"\x1a", True: b"\x1b[122;5u"}


class Terminal:
    """One kind of terminal around a fresh game, speaking as that kind does."""

    def __init__(self, game_path, kind, profile=(500, 33), under_shell=False):
        self.kind = kind
        self.exact = kind == "kitty"
        self.profile = profile
        self.work = tempfile.TemporaryDirectory(prefix="kaleidron-keys-")
        self.game = GameOnPty(game_path, self.work.name, kitty=kind != "inferred",
                              under_shell=under_shell,
                              answer_delay=LATE_ANSWER_S if kind == "kitty late" else 0.0)

    def close(self):
        self.game.close()
        self.work.cleanup()

    def ready(self):
        """Waits for the title and for the keys it polls."""
        if not self.game.wait_for(TITLE, 10.0):
            return False
        time.sleep(0.5)
        return True

    def tap(self, key):
        if self.exact:
            press, _, release = KITTY_KEYS[key]
            self.game.send(press)
            time.sleep(0.03)
            self.game.send(release)
        else:
            self.game.send(key)

    def hold(self, key, seconds):
        delay, interval = self.profile
        start = time.monotonic()
        press, repeat, release = KITTY_KEYS[key] if self.exact else (key, key, None)
        self.game.send(press)
        time.sleep(delay / 1000)
        while time.monotonic() - start < seconds:
            self.game.send(repeat)
            time.sleep(interval / 1000)
        if release:
            self.game.send(release)

    def steps_since(self, mark):
        return len(MARK.findall(self.game.written()[mark:]))


def title_cell(term, play):
    """Plays on the title and counts the cursor's steps once everything has settled."""
    mark = len(term.game.written())
    play(term)
    time.sleep(1.2)
    return term.steps_since(mark)


def taps(gap_ms):
    def play(term):
        term.tap(KEY_RIGHT)
        time.sleep(gap_ms / 1000)
        term.tap(KEY_RIGHT)
    return play


def left_then_right(gap_ms):
    """From the second item: Left then Right gap_ms apart, both in order, is two steps more."""
    def play(term):
        term.tap(KEY_RIGHT)
        time.sleep(0.8)
        term.tap(KEY_LEFT)
        time.sleep(gap_ms / 1000)
        term.tap(KEY_RIGHT)
    return play


def chosen_after(term, first, second):
    """SPACE and an arrow written together: which screen opens."""
    keys = (term.exact and KITTY_KEYS[first][0] + KITTY_KEYS[second][0]) or first + second
    mark = len(term.game.written())
    term.game.send(keys)
    if term.exact:
        time.sleep(0.06)
        term.game.send(KITTY_KEYS[first][2] + KITTY_KEYS[second][2])
    return opened(term, mark)


def opened(term, mark):
    deadline = time.monotonic() + 4
    while time.monotonic() < deadline:
        written = term.game.written()
        if written.find(TUTORIAL, mark) >= 0:
            return "tutorial"
        if written.find(GAME, mark) >= 0:
            return "game"
        time.sleep(0.02)
    return "nothing"


def after_screen(term, item):
    """Opens the item's screen, taps Right then SPACE 100 ms later on it, and SPACE again on
    the title it returns to: the game must start, the title having opened on its first item."""
    for _ in range(item):
        term.tap(KEY_RIGHT)
        time.sleep(0.4)
    mark = len(term.game.written())
    term.tap(KEY_SPACE)
    if not term.game.wait_for(PROMPT, 10.0, mark):
        return "no screen"
    time.sleep(0.3)
    mark = len(term.game.written())
    term.tap(KEY_RIGHT)
    time.sleep(0.1)
    term.tap(KEY_SPACE)
    if not term.game.wait_for(TITLE, 10.0, mark):
        return "no title"
    time.sleep(0.8)
    mark = len(term.game.written())
    term.tap(KEY_SPACE)
    return opened(term, mark)


def suspended(game_path, kind):
    term = Terminal(game_path, kind, under_shell=True)
    try:
        if not term.ready():
            return "no title"
        term.game.send(CTRL_Z[kind == "kitty"])
        stopped = term.game.wait_state("T", 3.0)
        term.game.kill(signal.SIGCONT)
        return "stopped" if stopped else "running"
    finally:
        term.close()


def interrupted(game_path, kind):
    term = Terminal(game_path, kind)
    try:
        if not term.ready():
            return "no title"
        term.game.send(CTRL_C[kind == "kitty"])
        status = term.game.wait_exit(5.0)
        return "ended" if status == -signal.SIGINT else f"status {status}"
    finally:
        term.close()


def in_fresh_game(game_path, kind, cell, profile=(500, 33)):
    term = Terminal(game_path, kind, profile)
    try:
        if not term.ready():
            return "no title"
        return cell(term)
    finally:
        term.close()


def hold_right(term):
    term.hold(KEY_RIGHT, 1.5)


def steps_of(play):
    return lambda term: title_cell(term, play)


def together(first, second):
    return lambda term: chosen_after(term, first, second)


def through(item):
    return lambda term: after_screen(term, item)


def cells_of(kind):
    """(cell, expected, how to play it on a game of its own) for one kind of terminal."""

    def fresh(cell, profile=(500, 33)):
        return lambda game_path: in_fresh_game(game_path, kind, cell, profile)

    # A terminal that reports releases, and one answering late, repeat as any other: the
    # profiles matter for holds only, and there for the terminal without releases.
    profiles = PROFILES if kind == "inferred" else [(500, 33)]
    cells = [(f"hold Right 1.5 s, repeat {delay}/{interval}", 1,
              fresh(steps_of(hold_right), (delay, interval))) for delay, interval in profiles]
    cells += [(f"two taps {gap} ms apart", 2, fresh(steps_of(taps(gap)))) for gap in TAP_GAPS_MS]
    cells += [(f"Left then Right {gap} ms apart", 3, fresh(steps_of(left_then_right(gap))))
              for gap in (0, 10, 20)]
    cells += [
        ("SPACE then Right together", "tutorial", fresh(together(KEY_SPACE, KEY_RIGHT))),
        ("Right then SPACE together", "tutorial", fresh(together(KEY_RIGHT, KEY_SPACE))),
        ("Right, SPACE on the board", "game", fresh(through(2))),
        ("Right, SPACE on the credits", "game", fresh(through(3))),
        ("Ctrl-Z", "stopped", lambda game_path: suspended(game_path, kind)),
        ("Ctrl-C", "ended", lambda game_path: interrupted(game_path, kind)),
    ]
    return cells


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--game", required=True)
    parser.add_argument("--kind", choices=["inferred", "kitty", "kitty late"], action="append")
    args = parser.parse_args()
    kinds = args.kind or ["inferred", "kitty", "kitty late"]
    rows = {kind: [] for kind in kinds}

    def run(kind):
        for cell, expected, play in cells_of(kind):
            rows[kind].append((cell, expected, play(args.game)))

    # The kinds play side by side, each its games one after the other.
    threads = [threading.Thread(target=run, args=(kind,)) for kind in kinds]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    print(f"{'terminal':<10}  {'cell':<40}  {'expected':>8}  {'seen':>8}")
    for kind in kinds:
        for cell, expected, seen in rows[kind]:
            verdict = "ok" if seen == expected else "DIFFERS"
            print(f"{kind:<10}  {cell:<40}  {expected!s:>8}  {seen!s:>8}  {verdict}")
    rows = [row for kind in kinds for row in rows[kind]]
    differ = [row for row in rows if row[1] != row[2]]
    print(f"{len(rows) - len(differ)} of {len(rows)} cells as expected")
    return 1 if differ else 0


if __name__ == "__main__":
    sys.exit(main())
