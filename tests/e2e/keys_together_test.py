#!/usr/bin/env python3
"""An arrow and SPACE that reach the real game in one read both count, the arrow first.

The real game on a pseudo-terminal, on its title: Right and SPACE written together choose the
second item (the tutorial) in either order, since SPACE pressed together with an arrow chooses
where the cursor moves, on a terminal without key releases and on one that speaks the kitty
keyboard protocol.

keys_together_test.py --game PATH
"""

import argparse
import os
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from kill_pty import GameOnPty, report  # noqa: E402

TITLE = "[SPACE]".encode()
TUTORIAL = "ゲーム説明".encode()

# (what, kitty, written together, written 60 ms later, what must show)
CASES = [
    ("Right then SPACE", False, b"\x1b[C ", b"", TUTORIAL),
    ("SPACE then Right", False, b" \x1b[C", b"", TUTORIAL),
    ("kitty: Right then SPACE", True, b"\x1b[C\x1b[32u", b"\x1b[1;1:3C\x1b[32;1:3u", TUTORIAL),
    ("kitty: SPACE then Right", True, b"\x1b[32u\x1b[C", b"\x1b[32;1:3u\x1b[1;1:3C", TUTORIAL),
]


def run_case(game_path, what, kitty, together, later, expected):
    with tempfile.TemporaryDirectory(prefix="kaleidron-keys-") as work:
        game = GameOnPty(game_path, work, kitty=kitty)
        try:
            if not game.wait_for(TITLE, 10.0):
                return f"{what}: the title never came"
            time.sleep(0.5)  # the title stands and polls its keys
            mark = len(game.written())
            game.send(together)
            time.sleep(0.06)
            if later:
                game.send(later)
            if not game.wait_for(expected, 5.0, mark):
                return f"{what}: {expected.decode()} did not come"
        finally:
            game.close()
    return None


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--game", required=True)
    args = parser.parse_args()
    failures = []
    for case in CASES:
        problem = run_case(args.game, *case)
        if problem:
            failures.append(problem)
        else:
            print(f"{case[0]}: both keys counted")
    return report(failures)


if __name__ == "__main__":
    sys.exit(main())
