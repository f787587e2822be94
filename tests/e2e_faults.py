"""Faults, signals and hostile file systems: whatever happens, the backup is
whole or absent and the target is the original, the original with the first
entry written, or fully patched."""

import collections
import os
import random
import shutil
import signal
import socket
import stat
import subprocess
import tempfile
import time
import unittest

from korvfix_files import (BACKUP, BACKUP_MADE, COMMAND, END, NO_BACKUP, OPEN_FAILED, PATCHED,
                           START, TARGET, UNDER_WINE, original, with_entries)
from terminal import Pane, child_pids, wait_for_file

IS_ROOT = os.geteuid() == 0


def can_trace():
    return shutil.which("strace") is not None and subprocess.run(
        ["strace", "-qq", "-o", "/dev/null", "true"], capture_output=True).returncode == 0


CAN_TRACE = can_trace()
# The release build: its system calls are the program's own, not a sanitizer's.
RELEASE_BIN = os.path.abspath(os.environ.get("KORVFIX_RELEASE_BIN", "build/native/korvfix"))
TEMPORARY_PREFIX = "." + BACKUP + "."
ORIGINAL = original()
STATES = {ORIGINAL: "original", with_entries(ORIGINAL, 1): "first entry",
          with_entries(ORIGINAL, 2): "patched"}


def note(line):
    """Figures for the README's reliability section."""
    print(line, flush=True)
    report = os.environ.get("KORVFIX_RELIABILITY_REPORT")
    if report:
        with open(report, "a") as f:
            f.write(line + "\n")


def snapshot(folder):
    """Every entry of a folder: its kind, and its bytes or link target."""
    entries = {}
    for name in sorted(os.listdir(folder)):
        path = os.path.join(folder, name)
        info = os.lstat(path)
        if stat.S_ISLNK(info.st_mode):
            entries[name] = ("link", os.readlink(path))
        elif stat.S_ISREG(info.st_mode):
            with open(path, "rb") as f:
                entries[name] = ("file", f.read(), info.st_mode, info.st_mtime_ns)
        else:
            entries[name] = (stat.S_IFMT(info.st_mode), info.st_rdev)
    return entries


class Scratch:
    def __init__(self):
        self.folder = tempfile.TemporaryDirectory(prefix="korvfix-faults-")
        self.dir = self.folder.name

    def path(self, name):
        return os.path.join(self.dir, name)

    def place_target(self, data=ORIGINAL, mode=0o640, mtime=1_234_567_890):
        with open(self.path(TARGET), "wb") as f:
            f.write(data)
        os.chmod(self.path(TARGET), mode)
        os.utime(self.path(TARGET), (mtime, mtime))

    def cleanup(self):
        self.folder.cleanup()


class FaultTest(unittest.TestCase):
    def scratch(self):
        s = Scratch()
        self.addCleanup(s.cleanup)
        return s

    def run_korvfix(self, folder, command=COMMAND, timeout=60):
        started = time.monotonic()
        result = subprocess.run(command, cwd=folder, stdin=subprocess.DEVNULL,
                                capture_output=True, timeout=timeout, start_new_session=True)
        result.seconds = time.monotonic() - started
        return result

    def assert_sound(self, s, leftovers_allowed=False):
        """The two promises; returns the target's state."""
        with open(s.path(TARGET), "rb") as f:
            state = STATES.get(f.read())
        self.assertIsNotNone(state, "the target is neither original, half nor fully patched")
        backup = s.path(BACKUP)
        if os.path.lexists(backup):
            info = os.lstat(backup)
            self.assertTrue(stat.S_ISREG(info.st_mode))
            with open(backup, "rb") as f:
                self.assertTrue(f.read() == ORIGINAL, "the backup is not a whole copy")
            if not UNDER_WINE:  # Windows files have no permission bits to keep
                self.assertEqual(info.st_mode & 0o777, 0o640, "the backup lost its permissions")
            self.assertEqual(info.st_mtime_ns, 1_234_567_890 * 10**9, "the backup lost its time")
        elif state != "original":
            self.fail("the target changed without a backup")
        leftovers = [n for n in os.listdir(s.dir) if n.startswith(TEMPORARY_PREFIX)]
        if not leftovers_allowed:
            self.assertEqual(leftovers, [], "a temporary copy was left behind")
        return state, bool(leftovers)

    @unittest.skipUnless(IS_ROOT and not UNDER_WINE and shutil.which("unshare"),
                         "needs root and unshare for a private mount")
    def test_full_disk_leaves_no_backup_and_no_temporary(self):
        s = self.scratch()
        mount = s.path("small")
        os.mkdir(mount)
        with open(s.path("source"), "wb") as f:
            f.write(ORIGINAL)
        # A 1 MiB tmpfs holds the target but not a copy of it; the mount is
        # private to this shell and goes with it.
        script = r'''
            mount -t tmpfs -o size=1024k korvfix-full "$1" || exit 90
            cp "$2" "$1/korvane.exe" && cd "$1" || exit 91
            "$3" </dev/null >"$4/stdout" 2>"$4/stderr"
            echo $? >"$4/status"
            ls -A >"$4/listing"
            cmp -s korvane.exe "$2" && echo same >"$4/target"
        '''
        done = subprocess.run(["unshare", "-m", "--propagation", "private", "sh", "-c", script,
                               "sh", mount, s.path("source"), COMMAND[-1], s.dir], timeout=60)
        if done.returncode == 90 or not os.path.exists(s.path("status")):
            self.skipTest("no private tmpfs mount allowed here")
        self.assertEqual(done.returncode, 0)
        with open(s.path("stdout"), "rb") as f:
            self.assertEqual(f.read(), START + NO_BACKUP + END)
        with open(s.path("status")) as f:
            self.assertEqual(f.read().strip(), "2")
        with open(s.path("listing")) as f:
            self.assertEqual(f.read().split(), [TARGET])
        self.assertTrue(os.path.exists(s.path("target")), "the target changed")
        note("full disk: backup absent, no temporary left, target unchanged, status 2")

    @unittest.skipUnless(not UNDER_WINE and CAN_TRACE and os.path.exists(RELEASE_BIN),
                         "needs strace and the release build")
    def test_killed_at_every_system_call_the_files_stay_sound(self):
        s = self.scratch()
        s.place_target()
        log = s.path("calls")
        subprocess.run(["strace", "-f", "-qq", "-o", log, RELEASE_BIN], cwd=s.dir,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, check=True,
                       start_new_session=True)
        calls = collections.Counter()
        points = []
        with open(log) as f:
            for line in f:
                name = line.split(None, 1)[1].split("(", 1)[0] if " " in line else ""
                if name.isidentifier():
                    calls[name] += 1
                    points.append((name, calls[name]))
        self.assertGreater(len(points), 50)
        states = collections.Counter()
        leftovers = 0
        for name, nth in points:
            s = self.scratch()
            s.place_target()
            subprocess.run(["strace", "-f", "-qq", "-o", "/dev/null", "-e", f"trace={name}",
                            "-e", f"inject={name}:signal=SIGKILL:when={nth}", RELEASE_BIN],
                           cwd=s.dir, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=60, start_new_session=True)
            with self.subTest(kill_at=f"{name} #{nth}"):
                state, left = self.assert_sound(s, leftovers_allowed=True)
                backup = "backup" if os.path.exists(s.path(BACKUP)) else "no backup"
                states[f"{state}, {backup}"] += 1
                leftovers += left
        note(f"SIGKILL at each of {len(points)} system calls of a run: " +
             "; ".join(f"{n} {k}" for k, n in sorted(states.items())) +
             f"; a hidden temporary copy left by {leftovers}")

    @unittest.skipUnless(not UNDER_WINE and CAN_TRACE and os.path.exists(RELEASE_BIN),
                         "needs strace and the release build")
    def test_target_vanishing_during_the_copy(self):
        s = self.scratch()
        s.place_target()
        # Hold the copy's first transfer for half a second and delete the
        # target meanwhile: the copy goes on from the open file.
        process = subprocess.Popen(
            ["strace", "-f", "-qq", "-o", "/dev/null", "-e", "trace=copy_file_range",
             "-e", "inject=copy_file_range:delay_enter=500000:when=1", RELEASE_BIN],
            cwd=s.dir, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
            start_new_session=True)
        time.sleep(0.25)
        os.unlink(s.path(TARGET))
        out, _ = process.communicate(timeout=30)
        self.assertEqual(out, START + BACKUP_MADE + OPEN_FAILED + END)
        self.assertEqual(process.returncode, 3)
        with open(s.path(BACKUP), "rb") as f:
            self.assertTrue(f.read() == ORIGINAL, "the backup is not whole")
        self.assertEqual(sorted(os.listdir(s.dir)), [BACKUP])

    @unittest.skipUnless(not UNDER_WINE and CAN_TRACE and os.path.exists(RELEASE_BIN),
                         "needs strace and the release build")
    def test_break_during_the_start_up_does_not_report_success(self):
        """The console output is opened after the break handler is registered:
        hold that open and send SIGTERM meanwhile."""
        s = self.scratch()
        s.place_target()
        log = s.path("calls")
        subprocess.run(["strace", "-qq", "-o", log, "-e", "trace=openat", RELEASE_BIN], cwd=s.dir,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       start_new_session=True, check=True)
        with open(log) as f:
            opens = [line for line in f if line.startswith("openat(")]
        ttys = [i + 1 for i, line in enumerate(opens) if '"/dev/tty"' in line]
        self.assertEqual(len(ttys), 2, "expected the console input and output opens")
        os.unlink(s.path(BACKUP))
        s.place_target()
        process = subprocess.Popen(
            ["strace", "-qq", "-o", "/dev/null", "-e", "trace=openat",
             "-e", f"inject=openat:delay_enter=500000:when={ttys[1]}", RELEASE_BIN],
            cwd=s.dir, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, start_new_session=True)
        time.sleep(0.25)
        for pid in child_pids(process.pid):  # korvfix itself, not strace
            os.kill(pid, signal.SIGTERM)
        out, _ = process.communicate(timeout=30)
        self.assertEqual(out, b"")
        self.assertEqual(process.returncode, 6)
        self.assertEqual(self.assert_sound(s)[0], "original")
        self.assertFalse(os.path.exists(s.path(BACKUP)))

    @unittest.skipIf(UNDER_WINE, "Windows programs get no POSIX signals; Wine handles them itself")
    def test_signals_at_many_points_end_through_the_break_handler(self):
        """Each catchable signal, sent at random moments of runs without a
        terminal: the break handler's halt, a sound status, nothing lost."""
        s = self.scratch()
        s.place_target()
        typical = self.run_korvfix(s.dir).seconds
        reached = collections.Counter()
        runs = 0
        for sig in (signal.SIGHUP, signal.SIGTERM, signal.SIGINT, signal.SIGQUIT):
            for _ in range(30):
                s = self.scratch()
                s.place_target()
                process = subprocess.Popen(COMMAND, cwd=s.dir, stdin=subprocess.DEVNULL,
                                           stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                           start_new_session=True)
                # Most signals come once the banner is out, so that they land
                # in the copy, the writes and the wait; some come at once.
                first = b"" if random.random() < 0.15 else process.stdout.read(1)
                time.sleep(random.uniform(0, typical / 2))
                process.send_signal(sig)
                out, err = process.communicate(timeout=30)
                out = first + out
                runs += 1
                with self.subTest(signal=sig.name, output=out[-60:]):
                    state, _ = self.assert_sound(s)
                    self.assertEqual(err, b"", "something was reported on standard error")
                    status = process.returncode
                    if status == -sig:
                        # Before the handler is registered the signal ends us
                        # as it would any program; nothing has been done yet.
                        self.assertEqual(state, "original")
                        self.assertFalse(os.path.exists(s.path(BACKUP)))
                        reached["before the start-up"] += 1
                    elif status == 0:
                        self.assertEqual(state, "patched")
                        reached["after the patch"] += 1
                    else:
                        self.assertEqual(status, 6, "an interrupted run must say so")
                        self.assertNotIn(b"success", out)
                        reached["backup made" if os.path.exists(s.path(BACKUP))
                                else "before the backup"] += 1
        note(f"SIGHUP, SIGTERM, SIGINT and SIGQUIT at random moments of {runs} runs: " +
             "; ".join(f"{n} {k}" for k, n in sorted(reached.items())))

    @unittest.skipIf(UNDER_WINE, "Windows programs get no POSIX signals; Wine handles them itself")
    def test_signals_in_a_terminal_leave_it_as_it_was(self):
        pane = Pane()
        self.addCleanup(pane.close)
        command = " ".join(COMMAND)
        statuses = collections.Counter()
        for sig in (signal.SIGHUP, signal.SIGTERM, signal.SIGINT, signal.SIGQUIT):
            for during_wait in (False, False, True):
                s = self.scratch()
                s.place_target()
                pane.run(f"cd {s.dir} && stty -g > before; {command} 2> stderr; echo $? > status; "
                         "stty -g > after")
                deadline = time.monotonic() + 20
                while not child_pids(pane.shell_pid()) and time.monotonic() < deadline:
                    time.sleep(0.002)
                if during_wait:
                    pane.wait_for(lambda screen: "press any key" in screen, "the key prompt")
                else:
                    time.sleep(random.uniform(0, 0.03))
                for pid in child_pids(pane.shell_pid()):
                    os.kill(pid, sig)
                wait_for_file(s.path("after"))
                with self.subTest(signal=sig.name, during_wait=during_wait):
                    with open(s.path("before")) as f, open(s.path("after")) as g:
                        self.assertEqual(f.read(), g.read(), "terminal settings changed")
                    with open(s.path("stderr"), "rb") as f:
                        self.assertEqual(f.read(), b"")
                    with open(s.path("status")) as f:
                        status = int(f.read())
                    state, _ = self.assert_sound(s)
                    self.assertIn(status, (0, 6, 128 + sig))
                    if status == 0:
                        self.assertEqual(state, "patched")
                    statuses[status] += 1
        note("signals in a terminal, 12 runs: settings restored every time; statuses " +
             ", ".join(f"{k}: {n}" for k, n in sorted(statuses.items())))

    @unittest.skipUnless(not UNDER_WINE and os.path.exists(RELEASE_BIN), "needs the release build")
    def test_a_crash_still_restores_the_terminal(self):
        """A fatal signal during the wait (as a crash would raise) puts the
        terminal's settings back before the process dies of it."""
        pane = Pane()
        self.addCleanup(pane.close)
        for sig in (signal.SIGSEGV, signal.SIGABRT):
            s = self.scratch()
            s.place_target()
            pane.run(f"cd {s.dir} && stty -g > before; {RELEASE_BIN}; echo $? > status; "
                     "stty -g > after")
            pane.wait_for(lambda screen: "press any key" in screen, "the key prompt")
            for pid in child_pids(pane.shell_pid()):
                os.kill(pid, sig)
            wait_for_file(s.path("after"))
            with self.subTest(signal=sig.name):
                with open(s.path("before")) as f, open(s.path("after")) as g:
                    self.assertEqual(f.read(), g.read(), "terminal settings changed")
                with open(s.path("status")) as f:
                    self.assertEqual(int(f.read()), 128 + sig)
                self.assertEqual(self.assert_sound(s)[0], "patched")

    @unittest.skipUnless(IS_ROOT and not UNDER_WINE and shutil.which("chattr"),
                         "needs root and chattr")
    def test_target_that_cannot_be_opened_for_writing(self):
        s = self.scratch()
        s.place_target()
        if subprocess.run(["chattr", "+i", s.path(TARGET)], capture_output=True).returncode:
            self.skipTest("this file system has no immutable files")
        self.addCleanup(subprocess.run, ["chattr", "-i", s.path(TARGET)])
        result = self.run_korvfix(s.dir)
        self.assertEqual(result.stdout, START + BACKUP_MADE + OPEN_FAILED + END)
        self.assertEqual(result.returncode, 3)
        self.assertEqual(self.assert_sound(s)[0], "original")
        self.assertTrue(os.path.exists(s.path(BACKUP)), "the backup must stay")

    def test_odd_targets_and_backups_are_refused(self):
        def fifo(s):
            os.mkfifo(s.path(TARGET))

        def sock(s):
            server = socket.socket(socket.AF_UNIX)
            server.bind(s.path(TARGET))
            self.addCleanup(server.close)

        def device(s):
            os.mknod(s.path(TARGET), 0o600 | stat.S_IFCHR, os.makedev(1, 3))

        def backup_link(s):
            s.place_target()
            os.symlink("elsewhere", s.path(BACKUP))

        def backup_folder(s):
            s.place_target()
            os.mkdir(s.path(BACKUP))

        cases = [
            ("target is a folder", lambda s: os.mkdir(s.path(TARGET))),
            ("target is a dangling link", lambda s: os.symlink("gone", s.path(TARGET))),
            ("target is a link loop", lambda s: os.symlink(TARGET, s.path(TARGET))),
            ("backup is a folder", backup_folder),
        ]
        if not UNDER_WINE:
            # Windows has no such files, and Wine cannot see a dangling link.
            cases += [("backup is a dangling link", backup_link), ("target is a FIFO", fifo),
                      ("target is a socket", sock)]
            if IS_ROOT:
                cases.append(("target is a device", device))
        for name, prepare in cases:
            with self.subTest(name):
                s = self.scratch()
                prepare(s)
                before = snapshot(s.dir)
                result = self.run_korvfix(s.dir, timeout=30)
                self.assertEqual(result.stdout, START + NO_BACKUP + END)
                self.assertEqual(result.returncode, 2)
                self.assertEqual(snapshot(s.dir), before, "something changed on disk")
                self.assertLess(result.seconds, 20)
        note(f"odd targets and backups refused with nothing changed: {len(cases)} kinds")

    def test_many_runs_at_once_make_one_backup(self):
        s = self.scratch()
        s.place_target()
        runs = [subprocess.Popen(COMMAND, cwd=s.dir, stdin=subprocess.DEVNULL,
                                 stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                 start_new_session=True) for _ in range(8)]
        results = [(p.communicate(timeout=60)[0], p.returncode) for p in runs]
        statuses = sorted(status for _, status in results)
        self.assertEqual(statuses, [0] + [2] * 7)
        for out, status in results:
            self.assertEqual(out, START + (BACKUP_MADE + PATCHED if status == 0 else NO_BACKUP) + END)
        self.assertEqual(self.assert_sound(s)[0], "patched")
        note("8 runs started at once in one folder: one backup, one patch, 7 stopped at the backup")


if __name__ == "__main__":
    unittest.main()
