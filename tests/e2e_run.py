"""End-to-end runs of the built korvfix in scratch folders, without a terminal."""

import os
import subprocess
import tempfile
import unittest

from korvfix_files import (BACKUP_MADE, COMMAND, END, NO_BACKUP, PATCHED, SIZE, START,
                           WRONG_SIZE, original, patched)


class RunTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory(prefix="korvfix-e2e-")
        self.dir = self.folder.name

    def tearDown(self):
        self.folder.cleanup()

    def path(self, name):
        return os.path.join(self.dir, name)

    def write(self, name, data):
        with open(self.path(name), "wb") as f:
            f.write(data)

    def read(self, name):
        with open(self.path(name), "rb") as f:
            return f.read()

    def run_korvfix(self):
        # No terminal and no standard input, as under CI or cron.
        return subprocess.run(COMMAND, cwd=self.dir, stdin=subprocess.DEVNULL,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60,
                              start_new_session=True)

    def test_success_then_second_run_stops_at_backup(self):
        self.write("korvane.exe", original())
        first = self.run_korvfix()
        self.assertEqual(first.stdout, START + BACKUP_MADE + PATCHED + END)
        self.assertEqual(first.stderr, b"")
        self.assertEqual(first.returncode, 0)
        self.assertEqual(self.read("korvane.exe"), patched(original()))
        self.assertEqual(self.read("korvane.exe.old"), original())

        second = self.run_korvfix()
        self.assertEqual(second.stdout, START + NO_BACKUP + END)
        self.assertEqual(second.returncode, 2)
        self.assertEqual(self.read("korvane.exe"), patched(original()))
        self.assertEqual(self.read("korvane.exe.old"), original())

    def test_failures_change_nothing_and_say_why(self):
        cases = [
            # name, prepare, expected output, exit status
            ("no target", lambda: None, START + NO_BACKUP + END, 2),
            ("backup present", lambda: (self.write("korvane.exe", original()),
                                        self.write("korvane.exe.old", b"older")),
             START + NO_BACKUP + END, 2),
            ("one byte short", lambda: self.write("korvane.exe", original(SIZE - 1)),
             START + BACKUP_MADE + WRONG_SIZE + END, 4),
            ("target is a folder", lambda: os.mkdir(self.path("korvane.exe")),
             START + NO_BACKUP + END, 2),
            ("target is a dangling link", lambda: os.symlink("gone", self.path("korvane.exe")),
             START + NO_BACKUP + END, 2),
        ]
        for name, prepare, output, status in cases:
            with self.subTest(name):
                self.tearDown()
                self.setUp()
                prepare()
                before = sorted(os.listdir(self.dir))
                contents = {n: self.read(n) for n in before if os.path.isfile(self.path(n))}
                result = self.run_korvfix()
                self.assertEqual(result.stdout, output)
                self.assertEqual(result.returncode, status)
                after = sorted(os.listdir(self.dir))
                if status == 4:
                    self.assertEqual(after, before + ["korvane.exe.old"])
                    self.assertEqual(self.read("korvane.exe.old"), contents["korvane.exe"])
                else:
                    self.assertEqual(after, before)
                for n, data in contents.items():
                    self.assertEqual(self.read(n), data, n)


if __name__ == "__main__":
    unittest.main()
