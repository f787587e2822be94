// The Windows operations the program calls, under their Windows names.
//
// Every call goes through the installed Api: by default the platform's own
// (kernel32 on Windows, our terminal and file layer elsewhere), or a
// stand-in such as the in-memory console that tests install.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include "win/win_types_posix.h"
#endif

namespace win {

struct Api {
  virtual ~Api() = default;

  virtual HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, LPVOID security,
                             DWORD disposition, DWORD flags, HANDLE templateFile) = 0;
  virtual BOOL CloseHandle(HANDLE handle) = 0;
  virtual HANDLE GetStdHandle(DWORD which) = 0;
  virtual BOOL WriteFile(HANDLE handle, const void* data, DWORD size, DWORD* written,
                         LPVOID overlapped) = 0;
  virtual BOOL GetFileSizeEx(HANDLE handle, LARGE_INTEGER* size) = 0;
  virtual BOOL SetFilePointerEx(HANDLE handle, LARGE_INTEGER distance, LARGE_INTEGER* newPosition,
                                DWORD method) = 0;
  virtual BOOL FlushFileBuffers(HANDLE handle) = 0;
  virtual BOOL CopyFileA(LPCSTR existing, LPCSTR newName, BOOL failIfExists) = 0;
  virtual DWORD GetLastError() = 0;
  virtual void SetLastError(DWORD code) = 0;

  virtual BOOL SetConsoleMode(HANDLE console, DWORD mode) = 0;
  virtual BOOL SetConsoleCtrlHandler(PHANDLER_ROUTINE handler, BOOL add) = 0;
  virtual BOOL GetConsoleScreenBufferInfo(HANDLE console, CONSOLE_SCREEN_BUFFER_INFO* info) = 0;
  virtual BOOL WriteConsoleOutputA(HANDLE console, const CHAR_INFO* cells, COORD size, COORD origin,
                                   SMALL_RECT* region) = 0;
  virtual BOOL ScrollConsoleScreenBufferA(HANDLE console, const SMALL_RECT* scroll,
                                          const SMALL_RECT* clip, COORD destination,
                                          const CHAR_INFO* fill) = 0;
  virtual BOOL SetConsoleCursorPosition(HANDLE console, COORD position) = 0;
  virtual BOOL ReadConsoleInputA(HANDLE console, INPUT_RECORD* records, DWORD count,
                                 DWORD* read) = 0;
  virtual BOOL Beep(DWORD frequency, DWORD duration) = 0;
  [[noreturn]] virtual void ExitProcess(UINT code) = 0;
};

// The platform's own implementation; each platform file defines it.
Api& PlatformApi();

// Routes every call below to `api`; nullptr goes back to the platform's.
void InstallApi(Api* api);

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, LPVOID security, DWORD disposition,
                   DWORD flags, HANDLE templateFile);
BOOL CloseHandle(HANDLE handle);
HANDLE GetStdHandle(DWORD which);
BOOL WriteFile(HANDLE handle, const void* data, DWORD size, DWORD* written, LPVOID overlapped);
BOOL GetFileSizeEx(HANDLE handle, LARGE_INTEGER* size);
BOOL SetFilePointerEx(HANDLE handle, LARGE_INTEGER distance, LARGE_INTEGER* newPosition,
                      DWORD method);
BOOL FlushFileBuffers(HANDLE handle);
BOOL CopyFileA(LPCSTR existing, LPCSTR newName, BOOL failIfExists);
DWORD GetLastError();
void SetLastError(DWORD code);

BOOL SetConsoleMode(HANDLE console, DWORD mode);
BOOL SetConsoleCtrlHandler(PHANDLER_ROUTINE handler, BOOL add);
BOOL GetConsoleScreenBufferInfo(HANDLE console, CONSOLE_SCREEN_BUFFER_INFO* info);
BOOL WriteConsoleOutputA(HANDLE console, const CHAR_INFO* cells, COORD size, COORD origin,
                         SMALL_RECT* region);
BOOL ScrollConsoleScreenBufferA(HANDLE console, const SMALL_RECT* scroll, const SMALL_RECT* clip,
                                COORD destination, const CHAR_INFO* fill);
BOOL SetConsoleCursorPosition(HANDLE console, COORD position);
BOOL ReadConsoleInputA(HANDLE console, INPUT_RECORD* records, DWORD count, DWORD* read);
BOOL Beep(DWORD frequency, DWORD duration);
[[noreturn]] void ExitProcess(UINT code);

}  // namespace win
