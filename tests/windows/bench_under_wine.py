#!/usr/bin/env python3
"""What `make bench-windows` measures from outside the game: kaleidron.exe under Wine in a
detached 80x25 tmux pane, as a player starts it.

- Start to title: from the start of `wine` to the pane showing the title's key line, Wine's own
  start-up included, over several starts.
- Processor use of every process of the Wine prefix (the game, wineserver, the console's host and
  Wine's services), from their threads' run time: idle on the title, then on the first
  question's answer row. Wine's device host (winedevice.exe), whose HID bus polls its devices
  whatever runs, is given apart as well.

bench_under_wine.py EXE [--starts N] [--seconds S]
"""

import argparse
import os
import shlex
import subprocess
import sys
import tempfile
import time

TITLE = "[SPACE]"
LOWER_MARK = "△"
ANSWER_MARK_ROW = 19
DEVICE_HOST = "winedevice.exe"


def tmux(socket, *args):
    return subprocess.run(["tmux", "-f", "/dev/null", "-L", socket, *args],
                          capture_output=True, text=True, check=False).stdout


class GameUnderWine:
    """The exe in a pane of its own tmux server, in a folder of its own."""

    def __init__(self, exe):
        self.socket = f"kal-bench-{os.getpid()}"
        self.work = tempfile.TemporaryDirectory(prefix="kaleidron-wine-bench-")
        command = (f"cd {shlex.quote(self.work.name)} && WINEDEBUG=-all wine "
                   f"{shlex.quote(os.path.abspath(exe))} 2>wine-errors.txt")
        self.started = time.monotonic()
        tmux(self.socket, "new-session", "-d", "-x", "80", "-y", "25", command)

    def rows(self):
        return tmux(self.socket, "capture-pane", "-p").split("\n")

    def wait_for(self, shown, seconds):
        """The time at which shown(rows) first held, or None."""
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            if shown(self.rows()):
                return time.monotonic()
            time.sleep(0.01)
        return None

    def send(self, *keys):
        tmux(self.socket, "send-keys", *keys)

    def close(self):
        tmux(self.socket, "kill-server")
        subprocess.run(["wineserver", "-w"], check=False)
        self.work.cleanup()


def title_shown(rows):
    return any(TITLE in row for row in rows)


def answer_row_shown(rows):
    return len(rows) >= ANSWER_MARK_ROW and LOWER_MARK in rows[ANSWER_MARK_ROW - 1]


def wine_run_times():
    """Run time in ns of every process of our Wine prefix, by pid, with its name."""
    prefix = f"WINEPREFIX={os.environ['WINEPREFIX']}".encode()
    times = {}
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/environ", "rb") as environ:
                if prefix not in environ.read().split(b"\0"):
                    continue
            with open(f"/proc/{pid}/comm") as comm:
                name = comm.read().strip()
            if name.startswith("tmux"):
                continue
            total = 0
            for task in os.listdir(f"/proc/{pid}/task"):
                with open(f"/proc/{pid}/task/{task}/schedstat") as stat:
                    total += int(stat.read().split()[0])
            times[pid] = (name, total)
        except OSError:
            continue
    return times


def processor_use(seconds):
    """Share of one core over the next seconds, by process name, and of all of them."""
    before, start = wine_run_times(), time.monotonic()
    time.sleep(seconds)
    after, wall = wine_run_times(), time.monotonic() - start
    spent = {"all": 0}
    for pid, (name, ns) in after.items():
        used = ns - before.get(pid, (name, 0))[1]
        spent["all"] += used
        spent[name] = spent.get(name, 0) + used
    return {name: used / 1e9 / wall * 100.0 for name, used in spent.items()}


def describe(place, use):
    own = use["all"] - use.get(DEVICE_HOST, 0.0)
    parts = ", ".join(f"{name} {share:.2f}%" for name, share in
                      sorted(use.items(), key=lambda item: -item[1])
                      if name != "all" and share >= 0.05)
    print(f"bench-windows: processor, {place}: {use['all']:.2f}% of a core, all Wine processes; "
          f"{own:.2f}% without Wine's device host ({parts})")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("exe")
    parser.add_argument("--starts", type=int, default=5)
    parser.add_argument("--seconds", type=float, default=8.0)
    args = parser.parse_args()

    starts = []
    for _ in range(args.starts):
        game = GameUnderWine(args.exe)
        shown = game.wait_for(title_shown, 30)
        game.close()
        if shown is None:
            print("bench-windows: the title never showed", file=sys.stderr)
            return 1
        starts.append((shown - game.started) * 1000)
    starts.sort()
    print(f"bench-windows: start to title {starts[len(starts) // 2]:.0f} ms median, "
          f"slowest {starts[-1]:.0f} ms over {len(starts)} starts (Wine's start included)")

    game = GameUnderWine(args.exe)
    try:
        if game.wait_for(title_shown, 30) is None:
            return 1
        time.sleep(2)
        describe("idle on the title", processor_use(args.seconds))
        game.send("Space")
        if game.wait_for(answer_row_shown, 20) is None:
            print("bench-windows: the answer row never showed", file=sys.stderr)
            return 1
        describe("on the answer row", processor_use(args.seconds))
    finally:
        game.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
