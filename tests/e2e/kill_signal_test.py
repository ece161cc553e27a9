#!/usr/bin/env python3
"""Signals leave the terminal as the game found it.

The real game on a pty that answers its start-up queries as a kitty-protocol terminal, so that
the keyboard protocol is pushed. SIGHUP, SIGQUIT, SIGINT and SIGTERM, and the signals of a crash
(SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL), each end the game by that signal with the terminal as
it was: the same `stty -a`, the keyboard protocol popped, attributes reset, the cursor shown and
the main screen back, in that order. Under a file-size limit smaller than what the sound output
writes, the game goes on and still answers keys. Ctrl-Z stops the game with the terminal given
back, and a resume takes it again and repaints the whole screen. Closing the terminal (a closed
pty, a killed tmux pane) ends the game. Ctrl-Z in the middle of the name entry, then a resume,
still takes the typed name. Ctrl-Z while the player answers, a few seconds stopped and a resume:
the TIME readout goes on from where it stood.
"""

import argparse
import os
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from kill_pty import (ENTER_SCREEN, LEAVE, POP_KEYBOARD, PUSH_KEYBOARD, KEY_RIGHT,  # noqa: E402
                      KEY_SPACE, GameOnPty, readout, report)

TITLE_HELP = b"[SPACE]"
CTRL_Z = b"\x1a"
HIDE_CURSOR = b"\x1b[?25l"
SHOW_CURSOR = b"\x1b[?25h"
MAIN_SCREEN = b"\x1b[?1049l"
ICANON = 0o2
ECHO = 0o10
# What a player or the system sends to end a program, then the signals of a crash.
ENDING_SIGNALS = (signal.SIGHUP, signal.SIGQUIT, signal.SIGINT, signal.SIGTERM, signal.SIGABRT,
                  signal.SIGSEGV, signal.SIGBUS, signal.SIGFPE, signal.SIGILL)
# Less than one second of the sound output's mix, which it writes to a file here.
SOUND_FILE_LIMIT = 100_000
TUTORIAL_DESCRIPTION = "チュートリアル".encode()
STOPPED_SECONDS = 4

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
    return condition


def restored_at_the_end(output, what):
    """The terminal handed back: everything the game set up is undone after it, in order."""
    tail = output[output.rfind(PUSH_KEYBOARD):]
    pop = tail.find(POP_KEYBOARD)
    check(pop >= 0, f"{what}: keyboard protocol not popped")
    check(tail.find(LEAVE, pop) > pop, f"{what}: attributes, cursor and screen not given back "
          "after the pop")
    check(output.rfind(HIDE_CURSOR) < output.rfind(SHOW_CURSOR), f"{what}: cursor left hidden")
    check(output.rfind(ENTER_SCREEN) < output.rfind(MAIN_SCREEN),
          f"{what}: left on the alternate screen")


def start(args, work, kitty=True, **options):
    game = GameOnPty(args.game, work, kitty=kitty, under_shell=True, **options)
    check(game.wait_for(TITLE_HELP), "the title never came")
    return game


def ends_by_signal(game, number, what):
    """Sends the signal; the game ends by it with the terminal as it was before the game."""
    before = game.stty_before
    game.kill(number)
    status = game.wait_exit(5.0)
    check(status == -number, f"{what}: ended with {status}, not by the signal")
    game.drain()
    restored_at_the_end(game.written(), what)
    check(game.stty() == before, f"{what}: stty -a differs:\n{game.stty()}\n{before}")


def fatal_signals(args, work):
    for number in ENDING_SIGNALS:
        name = signal.Signals(number).name
        game = start(args, work)
        check(game.wait_for(PUSH_KEYBOARD), f"{name}: keyboard protocol never pushed")
        ends_by_signal(game, number, name)
        game.close()
        print(f"{name}: terminal given back")


def file_size_limit(args, work):
    # The sound output writes its mix to a file far larger than the limit within a second: a
    # write past the limit must fail, not end the game.
    sound = os.path.join(work, "sound.wav")
    game = start(args, work, file_size_limit=SOUND_FILE_LIMIT, sound_file=sound)
    deadline = time.monotonic() + 5
    while (time.monotonic() < deadline and game.process.poll() is None and
           os.path.exists(sound) and os.path.getsize(sound) < SOUND_FILE_LIMIT):
        time.sleep(0.05)
    time.sleep(0.5)
    if not check(game.process.poll() is None,
                 f"file-size limit: the game ended with {game.process.poll()}"):
        game.close()
        return
    check(os.path.exists(sound) and os.path.getsize(sound) == SOUND_FILE_LIMIT,
          "file-size limit: the sound output never reached the limit")
    mark = len(game.written())
    game.send(KEY_RIGHT)
    check(game.wait_for(TUTORIAL_DESCRIPTION, 3.0, mark),
          "file-size limit: the game no longer answers keys")
    ends_by_signal(game, signal.SIGTERM, "SIGTERM under a file-size limit")
    game.close()
    os.remove(sound)
    print("file-size limit: a write past it failed and the game went on")


def stop_and_resume(args, work):
    game = start(args, work)
    before = game.stty_before
    for round_trip in (1, 2):
        what = f"Ctrl-Z #{round_trip}"
        mark = len(game.written())
        game.send(CTRL_Z)
        check(game.wait_state("T"), f"{what}: the game did not stop")
        game.drain()
        stopped = game.written()[mark:]
        check(stopped.find(POP_KEYBOARD) >= 0 and stopped.find(LEAVE) > stopped.find(POP_KEYBOARD),
              f"{what}: terminal not given back in order")
        check(game.stty() == before, f"{what}: stty -a differs while stopped")
        mark = len(game.written())
        game.kill(signal.SIGCONT)
        check(game.wait_for(TITLE_HELP, 5.0, mark), f"{what}: no repaint after resume")
        resumed = game.written()[mark:]
        check(resumed.find(ENTER_SCREEN) >= 0, f"{what}: alternate screen not taken again")
        check(resumed.find(PUSH_KEYBOARD) >= 0, f"{what}: keyboard protocol not pushed again")
        rows = [y for y in range(1, 26) if resumed.find(f"\x1b[{y};1H".encode()) >= 0]
        check(len(rows) == 25, f"{what}: repaint drew rows {rows}, not all 25")
        mode = game.termios()[3]
        check(mode & (ICANON | ECHO) == 0, f"{what}: raw mode not taken again")
        print(f"{what}: terminal given back while stopped, whole screen repainted on resume")
    game.kill(signal.SIGTERM)
    game.wait_exit(5.0)
    game.drain()
    restored_at_the_end(game.written(), "SIGTERM after resume")
    check(game.stty() == before, "SIGTERM after resume: stty -a differs")
    game.close()


def children_of(pid):
    try:
        with open(f"/proc/{pid}/task/{pid}/children") as f:
            return f.read().split()
    except OSError:
        return []


def closed_terminal(args, work):
    # The shell here does not pass the hang-up on: the game has to notice the closed terminal.
    game = start(args, work)
    game.hang_up()
    status = game.wait_exit(5.0)
    if check(status == -signal.SIGHUP, f"closed pty: ended with {status}, not as a hang-up"):
        print("closed pty: the game ended")
    game.close()

    tmux = shutil.which("tmux")
    if not tmux:
        print("tmux not found: the pane check is skipped")
        return
    socket = f"kal-rel-{os.getpid()}"

    def tmx(*words):
        return subprocess.run([tmux, "-L", socket, "-f", "/dev/null", *words], capture_output=True,
                              text=True)

    game = os.path.abspath(args.game)
    # The game as the pane's own process, and as the child of a shell that does not pass the
    # hang-up on (a script that runs the game and then something else).
    commands = {
        "killed tmux pane": f"ALSOFT_DRIVERS=nosuch LC_ALL=C.UTF-8 {game}",
        "killed tmux pane under a script": f"bash -c 'ALSOFT_DRIVERS=nosuch {game}; true'",
    }
    for what, command in commands.items():
        tmx("new-session", "-d", "-x", "80", "-y", "25", "-c", work, command)
        try:
            deadline = time.monotonic() + 10
            while time.monotonic() < deadline and "[SPACE]" not in tmx("capture-pane",
                                                                        "-p").stdout:
                time.sleep(0.05)
            pids = [tmx("display-message", "-p", "#{pane_pid}").stdout.strip()]
            if "bash" in command:
                pids = children_of(int(pids[0]))
            check(len(pids) == 1 and os.readlink(f"/proc/{pids[0]}/exe") == game,
                  f"{what}: the game is not running")
            tmx("kill-pane")
            gone = False
            deadline = time.monotonic() + 5
            while time.monotonic() < deadline and not gone and pids:
                try:
                    os.kill(int(pids[0]), 0)
                    time.sleep(0.05)
                except ProcessLookupError:
                    gone = True
            if not check(gone, f"{what}: the game is still running"):
                os.kill(int(pids[0]), signal.SIGKILL)
            else:
                print(f"{what}: the game ended")
        finally:
            tmx("kill-server")


def start_a_game(game):
    """From the title to the opening of a game."""
    game.send(b"\x1b[D")
    opening = "全6ステージを走破せよ".encode()
    while not game.wait_for(opening, 2.0) and game.process.poll() is None:
        game.send(KEY_SPACE)


def stop_during_name_entry(args, work):
    # The fifth place needs no points at all, so an untouched game ends in a rank-in.
    record = struct.Struct("<i52s")
    with open(os.path.join(work, "Rank.dat"), "wb") as out:
        out.write(b"".join(record.pack(0, b"") for _ in range(5)) + bytes(56))
    game = start(args, work, kitty=False)
    # Left unanswered, the game runs out of time soonest; answers would win or lose seconds.
    start_a_game(game)
    game.wait_for("RESULT".encode(), 150.0)
    prompt = "名前をエントリーして下さい".encode()
    deadline = time.monotonic() + 60
    while time.monotonic() < deadline and game.written().find(prompt) < 0:
        game.send(KEY_SPACE)  # stops the roulette
        time.sleep(0.5)
    if not check(game.written().find(prompt) >= 0, "name entry: never reached"):
        game.close()
        return
    time.sleep(0.3)
    game.send(CTRL_Z)
    check(game.wait_state("T"), "name entry: Ctrl-Z did not stop the game")
    game.kill(signal.SIGCONT)
    time.sleep(0.5)
    check(game.process.poll() is None, "name entry: the game ended after the resume")
    game.send(b"KEPT\n")
    deadline = time.monotonic() + 10
    saved = b""
    while time.monotonic() < deadline and b"KEPT" not in saved:
        with open(os.path.join(work, "Rank.dat"), "rb") as f:
            saved = f.read()
        time.sleep(0.1)
    if check(b"KEPT" in saved, "name entry: the name typed after the resume was not taken"):
        print("Ctrl-Z during the name entry: the name typed after the resume was taken")
    game.kill(signal.SIGTERM)
    game.wait_exit(5.0)
    game.close()


def reach_the_first_answer(game):
    """From the title into the first question's answer phase, the clock running."""
    start_a_game(game)
    mark = len(game.written())
    return game.wait_for("△".encode(), 30.0, mark)


def stop_while_answering(args, work):
    game = start(args, work, kitty=False)
    if not check(reach_the_first_answer(game), "stop while answering: no answer phase"):
        game.close()
        return
    time.sleep(1.0)
    game.send(CTRL_Z)
    check(game.wait_state("T"), "stop while answering: Ctrl-Z did not stop the game")
    game.drain()
    at_stop = readout(game.written())
    time.sleep(STOPPED_SECONDS)
    mark = len(game.written())
    game.kill(signal.SIGCONT)
    check(game.wait_for(b"\x1b[25;1H", 5.0, mark), "stop while answering: no repaint on resume")
    time.sleep(0.5)
    after = readout(game.written())
    if check(at_stop is not None and after is not None,
             f"stop while answering: readouts {at_stop} and {after}"):
        # Half a second played after the resume; the time stopped is not the game's.
        played = at_stop - after
        if check(0.2 <= played <= 1.5, f"stop while answering: {at_stop:.2f} at the stop, "
                 f"{after:.2f} after the resume"):
            print(f"Ctrl-Z while answering: {at_stop:.2f} at the stop, {after:.2f} half a "
                  f"second after the resume from {STOPPED_SECONDS} s stopped")
    game.kill(signal.SIGTERM)
    game.wait_exit(5.0)
    game.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--game", required=True)
    parser.add_argument("--skip-name-entry", action="store_true",
                        help="leave out the case that plays a whole game (about a minute)")
    args = parser.parse_args()
    with tempfile.TemporaryDirectory(prefix="kaleidron-signal-") as work:
        fatal_signals(args, work)
        file_size_limit(args, work)
        stop_and_resume(args, work)
        stop_while_answering(args, work)
        closed_terminal(args, work)
        if not args.skip_name_entry:
            stop_during_name_entry(args, work)
    return report(failures)


if __name__ == "__main__":
    sys.exit(main())
