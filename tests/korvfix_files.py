"""What the end-to-end tests share: the program to run, the target, what
patching does to it, and the messages as the user reads them."""

import os

BIN = os.path.abspath(os.environ.get("KORVFIX_BIN", "build/native/korvfix"))
# Set to scripts/wine to run the Windows build.
WRAPPER = os.environ.get("KORVFIX_WRAPPER", "")
COMMAND = ([WRAPPER] if WRAPPER else []) + [BIN]
UNDER_WINE = bool(WRAPPER)

SIZE = 831488
TARGET = "korvane.exe"
BACKUP = "korvane.exe.old"

BANNER = b"\xfe Zorwick's Korvane 1.03s for Grendhall 1.11l + NT patch/1.11m+ Executable Fixer!\n\r"
READ_DOCS = b"  PLEASE READ THE DOCUMENTATION IF YOU HAVE ANY PROBLEMS!\n\r"
BACKUP_MADE = b"* Created backup of korvane.exe to korvane.exe.old.\n\r"
PATCHED = b"  Patching korvane.exe...success!\n\r"
OPEN_FAILED = (b"\r\nThere was an error opening korvane.exe, please be sure Korvane is closed and "
               b"no other tasks are modifying or opening the file!\n\r")
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


def with_entries(data, entries):
    data = bytearray(data)
    if entries >= 1:
        data[252715] = 0x0D
    if entries >= 2:
        data[776338:776346] = b"rance: \x00"
    return bytes(data)


def patched(data):
    return with_entries(data, 2)
