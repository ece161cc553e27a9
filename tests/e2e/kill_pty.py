"""The real game on a pseudo-terminal of its own, for the kill, signal and start-up checks.

The game is the session leader with the pty as its controlling terminal, as under a terminal
emulator: Ctrl-Z on the pty stops it, closing the pty hangs it up. Everything it writes is
collected by a reader thread, so that it never blocks on a full terminal. The test answers the
start-up queries as a terminal would, optionally as one with the kitty keyboard protocol, at
once or as late as a slow link brings them. The terminal is 80 x 25 unless told otherwise, and
the keys may come from elsewhere (a file or a pipe) while the output goes to the terminal.
screen_of() reads back what the terminal shows.
"""

import fcntl
import os
import re
import resource
import signal
import struct
import subprocess
import sys
import termios
import threading
import time
import unicodedata

KEY_RIGHT = b"\x1b[C"
KEY_LEFT = b"\x1b[D"
KEY_SPACE = b" "
ENTER_SCREEN = b"\x1b[?1049h"
LEAVE = b"\x1b[0m\x1b[?25h\x1b[?1049l"
PUSH_KEYBOARD = b"\x1b[>11u"
POP_KEYBOARD = b"\x1b[<u"


def report(failures):
    """Prints each failure and the summary line the test runner reads; returns the exit status."""
    for failure in failures:
        print("FAILED:", failure)
    print("0 passed, 1 failed" if failures else "1 passed, 0 failed")
    return 1 if failures else 0


class GameOnPty:
    def __init__(self, game, work_dir, kitty=False, file_size_limit=None,
                 kill_after_answer=None, under_shell=False, sound_file=None, size=(80, 25),
                 keys_from=None, env=None, answer_delay=0.0):
        self.master, self.slave = os.openpty()
        self.slave_path = os.ttyname(self.slave)
        self.resize(*size)
        self.stty_before = self.stty()
        self.kitty = kitty
        self._kill_after_answer = kill_after_answer
        self._answer_delay = answer_delay
        self.output = bytearray()
        self._lock = threading.Lock()
        self._answered = False
        self.answered = threading.Event()
        environment = dict(os.environ, ALSOFT_DRIVERS="nosuch", TERM="xterm-256color",
                           LC_ALL="C.UTF-8")
        environment.update(env or {})
        if sound_file is not None:
            # OpenAL's wave writer: the sound output opens as a sound card would and the mix
            # is written to that file as it plays.
            config = sound_file + ".conf"
            with open(config, "w") as out:
                out.write(f"[wave]\nfile = {sound_file}\n")
            environment.update(ALSOFT_DRIVERS="wave", ALSOFT_CONF=config)

        def become_terminal_owner():
            os.setsid()
            fcntl.ioctl(1, termios.TIOCSCTTY, 0)  # the output is the terminal, the keys may not be
            resource.setrlimit(resource.RLIMIT_CORE, (0, 0))
            if file_size_limit is not None:
                resource.setrlimit(resource.RLIMIT_FSIZE, (file_size_limit, file_size_limit))

        command = [os.path.abspath(game)]
        if under_shell:
            command = [sys.executable, os.path.abspath(__file__), "--shell"] + command
        self.process = subprocess.Popen(
            command, cwd=work_dir, env=environment,
            stdin=self.slave if keys_from is None else keys_from, stdout=self.slave,
            stderr=self.slave, preexec_fn=become_terminal_owner, close_fds=True)
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()
        self.pid = self.process.pid
        if under_shell:
            self.pid = self._job_of_shell()

    def _job_of_shell(self):
        deadline = time.monotonic() + 5
        while time.monotonic() < deadline:
            try:
                with open(f"/proc/{self.process.pid}/task/{self.process.pid}/children") as f:
                    children = f.read().split()
                if children:
                    return int(children[0])
            except OSError:
                pass
            time.sleep(0.005)
        raise RuntimeError("the shell started no game")

    def _read(self):
        while True:
            try:
                data = os.read(self.master, 65536)
            except OSError:
                return
            if not data:
                return
            with self._lock:
                self.output += data
                if not self._answered and b"\x1b[c" in self.output:
                    self._answered = True
                    answer = (b"\x1b[?0u" if self.kitty else b"") + b"\x1b[2;2R\x1b[?62;22c"
                    if self._answer_delay > 0:
                        # A slow link: the answers come after the game has stopped waiting.
                        threading.Timer(self._answer_delay, self.send, (answer,)).start()
                    else:
                        os.write(self.master, answer)
                    self.answered.set()
                    if self._kill_after_answer is not None:
                        # Spins rather than sleeps: the moment matters to the millisecond.
                        deadline = time.monotonic() + self._kill_after_answer
                        while time.monotonic() < deadline:
                            pass
                        self.kill()

    def resize(self, columns, rows):
        """Sets the terminal's size; the game, in the terminal's foreground, hears of it."""
        fcntl.ioctl(self.slave, termios.TIOCSWINSZ, struct.pack("HHHH", rows, columns, 0, 0))

    def written(self):
        with self._lock:
            return bytes(self.output)

    def send(self, keys):
        os.write(self.master, keys)

    def wait_for(self, text, timeout=10.0, after=0):
        """Waits until the game has written text (bytes) past offset after."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.written().find(text, after) >= 0:
                return True
            if self.process.poll() is not None:
                return self.written().find(text, after) >= 0
            time.sleep(0.01)
        return False

    def state(self):
        """The process state letter from /proc: R, S, T (stopped), Z..."""
        try:
            with open(f"/proc/{self.pid}/stat") as stat:
                return stat.read().rsplit(")", 1)[1].split()[0]
        except OSError:
            return "gone"

    def wait_state(self, wanted, timeout=5.0):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.state() == wanted:
                return True
            time.sleep(0.01)
        return False

    def termios(self):
        return termios.tcgetattr(self.slave)

    def stty(self):
        return subprocess.run(["stty", "-a", "-F", self.slave_path], capture_output=True,
                              text=True).stdout

    def kill(self, signal_number=signal.SIGKILL):
        try:
            os.kill(self.pid, signal_number)
        except ProcessLookupError:
            pass

    def wait_exit(self, timeout=10.0):
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            return None

    def hang_up(self):
        """Closes the terminal, as a closed window does."""
        os.close(self.master)
        self.master = -1

    def drain(self, quiet=0.2):
        """Waits until the game has written nothing more for a moment."""
        size = -1
        while size != len(self.written()):
            size = len(self.written())
            time.sleep(quiet)

    def close(self):
        self.kill()
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        for fd in (self.master, self.slave):
            if fd >= 0:
                os.close(fd)
        self.master = self.slave = -1


CSI = re.compile(r"\x1b\[([?<>=]?)([0-9;:]*)([@-~])|\x1b.|(.)", re.S)


def screen_of(output, columns=80, rows=25):
    """The characters a terminal shows after the game's output, row by row, as lists of cells:
    moves, clears and text only. A wide character takes its cell and leaves the next empty; a
    character that does not fit on the row is not shown."""
    cells = [[" "] * columns for _ in range(rows)]
    x = y = 0
    for match in CSI.finditer(output.decode("utf-8", "replace")):
        prefix, params, final, char = match.groups()
        if final == "H" and not prefix:
            numbers = [int(n) if n else 1 for n in params.split(";")] + [1, 1]
            y, x = min(numbers[0], rows) - 1, min(numbers[1], columns) - 1
        elif final == "J" and params == "2":
            cells = [[" "] * columns for _ in range(rows)]
        elif final == "K" and params == "2":
            cells[y] = [" "] * columns
        elif char == "\r":
            x = 0
        elif char is not None and char >= " ":
            width = 2 if unicodedata.east_asian_width(char) in "WF" else 1
            if x + width <= columns:
                cells[y][x:x + width] = [char] + [""] * (width - 1)
            x += width
    return cells


# The large digits, three rows of three characters each, as the game draws them.
DIGIT_FONT = [
    ("┏━┓", "┃　┃", "┗━┛"), ("　┫　", "　┃　", "　┻　"), ("┏━┓", "┏━┛", "┗━┛"),
    ("　━┓", "　━┫", "　━┛"), ("┃　┃", "┗━┫", "　　┃"), ("┏━━", "┗━┓", "━━┛"),
    ("┏━━", "┣━┓", "┗━┛"), ("┏━┓", "　　┃", "　　┃"), ("┏━┓", "┣━┫", "┗━┛"),
    ("┏━┓", "┗━┫", "━━┛"),
]
# The TIME readout: the left columns of its four digits on rows 23 to 25, the point after two.
TIME_COLUMNS = (54, 60, 68, 74)
TIME_TOP_ROW = 23


def readout(output):
    """The seconds the TIME readout shows after the output, or None when it shows no number.
    Every character of a digit takes two cells, drawn narrow with a companion or wide."""
    cells = screen_of(output)
    digits = ""
    for column in TIME_COLUMNS:
        glyph = tuple("".join(cells[TIME_TOP_ROW - 1 + row][column - 1 + offset]
                              for offset in (0, 2, 4)) for row in range(3))
        if glyph not in DIGIT_FONT:
            return None
        digits += str(DIGIT_FONT.index(glyph))
    return int(digits) / 100


def run_as_shell(command):
    """A shell's part for one job: the game runs in a process group of its own in the
    foreground of the terminal, as under an interactive shell, so that Ctrl-Z stops it (a
    session leader's own group would be orphaned, and the stop signal dropped). Ends as the
    game ended, by the same signal where a signal ended it."""
    signal.signal(signal.SIGTTOU, signal.SIG_IGN)
    pid = os.fork()
    if pid == 0:
        os.setpgid(0, 0)
        os.tcsetpgrp(0, os.getpid())
        # Python ignores these two for itself; a job of a shell starts with neither ignored.
        for number in (signal.SIGTTOU, signal.SIGPIPE, signal.SIGXFSZ):
            signal.signal(number, signal.SIG_DFL)
        os.execv(command[0], command)
    try:
        os.setpgid(pid, pid)
    except PermissionError:
        pass  # the child has already started the game, in the group it made itself
    os.tcsetpgrp(0, pid)
    for number in (signal.SIGHUP, signal.SIGINT, signal.SIGQUIT, signal.SIGTERM, signal.SIGTSTP):
        signal.signal(number, signal.SIG_IGN)
    while True:
        _, status = os.waitpid(pid, os.WUNTRACED | os.WCONTINUED)
        if os.WIFEXITED(status):
            sys.exit(os.WEXITSTATUS(status))
        if os.WIFSIGNALED(status):
            number = os.WTERMSIG(status)
            signal.signal(number, signal.SIG_DFL)
            os.kill(os.getpid(), number)
            sys.exit(128 + number)


if __name__ == "__main__" and len(sys.argv) > 2 and sys.argv[1] == "--shell":
    run_as_shell(sys.argv[2:])
