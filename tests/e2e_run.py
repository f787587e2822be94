"""End-to-end runs of the built korvfix in scratch folders, without a terminal."""

import os
import subprocess
import tempfile
import unittest

BIN = os.path.abspath(os.environ.get("KORVFIX_BIN", "build/native/korvfix"))
# Set to scripts/wine to run the Windows build.
WRAPPER = os.environ.get("KORVFIX_WRAPPER", "")
COMMAND = ([WRAPPER] if WRAPPER else []) + [BIN]
SIZE = 831488

BANNER = b"\xfe Zorwick's Korvane 1.03s for Grendhall 1.11l + NT patch/1.11m+ Executable Fixer!\n\r"
READ_DOCS = b"  PLEASE READ THE DOCUMENTATION IF YOU HAVE ANY PROBLEMS!\n\r"
BACKUP_MADE = b"* Created backup of korvane.exe to korvane.exe.old.\n\r"
PATCHED = b"  Patching korvane.exe...success!\n\r"
NO_BACKUP = (b"Could not create backup of korvane.exe to korvane.exe.old, aborting!\n\r"
             b"(Backup file may already exist, rename, move or delete and try again!)\n\r")
WRONG_SIZE = (b"File size of korvane.exe does not match the size this patch was intended for,\r\n"
              b"aborting!\n\r\r\n"
              b"(Ensure that you are running Korvane 1.03s, and if so, you may consider\r\n"
              b"re-installing and trying this patch again!)\n\r")
START = BANNER + b"\r\n" + READ_DOCS + b"\r\n"
END = b"\r\n<press any key to exit>\n\r"


def original(size=SIZE):
    return bytes((i * 7) % 251 for i in range(size))


def patched(data):
    data = bytearray(data)
    data[252715] = 0x0D
    data[776338:776346] = b"rance: \x00"
    return bytes(data)


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
