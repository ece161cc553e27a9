#!/usr/bin/env python3
"""Rank.dat survives the game being killed at any moment.

The real game runs on a pty with a ranking on disk and is made to save again and again: at
start-up and on every visit to the ranking board (Right, Right, SPACE, SPACE ...). Between
visits the test itself replaces the file with one of two tables, so that every save writes
something. The game is killed with SIGKILL at random moments, a few hundred times: Rank.dat
must always be 336 bytes and one of the two tables.

With --full-disk the same runs with writes failing (a file-size limit on the game, and a full
tmpfs where this machine lets us mount one): the game keeps running, shows the board from the
ranking in memory, and never truncates or replaces the file.
"""

import argparse
import glob
import os
import random
import signal
import struct
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from kill_pty import GameOnPty, KEY_RIGHT, KEY_SPACE  # noqa: E402

RECORD = struct.Struct("<i52s")
FILE_BYTES = 336


def table(names, scores):
    records = b"".join(RECORD.pack(s, n.encode("ascii")) for n, s in zip(names, scores))
    return records + bytes(56)


TABLE_A = table(["ALPHA", "BRAVO", "CHARLIE", "DELTA", "ECHO"], [500, 400, 300, 200, 100])
TABLE_B = table(["ONE", "TWO", "THREE", "FOUR", "FIVE"], [95, 85, 75, 65, 55])


def replace_file(path, data):
    """The test's own change to the file, atomic so that only the game can tear it."""
    temporary = path + ".test"
    with open(temporary, "wb") as out:
        out.write(data)
    os.replace(temporary, path)


def leftovers(work):
    return [p for p in glob.glob(os.path.join(work, "Rank.dat.*")) if not p.endswith(".test")]


# What the title writes once its cursor stands on each item to the right of the first.
TUTORIAL_DESCRIPTION = "チュートリアル".encode()
RANKING_DESCRIPTION = "ランキング".encode()


def visit_board(game):
    """Title: Right, Right, SPACE; board: SPACE.

    Each Right waits until the cursor has moved: on a terminal without key releases two Rights
    that reach the game in one read are one held key, and a slow build (sanitizers) may still be
    rendering the title's sounds when the first arrives.
    """
    for key, description in ((KEY_RIGHT, TUTORIAL_DESCRIPTION), (KEY_RIGHT, RANKING_DESCRIPTION)):
        mark = len(game.written())
        game.send(key)
        game.wait_for(description, 5.0, mark)
        time.sleep(0.25)
    for key, pause in ((KEY_SPACE, 1.1), (KEY_SPACE, 0.4)):
        game.send(key)
        time.sleep(pause)


# One visit to the board every two seconds, in steps of 250 ms: Right, Right, SPACE on the
# title, SPACE on the board once it has climbed.
BOARD_CYCLE = (KEY_RIGHT, KEY_RIGHT, KEY_SPACE, None, None, None, KEY_SPACE, None)
STEP_SECONDS = 0.25


def kill_once(args, work, rng, versions):
    # A third of the kills fall within 3 ms of the answer to the start-up queries, when the
    # start-up save runs; a third anywhere in the start-up; the rest among board visits.
    kind = rng.random()
    after_answer = rng.uniform(0.0, 0.003) if kind < 1 / 3 else None
    game = GameOnPty(args.game, work, kill_after_answer=after_answer)
    try:
        if after_answer is not None:
            # Killed by the reader the moment it has answered; the test writes nothing meanwhile,
            # so that the file afterwards is the game's doing alone.
            game.wait_exit(5.0)
            return
        started = time.monotonic()
        moment = rng.uniform(0.0, 0.15) if kind < 2 / 3 else rng.uniform(0.15, args.longest)
        step = 0
        while True:
            left = moment - (time.monotonic() - started)
            if left <= 0:
                break
            replace_file(os.path.join(work, "Rank.dat"), versions[step % 2])
            key = BOARD_CYCLE[step % len(BOARD_CYCLE)]
            if key is not None:
                game.send(key)
            step += 1
            time.sleep(min(left, STEP_SECONDS))
        game.kill(signal.SIGKILL)
        game.wait_exit()
    finally:
        game.close()


def check_file(work, versions):
    with open(os.path.join(work, "Rank.dat"), "rb") as f:
        data = f.read()
    if len(data) != FILE_BYTES:
        return f"Rank.dat is {len(data)} bytes"
    if data not in versions:
        return "Rank.dat is neither the old nor the new table"
    return None


def run_kills(args):
    rng = random.Random(args.seed)
    versions = (TABLE_A, TABLE_B)
    mid_save = 0
    with tempfile.TemporaryDirectory(prefix="kaleidron-kill-") as work:
        replace_file(os.path.join(work, "Rank.dat"), TABLE_A)
        for kill in range(args.kills):
            kill_once(args, work, rng, versions)
            problem = check_file(work, versions)
            if problem:
                print(f"kill {kill + 1}: {problem}")
                return 1
            stale = leftovers(work)
            mid_save += 1 if stale else 0
            for path in stale:
                os.remove(path)
    print(f"kills: {args.kills}, Rank.dat whole after every one; {mid_save} landed in the middle "
          f"of a save (its temporary file was left behind)")
    return 0


def mount_full_tmpfs(path):
    """A 64 KiB tmpfs filled to the last block; None where mounting is not allowed."""
    if os.geteuid() != 0:
        return None
    result = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=64k", "tmpfs", path],
                            capture_output=True)
    if result.returncode != 0:
        return None
    replace_file(os.path.join(path, "Rank.dat"), TABLE_A)
    try:
        with open(os.path.join(path, "filler"), "wb") as filler:
            while True:
                filler.write(bytes(4096))
                filler.flush()
    except OSError:
        pass
    return path


def unwritable_runs(args):
    """Saves that fail: the game goes on and the file stays as it was."""
    rng = random.Random(args.seed + 1)
    failures = []
    with tempfile.TemporaryDirectory(prefix="kaleidron-full-") as base:
        limited = os.path.join(base, "limited")
        os.mkdir(limited)
        replace_file(os.path.join(limited, "Rank.dat"), TABLE_A)
        places = [("file-size limit", limited, 100)]
        full = os.path.join(base, "full")
        os.mkdir(full)
        if mount_full_tmpfs(full):
            places.append(("full disk", full, None))
        else:
            print("full disk: mounting a tmpfs is not allowed here; file-size limit only")
        try:
            for what, work, limit in places:
                game = GameOnPty(args.game, work, file_size_limit=limit)
                try:
                    board_at = 0
                    for visit in range(args.visits):
                        if not game.wait_for(b"[SPACE]", 3.0, board_at):
                            failures.append(f"{what}: no title before visit {visit + 1}")
                        mark = len(game.written())
                        visit_board(game)
                        if not game.wait_for(b"HI SCORE", 3.0, mark):
                            failures.append(f"{what}: visit {visit + 1} showed no board")
                        board_at = game.written().find(b"HI SCORE", mark) + 1
                    if game.process.poll() is not None:
                        failures.append(f"{what}: the game ended")
                    for _ in range(args.kills_unwritable):
                        game.kill(signal.SIGKILL)
                        game.wait_exit()
                        game.close()
                        game = GameOnPty(args.game, work, file_size_limit=limit)
                        time.sleep(rng.uniform(0.0, 0.6))
                finally:
                    game.kill(signal.SIGKILL)
                    game.close()
                problem = check_file(work, (TABLE_A,))
                if problem:
                    failures.append(f"{what}: {problem}")
                if leftovers(work):
                    failures.append(f"{what}: temporary files left behind")
                print(f"{what}: {args.visits} board visits with every save failing, then "
                      f"{args.kills_unwritable} kills; Rank.dat untouched")
        finally:
            if len(places) > 1:
                subprocess.run(["umount", full])
    for failure in failures:
        print(failure)
    return 1 if failures else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--game", required=True)
    parser.add_argument("--kills", type=int, default=300)
    parser.add_argument("--longest", type=float, default=1.2,
                        help="latest kill moment in seconds after start")
    parser.add_argument("--visits", type=int, default=3)
    parser.add_argument("--kills-unwritable", type=int, default=10)
    parser.add_argument("--seed", type=int, default=int(time.time()))
    args = parser.parse_args()
    print(f"seed {args.seed}")
    status = run_kills(args)
    status |= unwritable_runs(args)
    print("1 passed, 0 failed" if status == 0 else "0 passed, 1 failed")
    return status


if __name__ == "__main__":
    sys.exit(main())
