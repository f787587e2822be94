"""korvfix in a real terminal: colours row by row, the key wait, and the
terminal left exactly as it was found."""

import os
import signal
import tempfile
import time
import unittest

from terminal import Pane, child_pids, row_text, wait_for_file

from korvfix_files import COMMAND, SIZE, UNDER_WINE

PROMPT = "<press any key to exit>"

# SGR numbers of the Windows colours the messages use.
DARK_GREY, CYAN, LIGHT_GREEN, LIGHT_CYAN, WHITE, RED = 90, 36, 92, 96, 97, 31
BLACK_BG = 40


class TerminalRunTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory(prefix="korvfix-tty-")
        self.dir = self.folder.name
        self.pane = Pane()
        self.addCleanup(self.pane.close)
        self.addCleanup(self.folder.cleanup)

    def path(self, name):
        return os.path.join(self.dir, name)

    def place_target(self, size=SIZE):
        with open(self.path("korvane.exe"), "wb") as f:
            f.write(bytes(i % 251 for i in range(size)))

    def start(self):
        """Runs korvfix in the pane, noting the terminal settings before and
        after and the exit status, and waits for the key prompt."""
        self.pane.run(
            f"cd {self.dir} && stty -g > before && {' '.join(COMMAND)}; echo $? > status; "
            "stty -g > after")
        self.pane.wait_for(lambda s: PROMPT in s, "the key prompt")
        self.korvfix_pid = child_pids(self.pane.shell_pid())[0]

    def finish(self):
        wait_for_file(self.path("after"))
        with open(self.path("status")) as f:
            status = int(f.read())
        with open(self.path("before")) as f, open(self.path("after")) as g:
            self.assertEqual(f.read(), g.read(), "terminal settings changed")
        return status

    def still_waiting(self):
        time.sleep(0.5)
        return not os.path.exists(self.path("status"))

    def find_row(self, rows, text):
        for cells in rows:
            if row_text(cells) == text:
                return cells
        self.fail(f"no row {text!r} on the screen:\n{self.pane.screen()}")

    def colours(self, cells, start, length):
        # Wine's console leaves a black background to the terminal's default.
        return {(c.fg, BLACK_BG if UNDER_WINE and c.bg is None else c.bg)
                for c in cells[start:start + length]}

    def test_success_row_by_row_then_a_letter_ends_the_wait(self):
        self.place_target()
        self.start()
        rows = self.pane.rows()
        texts = [row_text(r) for r in rows]
        first = texts.index(
            "■ Zorwick's Korvane 1.03s for Grendhall 1.11l + NT patch/1.11m+ Executable Fixer!")
        self.assertEqual(texts[first:first + 8], [
            "■ Zorwick's Korvane 1.03s for Grendhall 1.11l + NT patch/1.11m+ Executable Fixer!",
            "",
            "  PLEASE READ THE DOCUMENTATION IF YOU HAVE ANY PROBLEMS!",
            "",
            "* Created backup of korvane.exe to korvane.exe.old.",
            "  Patching korvane.exe...success!",
            "",
            PROMPT,
        ])
        banner = rows[first]
        self.assertEqual(self.colours(banner, 0, 1), {(DARK_GREY, BLACK_BG)})
        self.assertEqual(self.colours(banner, 2, 17), {(CYAN, BLACK_BG)})
        self.assertEqual(self.colours(banner, 20, 5), {(LIGHT_CYAN, BLACK_BG)})
        self.assertEqual(self.colours(rows[first + 2], 2, 10), {(WHITE, BLACK_BG)})
        patching = rows[first + 5]
        self.assertEqual(self.colours(patching, 2, 8), {(CYAN, BLACK_BG)})
        self.assertEqual(self.colours(patching, 11, 11), {(LIGHT_CYAN, BLACK_BG)})
        self.assertEqual(self.colours(patching, 25, 7), {(LIGHT_GREEN, BLACK_BG)})
        self.assertEqual(self.colours(patching, 32, 1), {(DARK_GREY, BLACK_BG)})

        # Input the key reader skips: a focus report, a paste marker, an
        # unknown sequence and a character no key of the map types.
        ignored = ["\x1b[I", "\x1b[200~", "\x1b[99~", "é"]
        if UNDER_WINE:
            # Wine splits keys by read, so they go one at a time, and it takes
            # a focus report for a key.
            for keys in ignored[1:]:
                self.pane.send(keys, literal=True)
                time.sleep(0.2)
        else:
            self.pane.send("".join(ignored), literal=True)
        self.assertTrue(self.still_waiting(), "ended on input it should ignore")
        # A resize is a buffer-size event, which the key reader skips too.
        self.pane.tmux("resize-window", "-t", "t", "-x", "90", "-y", "25")
        self.assertTrue(self.still_waiting(), "ended on a window resize")
        self.pane.send("q", literal=True)
        self.assertEqual(self.finish(), 0)
        screen = self.pane.lines()
        prompt_row = screen.index(PROMPT)
        self.assertTrue(screen[prompt_row + 1].startswith("$"), "prompt not on the next row")

    def test_backup_present_is_reported_in_colour(self):
        self.place_target()
        with open(self.path("korvane.exe.old"), "wb") as f:
            f.write(b"older")
        self.start()
        rows = self.pane.rows()
        failed = self.find_row(
            rows, "Could not create backup of korvane.exe to korvane.exe.old, aborting!")
        self.assertEqual(self.colours(failed, 0, 26), {(CYAN, BLACK_BG)})
        self.find_row(
            rows, "(Backup file may already exist, rename, move or delete and try again!)")
        self.pane.send("Enter")
        self.assertEqual(self.finish(), 2)
        with open(self.path("korvane.exe.old"), "rb") as f:
            self.assertEqual(f.read(), b"older")

    @unittest.skipIf(UNDER_WINE, "Wine's console misplaces rows when it scrolls in a terminal; "
                     "the in-memory console tests the scroll Windows does")
    def test_output_at_the_bottom_scrolls_the_top_rows_into_history(self):
        self.place_target(SIZE - 1)
        self.pane.run("clear; for i in $(seq 1 40); do echo line$i; done")
        self.pane.wait_for(lambda s: "line40" in s, "the filler lines")
        self.start()
        screen = self.pane.lines()
        self.assertEqual(len(screen), self.pane.height)
        self.assertEqual(screen[-1], "", "cursor row after the prompt")
        self.assertEqual(screen[-2], PROMPT)
        self.assertEqual(screen[-4], "re-installing and trying this patch again!)")
        history = self.pane.history()
        self.assertIn("line1\n", history, "scrolled rows lost instead of kept in the history")
        self.pane.send("x", literal=True)
        self.assertEqual(self.finish(), 4)

    @unittest.skipIf(UNDER_WINE, "Wine ends the process on SIGHUP without a control event")
    def test_hangup_during_the_wait_restores_the_terminal(self):
        self.place_target()
        self.start()
        os.kill(self.korvfix_pid, signal.SIGHUP)
        self.assertEqual(self.finish(), 0, "the patch was complete before the hangup")
        with open(self.path("korvane.exe"), "rb") as f:
            self.assertEqual(f.read()[252715], 0x0D)

    def test_ctrl_c_ends_the_wait_with_the_outcome(self):
        # A key here; under Wine a control event, whose halt keeps the status.
        self.place_target(SIZE + 1)
        self.start()
        self.pane.send("C-c")
        self.assertEqual(self.finish(), 4)
        with open(self.path("korvane.exe"), "rb") as f:
            self.assertEqual(len(f.read()), SIZE + 1)


if __name__ == "__main__":
    unittest.main()
