#!/usr/bin/env python3
"""The real game's command line, its start on a terminal and the end of its input.

--help, --version and every mistake answer on their own stream with their exit status, and
none of them sends an escape sequence, changes the terminal's modes or writes a file (the
working directory, HOME and XDG_DATA_HOME are empty folders of the test's own). --ranking FILE
keeps the ranking in FILE, and an unusable FILE is left alone. A standard input that ends (a
pipe closed by the other side) ends the game cleanly on the title and in the middle of a game:
status 0, the terminal given back, the ranking as it was. With its keys from a file or a pipe
and its output on a terminal, the game asks the terminal nothing, so that no answer reaches the
shell. Started in a terminal too small for it, the game shows the notice from its first frame.

command_line_test.py --game PATH --case NAME
"""

import argparse
import os
import signal
import re
import select
import shutil
import subprocess
import sys
import tempfile
import termios
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from kill_pty import KEY_RIGHT, GameOnPty  # noqa: E402

LEAVE = b"\x1b[0m\x1b[?25h\x1b[?1049l"
TITLE = "[SPACE]".encode()
MENU_LINE = "ノーマルモード／全6ステージ".encode()
QUESTION_SPEED = "ソクド".encode()
SPACE = b" "

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
    return condition


class Player:
    """Empty folders for one run: the working directory, HOME and XDG_DATA_HOME."""

    def __init__(self):
        self.root = tempfile.mkdtemp(prefix="kaleidron-cli-")
        self.work = os.path.join(self.root, "work")
        self.home = os.path.join(self.root, "home")
        self.xdg = os.path.join(self.root, "xdg")
        for folder in (self.work, self.home, self.xdg):
            os.mkdir(folder)

    def env(self):
        env = dict(os.environ, HOME=self.home, XDG_DATA_HOME=self.xdg, LC_ALL="C.UTF-8",
                   ALSOFT_DRIVERS="nosuch")
        return env

    def files(self):
        found = []
        for folder, _, names in os.walk(self.root):
            found += [os.path.relpath(os.path.join(folder, name), self.root) for name in names]
        return sorted(found)

    def path(self, *parts):
        return os.path.join(self.work, *parts)

    def remove(self):
        shutil.rmtree(self.root, ignore_errors=True)


def answers(args):
    """Each answer of the command line, on a terminal whose modes are compared around it."""
    cases = [
        (["--help"], 0, "out", b"Usage: kaleidron [--ranking FILE]\n"),
        (["--version"], 0, "out", b"kaleidron "),
        (["--ranking", "mine.dat", "--help"], 0, "out", b"Usage: kaleidron"),
        (["--bogus"], 2, "err", b"kaleidron: unknown option '--bogus'\n"),
        (["Rank.dat"], 2, "err", b"kaleidron: unexpected argument 'Rank.dat'\n"),
        (["--ranking"], 2, "err", b"kaleidron: --ranking needs a FILE\n"),
        (["--\x1b[2J"], 2, "err", b"kaleidron: unknown option '--?[2J'\n"),
    ]
    for arguments, status, stream, starts in cases:
        what = " ".join(arguments).encode("unicode_escape").decode()
        player = Player()
        master, slave = os.openpty()
        try:
            before = termios.tcgetattr(slave)
            result = subprocess.run([args.game, *arguments], cwd=player.work, env=player.env(),
                                    stdin=slave, capture_output=True, timeout=10)
            after = termios.tcgetattr(slave)
            written = b""
            while select.select([master], [], [], 0)[0]:
                written += os.read(master, 4096)
            answered, other = ((result.stdout, result.stderr) if stream == "out"
                               else (result.stderr, result.stdout))
            check(result.returncode == status, f"{what}: exit status {result.returncode}")
            check(answered.startswith(starts), f"{what}: answered {answered[:60]!r}")
            check(other == b"", f"{what}: the other stream has {other[:60]!r}")
            check(b"\x1b" not in result.stdout + result.stderr + written,
                  f"{what}: an escape sequence was sent")
            check(before == after, f"{what}: the terminal's modes changed")
            check(player.files() == [], f"{what}: files were written: {player.files()}")
        finally:
            os.close(master)
            os.close(slave)
            player.remove()
    if not failures:
        print("command line: each answer on its stream with its status; nothing sent, set or "
              "written")


class PipedGame:
    """The game with its standard input and output on pipes, as `kaleidron <pipe >pipe`."""

    def __init__(self, game, player, arguments=()):
        self.process = subprocess.Popen([game, *arguments], cwd=player.work, env=player.env(),
                                        stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE)
        self.output = b""
        self.lock = threading.Lock()
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        while True:
            chunk = self.process.stdout.read1(65536)
            if not chunk:
                return
            with self.lock:
                self.output += chunk

    def shown(self):
        with self.lock:
            return self.output

    def wait_for(self, *texts, timeout=20.0):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if all(text in self.shown() for text in texts):
                return True
            time.sleep(0.05)
        return False

    def send(self, data):
        self.process.stdin.write(data)
        self.process.stdin.flush()

    def end_input(self):
        """Closes the game's standard input and times how long the game takes to end."""
        started = time.monotonic()
        self.process.stdin.close()
        try:
            status = self.process.wait(timeout=5)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
            status = None
        self.reader.join(timeout=5)
        return status, time.monotonic() - started

    def stop(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()


def ended_cleanly(game, status, took, what, told=b""):
    check(status == 0, f"{what}: the game did not end with status 0 ({status})")
    check(took < 2.0, f"{what}: the game took {took:.2f} s to end")
    check(game.shown().endswith(LEAVE),
          f"{what}: the terminal was not given back last: {game.shown()[-40:]!r}")
    said = game.process.stderr.read()
    check(said == told, f"{what}: stderr says {said!r}, not {told!r}")


def end_input_leaving_the_ranking(game, player, ranking, where, told):
    """Ends the input; the game must end cleanly with Rank.dat as it was and nothing else left."""
    status, took = game.end_input()
    ended_cleanly(game, status, took, where)
    check(open(player.path("Rank.dat"), "rb").read() == ranking, "Rank.dat changed")
    check(player.files() == ["work/Rank.dat"], f"files left: {player.files()}")
    if not failures:
        print(f"end of input {where}: status {status} after {took * 1000:.0f} ms, {told}")


def end_of_input_on_the_title(args):
    player = Player()
    game = PipedGame(args.game, player)
    try:
        check(game.wait_for(TITLE, MENU_LINE), "the title never came")
        before = open(player.path("Rank.dat"), "rb").read()
        end_input_leaving_the_ranking(game, player, before, "on the title", "terminal given back")
    finally:
        game.stop()
        player.remove()


def end_of_input_in_a_game(args):
    player = Player()
    # A ranking of the player's own, which the game must leave as it is.
    ranking = b"".join(
        score.to_bytes(4, "little", signed=True) + name.ljust(52, b"\0")
        for score, name in ((500, b"Anna"), (400, b"Bert"), (300, b"Cleo"), (200, b"Dora"),
                            (100, b"Emil"))) + bytes(56)
    with open(player.path("Rank.dat"), "wb") as out:
        out.write(ranking)
    game = PipedGame(args.game, player)
    try:
        check(game.wait_for(TITLE, MENU_LINE), "the title never came")
        game.send(SPACE)
        check(game.wait_for(QUESTION_SPEED), "the first question was never announced")
        end_input_leaving_the_ranking(game, player, ranking, "in a game",
                                      "terminal given back, Rank.dat as it was")
    finally:
        game.stop()
        player.remove()


def no_input_at_all(args):
    """`kaleidron </dev/null` and a closed standard input: no key can ever come."""
    cases = [
        ("/dev/null", subprocess.DEVNULL, None, b""),
        ("closed", subprocess.DEVNULL, lambda: os.close(0),
         b"standard input: Bad file descriptor\n"),
    ]
    for what, stdin, before_exec, report in cases:
        player = Player()
        try:
            started = time.monotonic()
            result = subprocess.run([args.game], cwd=player.work, env=player.env(), stdin=stdin,
                                    capture_output=True, timeout=10, preexec_fn=before_exec)
            took = time.monotonic() - started
            check(result.returncode == 0, f"{what}: exit status {result.returncode}")
            check(took < 2.0, f"{what}: the game took {took:.2f} s to end")
            check(result.stdout.endswith(LEAVE), f"{what}: the terminal was not given back")
            check(result.stderr == report, f"{what}: stderr says {result.stderr!r}")
        except subprocess.TimeoutExpired:
            check(False, f"{what}: the game did not end")
        finally:
            player.remove()
    if not failures:
        print("no input at all: the game ends at once with status 0, terminal given back")


def ranking_option(args):
    """--ranking FILE: a usable FILE holds the ranking; an unusable one is left alone, and the
    player is told so on stderr, once, when the game ends."""
    cases = [
        ("a new file", ["--ranking", "kept/mine.dat"], "kept/mine.dat", None, False),
        ("a folder", ["--ranking", "kept"], None, "kept", False),
        ("in a missing folder", ["--ranking=missing/mine.dat"], None, "missing/mine.dat", False),
        ("in a missing folder, Ctrl-C", ["--ranking=gone/mine.dat"], None, "gone/mine.dat", True),
    ]
    for what, arguments, ranking, unsaved, interrupted in cases:
        player = Player()
        os.mkdir(player.path("kept"))
        game = PipedGame(args.game, player, arguments)
        try:
            check(game.wait_for(TITLE, MENU_LINE), f"{what}: the title never came")
            told = (f"kaleidron: ランキングを保存できませんでした: {unsaved}\n".encode()
                    if unsaved else b"")
            if interrupted:
                game.process.send_signal(signal.SIGINT)
                status = game.process.wait(timeout=5)
                check(status == -signal.SIGINT, f"{what}: exit status {status}")
                said = game.process.stderr.read()
                check(said == told, f"{what}: stderr says {said!r}, not {told!r}")
            else:
                status, took = game.end_input()
                ended_cleanly(game, status, took, what, told)
            expected = [f"work/{ranking}"] if ranking else []
            check(player.files() == expected, f"{what}: files written: {player.files()}")
            if ranking:
                check(os.path.getsize(player.path(ranking)) == 336,
                      f"{what}: the ranking is not 336 bytes")
        finally:
            game.stop()
            player.remove()
    if not failures:
        print("--ranking: a usable FILE holds the ranking, an unusable one is left alone and "
              "told on stderr; nothing else is written")


# The start-up questions: the kitty keyboard flags, the cursor position after the probe
# character, the device attributes.
QUERIES = (b"\x1b[?u", b"\x1b[6n", b"\x1b[c")
TUTORIAL_DESCRIPTION = "チュートリアル".encode()
NOTICE = "80x25 以上に広げて下さい".encode()


def shell_reads_after(game):
    """The line the shell reads once the game has ended and the player presses Enter: nothing
    but the Enter when no answer of the terminal was left behind."""
    game.send(b"\r")
    line = b""
    while select.select([game.slave], [], [], 0.5)[0]:
        line += os.read(game.slave, 4096)
        if line.endswith(b"\n"):
            break
    return line


def keys_from_elsewhere(args):
    """`kaleidron < /dev/null` and keys piped in, the output on the terminal: no question is
    asked, the game ends with status 0 when its input does, the terminal is as it was and the
    shell reads only what the player types."""
    cases = [("< /dev/null", None), ("keys piped in", [KEY_RIGHT])]
    for what, keys in cases:
        player = Player()
        reader, writer = os.pipe()
        null = open(os.devnull, "rb")
        game = GameOnPty(args.game, player.work, env=player.env(),
                         keys_from=null if keys is None else reader)
        os.close(reader)
        null.close()
        try:
            if keys is not None:
                check(game.wait_for(TITLE), f"{what}: the title never came")
                for key in keys:
                    os.write(writer, key)
                check(game.wait_for(TUTORIAL_DESCRIPTION, 5.0),
                      f"{what}: the piped keys were not read")
            os.close(writer)
            writer = -1
            status = game.wait_exit(5.0)
            game.drain()
            written = game.written()
            check(status == 0, f"{what}: ended with {status}")
            asked = [query for query in QUERIES if query in written]
            check(not asked, f"{what}: the terminal was asked {asked}")
            check(written.endswith(LEAVE), f"{what}: the terminal was not given back last")
            check(game.stty() == game.stty_before, f"{what}: the terminal's modes changed")
            line = shell_reads_after(game)
            check(line == b"\n", f"{what}: the shell reads {line!r}")
        finally:
            if writer >= 0:
                os.close(writer)
            game.close()
            player.remove()
    if not failures:
        print("keys from elsewhere: no question asked, status 0, the shell reads only Enter")


def small_terminal_at_start(args):
    """Started in a 70 x 20 terminal, the game shows the notice and nothing of the title until
    the terminal is large enough, then the whole title."""
    player = Player()
    game = GameOnPty(args.game, player.work, env=player.env(), size=(70, 20))
    try:
        check(game.wait_for(NOTICE), "no notice in a 70 x 20 terminal")
        time.sleep(0.5)
        check(TITLE not in game.written(), "the title was drawn in a 70 x 20 terminal")
        check("\x1b[10;24H".encode() + NOTICE in game.written(), "the notice is not centred")
        mark = len(game.written())
        game.resize(80, 25)
        check(game.wait_for(TITLE, 5.0, mark), "no title once the terminal was large enough")
        game.kill(signal.SIGTERM)
        game.wait_exit(5.0)
    finally:
        game.close()
        player.remove()
    if not failures:
        print("a 70 x 20 terminal at start: the notice from the first frame, the title once "
              "large enough")


HISTORY = ("date\ttotal\tgrade\tlevel1\tlevel2\tlevel3\tlevel4\tlevel5\tlevel6\tseconds_left\t"
           "all_clear\treaction_ms\n"
           "2025-01-02T09:00:00+09:00\t12\tG\t3\t0\t0\t0\t0\t0\t0\t0\t1500,1400,1300,3000\n"
           "2025-01-03T09:00:00+09:00\t32\tF\t6\t2\t0\t0\t0\t0\t0\t0\t"
           "1000,900,800,700,600,500,2000,1000,1500\n")
REPORT = "KALEIDRON 訓練の記録".encode()
NO_HISTORY = "まだ記録がありません".encode()


def stats_report(args):
    """--stats: colour only on a terminal without NO_COLOR; the history is only read."""
    cases = [
        # what, arguments, history file, standard output on a pty, NO_COLOR, status, starts,
        # escape sequences expected
        ("piped", ["--stats"], "history.tsv", False, None, 0, REPORT, False),
        ("on a terminal", ["--stats"], "history.tsv", True, None, 0, REPORT, True),
        ("on a terminal, NO_COLOR", ["--stats"], "history.tsv", True, "1", 0, REPORT, False),
        ("as values", ["--stats", "--tsv"], "history.tsv", True, None, 0, b"name\tvalue\n",
         False),
        ("beside --ranking", ["--stats", "--ranking", "kept/mine.dat"], "kept/history.tsv",
         False, None, 0, REPORT, False),
        ("no history", ["--stats"], None, True, None, 0, NO_HISTORY, False),
    ]
    for what, arguments, history, on_pty, no_color, status, starts, escapes in cases:
        player = Player()
        os.mkdir(player.path("kept"))
        if history:
            with open(player.path(history), "w", encoding="utf-8") as out:
                out.write(HISTORY)
        before = player.files()
        env = player.env()
        env.pop("NO_COLOR", None)
        env["TERM"] = "xterm-256color"
        if no_color:
            env["NO_COLOR"] = no_color
        master, slave = os.openpty()
        try:
            result = subprocess.run([args.game, *arguments], cwd=player.work, env=env,
                                    stdin=subprocess.DEVNULL,
                                    stdout=slave if on_pty else subprocess.PIPE,
                                    stderr=subprocess.PIPE, timeout=10)
            os.close(slave)
            slave = None
            out = result.stdout or b""
            while on_pty and select.select([master], [], [], 0.2)[0]:
                try:
                    chunk = os.read(master, 65536)
                except OSError:
                    break
                if not chunk:
                    break
                out += chunk
            out = out.replace(b"\r\n", b"\n")
            check(result.returncode == status, f"{what}: exit status {result.returncode}")
            sent_escapes = b"\x1b" in out
            check(re.sub(rb"\x1b\[[0-9;]*m", b"", out).startswith(starts),
                  f"{what}: printed {out[:60]!r}")
            check(sent_escapes == escapes, f"{what}: escape sequences sent: {sent_escapes}")
            check(result.stderr == b"", f"{what}: stderr says {result.stderr!r}")
            check(player.files() == before, f"{what}: files changed: {player.files()}")
        finally:
            os.close(master)
            if slave is not None:
                os.close(slave)
            player.remove()
    if not failures:
        print("--stats: the report on a pipe and with NO_COLOR is plain text, on a terminal in "
              "colour; --tsv is values; no history is one line; nothing is written")


def stats_in_shift_jis(args):
    """--stats in a Shift-JIS locale: code page 932 like the game, charts in ASCII."""
    player = Player()
    try:
        locales = os.path.join(player.root, "locales")
        os.mkdir(locales)
        made = subprocess.run(["localedef", "--no-warnings=ascii", "-f", "SHIFT_JIS", "-i", "ja_JP",
                               os.path.join(locales, "ja_JP.SJIS")], capture_output=True)
        if not check(made.returncode == 0, f"localedef failed: {made.stderr[-200:]!r}"):
            return
        with open(player.path("history.tsv"), "w", encoding="utf-8") as out:
            out.write(HISTORY)
        env = dict(player.env(), LOCPATH=locales, LC_ALL="ja_JP.SJIS")
        result = subprocess.run([args.game, "--stats"], cwd=player.work, env=env,
                                stdin=subprocess.DEVNULL, capture_output=True, timeout=10)
        check(result.returncode == 0, f"exit status {result.returncode}")
        try:
            text = result.stdout.decode("cp932")
        except UnicodeDecodeError as error:
            check(False, f"not code page 932: {error}")
            return
        check(text.startswith("KALEIDRON 訓練の記録"), f"printed {text[:60]!r}")
        check("ゲーム数 2" in text, "no count of games")
        check(not any(0x2800 <= ord(ch) <= 0x28FF for ch in text), "braille in code page 932")
        check(" |#" in text, "no ASCII bars in the totals chart")
        if not failures:
            print("--stats in a Shift-JIS locale: code page 932, ASCII charts")
    finally:
        player.remove()


CASES = {
    "CommandLineAnswersTouchNothing": answers,
    "NoInputAtAllEndsTheGameAtOnce": no_input_at_all,
    "EndOfInputOnTheTitleEndsTheGame": end_of_input_on_the_title,
    "EndOfInputInAGameEndsItWithTheRankingAsItWas": end_of_input_in_a_game,
    "RankingOptionWithAUsableAndAnUnusableFile": ranking_option,
    "StatsReportIsPlainTextExceptOnATerminal": stats_report,
    "StatsReportInAShiftJisLocale": stats_in_shift_jis,
    "KeysFromElsewhereAskTheTerminalNothing": keys_from_elsewhere,
    "ATerminalTooSmallAtStartShowsTheNoticeFirst": small_terminal_at_start,
}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--game", required=True)
    parser.add_argument("--case", required=True, choices=sorted(CASES))
    args = parser.parse_args()
    args.game = os.path.abspath(args.game)
    CASES[args.case](args)
    for failure in failures:
        print(f"FAILED: {failure}", file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
