"""Measures what a run and painting cost, each against its floor, and prints
a table. Not a test: it asserts nothing, it reports."""

import fcntl
import os
import pty
import random
import re
import shutil
import statistics
import struct
import subprocess
import sys
import tempfile
import termios
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "tests"))
from korvfix_files import SIZE, original  # noqa: E402

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
KORVFIX = os.path.join(ROOT, "build", "bench", "korvfix")
PAINT = os.path.join(ROOT, "build", "bench", "korvfix_paint_bench")
RUNS = int(os.environ.get("KORVFIX_BENCH_RUNS", "40"))
COLUMNS, ROWS = 100, 40

# The messages of a successful run, as the program has them.
MESSAGES = [
    ("line", "|16|08\xfe |03Zorwick's Korvane |111.03s |03for |11Grendhall 1.11l + NT "
             "patch/1.11m+ |03Executable Fixer|08!"),
    ("blank", ""),
    ("line", "  |15PLEASE READ THE DOCUMENTATION IF YOU HAVE ANY PROBLEMS!"),
    ("blank", ""),
    ("line", "|08* |03Created backup of |11korvane.exe |03to |11korvane.exe.old|08."),
    ("text", "  |03Patching |11korvane.exe|03..."),
    ("line", "|10success|08!"),
    ("blank", ""),
    ("line", "|08<|11press any key to exit|08>|07"),
]
CODE = re.compile(r"\|(\d\d)")


# --- running under a pseudo-terminal -------------------------------------------------------

def run_in_pty(command, cwd, keys=b"", columns=COLUMNS, rows=ROWS):
    """Runs `command` with a new pseudo-terminal as its controlling terminal,
    `keys` already typed; returns (seconds, bytes the terminal received)."""
    master, slave = pty.openpty()
    fcntl.ioctl(master, termios.TIOCSWINSZ, struct.pack("HHHH", rows, columns, 0, 0))
    received = bytearray()
    answered = threading.Event()

    def drain():
        while True:
            try:
                chunk = os.read(master, 65536)
            except OSError:
                return
            if not chunk:
                return
            received.extend(chunk)
            # Answer a cursor query as a terminal would: the top left corner.
            if not answered.is_set() and b"\x1b[6n" in received:
                answered.set()
                os.write(master, b"\x1b[1;1R")

    def become_session_leader():
        os.setsid()
        fcntl.ioctl(0, termios.TIOCSCTTY, 0)

    os.write(master, keys)
    reader = threading.Thread(target=drain, daemon=True)
    reader.start()
    started = time.perf_counter()
    process = subprocess.Popen(command, cwd=cwd, stdin=slave, stdout=slave, stderr=slave,
                               preexec_fn=become_session_leader)
    process.wait()
    elapsed = time.perf_counter() - started
    os.close(slave)
    reader.join(timeout=10)
    os.close(master)
    return elapsed, bytes(received)


# --- figure 1: a whole run against the same file work done by standard tools --------------

def prepare(folder, target):
    backup = os.path.join(folder, "korvane.exe.old")
    if os.path.exists(backup):
        os.unlink(backup)
    with open(os.path.join(folder, "korvane.exe"), "wb") as f:
        f.write(target)


def plain_messages():
    out = b""
    for kind, text in MESSAGES:
        visible = CODE.sub("", text).encode("latin-1")
        out += visible + (b"\n\r" if kind == "line" else b"\r\n" if kind == "blank" else b"")
    return out


def floor_script(folder, durable):
    with open(os.path.join(folder, "entry1"), "wb") as f:
        f.write(b"\x0d")
    with open(os.path.join(folder, "entry2"), "wb") as f:
        f.write(b"rance: \x00")
    with open(os.path.join(folder, "messages"), "wb") as f:
        f.write(plain_messages())
    sync = " && sync korvane.exe.old" if durable else ""
    flags = "conv=notrunc,fsync" if durable else "conv=notrunc"
    return ("cp korvane.exe korvane.exe.old" + sync +
            f" && dd if=entry1 of=korvane.exe bs=1 seek=252715 {flags} status=none"
            f" && dd if=entry2 of=korvane.exe bs=1 seek=776338 {flags} status=none"
            " && printf '%s' \"$(cat messages)\"")


def timed(folder, target, run):
    times = []
    for _ in range(RUNS):
        prepare(folder, target)
        started = time.perf_counter()
        run()
        times.append(time.perf_counter() - started)
    return min(times), statistics.median(times)


def silent(command, folder):
    return lambda: subprocess.run(command, cwd=folder, stdin=subprocess.DEVNULL,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def count_calls(command, folder, target):
    prepare(folder, target)
    log = os.path.join(folder, "calls")
    subprocess.run(["strace", "-f", "-c", "-o", log] + command, cwd=folder,
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    with open(log) as f:
        for line in f:
            if line.strip().endswith("total"):
                return int(line.split()[3])
    return 0


def tmux_times(folder, target, runs):
    """Whole runs in a tmux pane, a key typed right after the command."""
    socket = "korvfix-bench"
    tmux = ["tmux", "-L", socket]
    subprocess.run(tmux + ["-f", "/dev/null", "new-session", "-d", "-x", str(COLUMNS), "-y",
                           str(ROWS), "env -i PATH=/usr/bin:/bin LANG=C.UTF-8 PS1='$ ' "
                           "bash --norc --noprofile"], check=True)
    times_file = os.path.join(folder, "times")
    try:
        time.sleep(0.3)
        for _ in range(runs):
            prepare(folder, target)
            marker = os.path.join(folder, "done")
            command = (f"cd {folder}; TIMEFORMAT=%R; {{ time {KORVFIX}; }} 2>> {times_file}; "
                       f"touch {marker}")
            subprocess.run(tmux + ["send-keys", "-l", command], check=True)
            subprocess.run(tmux + ["send-keys", "Enter", "x"], check=True)
            deadline = time.monotonic() + 20
            while not os.path.exists(marker) and time.monotonic() < deadline:
                time.sleep(0.01)
            os.unlink(marker)
            subprocess.run(tmux + ["send-keys", "clear", "Enter"], check=True)
            time.sleep(0.05)
    finally:
        subprocess.run(tmux + ["kill-server"], capture_output=True)
    with open(times_file) as f:
        times = [float(line) for line in f if line.strip()]
    return min(times), statistics.median(times)


# --- figure 2: bytes on the terminal against the text's own bytes --------------------------

def text_floor():
    """The visible text as a UTF-8 terminal needs it, plus one colour change
    (five bytes, ESC [ n n m) for each code that changes the colours."""
    attr = 0x07
    visible, changes = 0, 0
    for kind, text in MESSAGES:
        pieces = CODE.split(text)
        for i, piece in enumerate(pieces):
            if i % 2 == 0:
                visible += sum(3 if c == "\xfe" else 1 for c in piece)
                continue
            code = int(piece)
            before = attr
            if code < 16:
                attr = (attr & 0x70) | (code & 0x8F)
            elif code <= 23:
                attr = (attr & 0x8F) | ((code * 16) & 0x7F)
            if attr != before:
                changes += 1
        visible += 2 if kind in ("line", "blank") else 0
    return visible + 5 * changes, visible, changes


# --- figure 3: painting throughput ---------------------------------------------------------

SGR = {3: "36", 4: "31", 7: "37", 8: "90", 10: "92", 11: "96", 15: "97"}


def painting_texts(size=1 << 20):
    rng = random.Random(7)
    words = ["korvane", "patch", "backup", "Grendhall", "executable", "fixer", "colour", "row",
             "terminal", "cell", "key", "wait"]
    marked, ansi = [], []
    total = 0
    while total < size:
        line_marked, line_ansi, visible = "", "", 0
        while visible < 70:
            code = rng.choice(list(SGR))
            chunk = " ".join(rng.choice(words) for _ in range(rng.randint(2, 4))) + " "
            line_marked += f"|{code:02d}{chunk}"
            line_ansi += f"\x1b[{SGR[code]}m{chunk}"
            visible += len(chunk)
        marked.append(line_marked)
        ansi.append(line_ansi + "\r\n")
        total += len(line_marked) + 1
    return "\n".join(marked) + "\n", "".join(ansi)


def main():
    folder = tempfile.mkdtemp(prefix="korvfix-bench-")
    try:
        target = original(SIZE)
        rows = []

        no_tty = timed(folder, target, silent([KORVFIX], folder))
        floor = timed(folder, target, silent(["sh", "-c", floor_script(folder, False)], folder))
        durable = timed(folder, target, silent(["sh", "-c", floor_script(folder, True)], folder))
        in_pty = timed(folder, target, lambda: run_in_pty([KORVFIX], folder, keys=b"x"))
        floor_pty = timed(folder, target,
                          lambda: run_in_pty(["sh", "-c", floor_script(folder, False)], folder))
        in_tmux = tmux_times(folder, target, max(5, RUNS // 4))
        calls = count_calls([KORVFIX], folder, target)
        floor_calls = count_calls(["sh", "-c", floor_script(folder, False)], folder, target)
        durable_calls = count_calls(["sh", "-c", floor_script(folder, True)], folder, target)
        ms = lambda t: f"{t[0] * 1000:.2f} / {t[1] * 1000:.2f} ms"
        rows.append(("1  run, no terminal (min / median)", ms(no_tty), ms(floor),
                     f"{no_tty[1] / floor[1]:.2f}", "<= 1"))
        rows.append(("1  the same, floor made durable", ms(no_tty), ms(durable),
                     f"{no_tty[1] / durable[1]:.2f}", "<= 1"))
        rows.append(("1  run in a pseudo-terminal", ms(in_pty), ms(floor_pty),
                     f"{in_pty[1] / floor_pty[1]:.2f}", "<= 1"))
        rows.append(("1  run in a tmux pane (bash's time)", ms(in_tmux), ms(floor),
                     f"{in_tmux[1] / floor[1]:.2f}", "<= 1"))
        rows.append(("1  system calls (strace -c)", str(calls),
                     f"{floor_calls} ({durable_calls} durable)",
                     f"{calls / floor_calls:.2f}", "-"))

        prepare(folder, target)
        _, shown = run_in_pty([KORVFIX], folder, keys=b"x")
        floor_bytes, visible, changes = text_floor()
        rows.append(("2  bytes to the terminal, success run", str(len(shown)),
                     f"{floor_bytes} ({visible} text, {changes} colours)",
                     f"{len(shown) / floor_bytes:.2f}", "<= 1.5"))

        marked, ansi = painting_texts()
        with open(os.path.join(folder, "marked"), "w", encoding="latin-1") as f:
            f.write(marked)
        with open(os.path.join(folder, "ansi"), "w", encoding="latin-1") as f:
            f.write(ansi)
        painted = min(run_in_pty([PAINT, "colour", "marked"], folder)[0] for _ in range(3))
        raw = min(run_in_pty([PAINT, "ansi", "ansi"], folder)[0] for _ in range(3))
        mib = len(marked) / (1 << 20)
        rows.append(("3  painting 1 MiB with colour codes", f"{mib / painted:.1f} MiB/s",
                     f"{mib / raw:.1f} MiB/s", f"{raw / painted:.2f}", ">= 0.5"))

        prepare(folder, target)
        rss = subprocess.run(["/usr/bin/time", "-f", "%M", KORVFIX], cwd=folder,
                             stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                             stderr=subprocess.PIPE, text=True).stderr.strip().splitlines()[-1]
        prepare(folder, target)
        cp_rss = subprocess.run(["/usr/bin/time", "-f", "%M", "cp", "korvane.exe",
                                 "korvane.exe.old"], cwd=folder, stderr=subprocess.PIPE,
                                text=True).stderr.strip().splitlines()[-1]
        rows.append(("4  peak memory of a run (max RSS)", f"{int(rss) / 1024:.2f} MiB",
                     f"{int(cp_rss) / 1024:.2f} MiB (cp)", f"{int(rss) / 4096:.2f} of 4 MiB",
                     "< 4 MiB"))

        widths = [max(len(r[i]) for r in rows + [("figure", "korvfix", "floor", "ratio",
                                                    "target")]) for i in range(5)]
        header = ("figure", "korvfix", "floor", "ratio", "target")
        print()
        for row in [header] + rows:
            print("  ".join(cell.ljust(width) for cell, width in zip(row, widths)))
    finally:
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
