"""A real terminal for end-to-end tests: a tmux pane of a fixed size, its
screen read back with colours."""

import os
import re
import shlex
import subprocess
import time
import uuid

SGR = re.compile(r"\x1b\[([0-9;]*)m")


class Cell:
    __slots__ = ("char", "fg", "bg")

    def __init__(self, char, fg, bg):
        self.char, self.fg, self.bg = char, fg, bg


def parse_rows(text):
    """The cells of each captured row: each character with its SGR colour
    numbers (30-37/90-97 foreground, 40-47/100-107 background, None default).
    Colours carry over from one row to the next, as tmux captures them."""
    rows, cells, fg, bg = [], [], None, None
    pos = 0
    for match in SGR.finditer(text + "\x1b[m"):
        for char in text[pos:match.start()]:
            if char == "\n":
                rows.append(cells)
                cells = []
            else:
                cells.append(Cell(char, fg, bg))
        pos = match.end()
        codes = [int(c) if c else 0 for c in match.group(1).split(";")]
        i = 0
        while i < len(codes):
            code = codes[i]
            if code == 0:
                fg = bg = None
            elif 30 <= code <= 37 or 90 <= code <= 97:
                fg = code
            elif code == 39:
                fg = None
            elif 40 <= code <= 47 or 100 <= code <= 107:
                bg = code
            elif code == 49:
                bg = None
            elif code in (38, 48) and i + 2 < len(codes) and codes[i + 1] == 5:
                n = codes[i + 2]
                value = (30 + n if n < 8 else 82 + n) if n < 16 else None
                if code == 38:
                    fg = value
                else:
                    bg = value + 10 if value is not None else None
                i += 2
            i += 1
    rows.append(cells)
    return rows


def row_text(cells):
    return "".join(c.char for c in cells).rstrip()


class Pane:
    """One tmux server of our own with one pane running a plain shell."""

    def __init__(self, width=100, height=30, env=None):
        self.socket = "korvfix-" + uuid.uuid4().hex[:8]
        self.width, self.height = width, height
        environment = {"LANG": "C.UTF-8", "PS1": "$ ", "TERM": "xterm-256color"}
        environment.update(env or {})
        exports = " ".join(f"{k}={shlex.quote(v)}" for k, v in environment.items())
        self.tmux("-f", "/dev/null", "new-session", "-d", "-s", "t", "-x", str(width),
                  "-y", str(height), f"env -i PATH={shlex.quote(os.environ['PATH'])} "
                  f"HOME={shlex.quote(os.environ.get('HOME', '/'))} {exports} "
                  "bash --norc --noprofile")
        self.tmux("set-option", "-t", "t", "history-limit", "1000")
        self.wait_for(lambda screen: "$" in screen, "the shell prompt")

    def tmux(self, *args):
        return subprocess.run(["tmux", "-L", self.socket, *args], check=True,
                              capture_output=True, text=True).stdout

    def close(self):
        subprocess.run(["tmux", "-L", self.socket, "kill-server"], capture_output=True)

    def send(self, *keys, literal=False):
        self.tmux("send-keys", "-t", "t", *(["-l"] if literal else []), *keys)

    def run(self, command):
        self.send(command, literal=True)
        self.send("Enter")

    def screen(self):
        return self.tmux("capture-pane", "-t", "t", "-p")

    def lines(self):
        """The visible rows as text, empty ones included."""
        return [line.rstrip() for line in self.screen().split("\n")[: self.height]]

    def rows(self):
        """The visible rows as cells with colours."""
        return parse_rows(self.tmux("capture-pane", "-t", "t", "-p", "-e"))[: self.height]

    def history(self):
        return self.tmux("capture-pane", "-t", "t", "-p", "-S", "-1000")

    def shell_pid(self):
        return int(self.tmux("display-message", "-t", "t", "-p", "#{pane_pid}").strip())

    def wait_for(self, predicate, what, timeout=30):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            screen = self.screen()
            if predicate(screen):
                return screen
            time.sleep(0.05)
        raise AssertionError(f"timed out waiting for {what}; the screen:\n{self.screen()}")


def child_pids(parent):
    out = subprocess.run(["pgrep", "-P", str(parent)], capture_output=True, text=True).stdout
    return [int(p) for p in out.split()]


def wait_for_file(path, timeout=20):
    """Waits until `path` exists, as a command in the pane writes it last."""
    deadline = time.monotonic() + timeout
    while not os.path.exists(path) and time.monotonic() < deadline:
        time.sleep(0.02)
