"""The real game on a pseudo-terminal of its own, for the kill and signal checks.

The game is the session leader with the pty as its controlling terminal, as under a terminal
emulator: Ctrl-Z on the pty stops it, closing the pty hangs it up. Everything it writes is
collected by a reader thread, so that it never blocks on a full terminal. Optionally the test
answers the start-up queries as a terminal with the kitty keyboard protocol would.
"""

import fcntl
import os
import resource
import signal
import subprocess
import termios
import threading
import time

KEY_RIGHT = b"\x1b[C"
KEY_LEFT = b"\x1b[D"
KEY_SPACE = b" "
ENTER_SCREEN = b"\x1b[?1049h"
LEAVE = b"\x1b[0m\x1b[?25h\x1b[?1049l"
PUSH_KEYBOARD = b"\x1b[>11u"
POP_KEYBOARD = b"\x1b[<u"


class GameOnPty:
    def __init__(self, game, work_dir, kitty=False, file_size_limit=None):
        self.master, self.slave = os.openpty()
        self.slave_path = os.ttyname(self.slave)
        fcntl.ioctl(self.slave, termios.TIOCSWINSZ, b"\x19\x00\x50\x00\x00\x00\x00\x00")
        self.kitty = kitty
        self.output = bytearray()
        self._lock = threading.Lock()
        self._answered = False
        self.answered = threading.Event()
        env = dict(os.environ, ALSOFT_DRIVERS="nosuch", TERM="xterm-256color", LC_ALL="C.UTF-8")

        def become_terminal_owner():
            os.setsid()
            fcntl.ioctl(0, termios.TIOCSCTTY, 0)
            resource.setrlimit(resource.RLIMIT_CORE, (0, 0))
            if file_size_limit is not None:
                resource.setrlimit(resource.RLIMIT_FSIZE, (file_size_limit, file_size_limit))

        self.process = subprocess.Popen(
            [os.path.abspath(game)], cwd=work_dir, env=env, stdin=self.slave, stdout=self.slave,
            stderr=self.slave, preexec_fn=become_terminal_owner, close_fds=True)
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()

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
                    os.write(self.master, answer)
                    self.answered.set()

    @property
    def pid(self):
        return self.process.pid

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

    def close(self):
        if self.process.poll() is None:
            self.kill()
            self.process.wait()
        for fd in (self.master, self.slave):
            if fd >= 0:
                os.close(fd)
        self.master = self.slave = -1
