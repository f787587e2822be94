// The Windows console on a real terminal: "CONIN$" and "CONOUT$" are the
// controlling terminal, whatever the standard handles point at.
#pragma once

#include "win/win_api.h"

namespace win::posix::terminal {

bool IsConsoleHandle(HANDLE handle);

// Opens "CONIN$" or "CONOUT$". Without a controlling terminal this fails.
HANDLE Open(LPCSTR name);
BOOL Close(HANDLE handle);

BOOL SetMode(HANDLE handle, DWORD mode);
BOOL GetInfo(HANDLE handle, CONSOLE_SCREEN_BUFFER_INFO* info);
BOOL WriteOutput(HANDLE handle, const CHAR_INFO* cells, COORD size, COORD origin,
                 SMALL_RECT* region);
BOOL Scroll(HANDLE handle, const SMALL_RECT* scroll, const SMALL_RECT* clip, COORD destination,
            const CHAR_INFO* fill);
BOOL SetCursor(HANDLE handle, COORD position);
BOOL ReadInput(HANDLE handle, INPUT_RECORD* records, DWORD count, DWORD* read);
BOOL Bell();

// Writes out what is painted but not yet sent: called before anything that
// may take time or wait, so the screen is never behind the program.
void ShowPending();

// The terminal was resized: the screen follows, and the reader gets a
// buffer-size event.
void Resized();

// Puts the terminal back as it was found: its settings, its colours, and
// the cursor at the start of the row after our last text.
void RestoreForExit();
// The same, with only what a signal handler may call.
void RestoreFromSignal();

}  // namespace win::posix::terminal

namespace win::posix::signals {

// Delivers SIGINT, SIGQUIT, SIGHUP and SIGTERM as console control events on
// threads of their own, and restores the terminal before a fatal signal
// ends the process. Call from the main thread before any other starts.
void Start();

BOOL SetCtrlHandler(PHANDLER_ROUTINE handler, BOOL add);

}  // namespace win::posix::signals
