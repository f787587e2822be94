// The Windows operations on Windows: straight to kernel32, except the file
// copy, which keeps the promise that a backup is whole or absent.
#include "win/copy_file_win32.h"
#include "win/win_api.h"

namespace win {
namespace {

class Win32Api final : public Api {
 public:
  HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, LPVOID security, DWORD disposition,
                     DWORD flags, HANDLE templateFile) override {
    return ::CreateFileA(name, access, share, static_cast<LPSECURITY_ATTRIBUTES>(security),
                         disposition, flags, templateFile);
  }
  BOOL CloseHandle(HANDLE handle) override { return ::CloseHandle(handle); }
  HANDLE GetStdHandle(DWORD which) override { return ::GetStdHandle(which); }
  BOOL WriteFile(HANDLE handle, const void* data, DWORD size, DWORD* written,
                 LPVOID overlapped) override {
    return ::WriteFile(handle, data, size, written, static_cast<LPOVERLAPPED>(overlapped));
  }
  BOOL GetFileSizeEx(HANDLE handle, LARGE_INTEGER* size) override {
    return ::GetFileSizeEx(handle, size);
  }
  BOOL SetFilePointerEx(HANDLE handle, LARGE_INTEGER distance, LARGE_INTEGER* newPosition,
                        DWORD method) override {
    return ::SetFilePointerEx(handle, distance, newPosition, method);
  }
  BOOL FlushFileBuffers(HANDLE handle) override { return ::FlushFileBuffers(handle); }
  BOOL CopyFileA(LPCSTR existing, LPCSTR newName, BOOL failIfExists) override {
    return win32::CopyFileWholeOrNot(existing, newName, failIfExists);
  }
  DWORD GetLastError() override { return ::GetLastError(); }
  void SetLastError(DWORD code) override { ::SetLastError(code); }

  BOOL SetConsoleMode(HANDLE console, DWORD mode) override {
    return ::SetConsoleMode(console, mode);
  }
  BOOL SetConsoleCtrlHandler(PHANDLER_ROUTINE handler, BOOL add) override {
    return ::SetConsoleCtrlHandler(handler, add);
  }
  BOOL GetConsoleScreenBufferInfo(HANDLE console, CONSOLE_SCREEN_BUFFER_INFO* info) override {
    return ::GetConsoleScreenBufferInfo(console, info);
  }
  BOOL WriteConsoleOutputA(HANDLE console, const CHAR_INFO* cells, COORD size, COORD origin,
                           SMALL_RECT* region) override {
    return ::WriteConsoleOutputA(console, cells, size, origin, region);
  }
  BOOL ScrollConsoleScreenBufferA(HANDLE console, const SMALL_RECT* scroll, const SMALL_RECT* clip,
                                  COORD destination, const CHAR_INFO* fill) override {
    return ::ScrollConsoleScreenBufferA(console, scroll, clip, destination, fill);
  }
  BOOL SetConsoleCursorPosition(HANDLE console, COORD position) override {
    return ::SetConsoleCursorPosition(console, position);
  }
  BOOL ReadConsoleInputA(HANDLE console, INPUT_RECORD* records, DWORD count, DWORD* read) override {
    return ::ReadConsoleInputA(console, records, count, read);
  }
  BOOL Beep(DWORD frequency, DWORD duration) override { return ::Beep(frequency, duration); }
  [[noreturn]] void ExitProcess(UINT code) override {
    win32::RemoveUnfinishedCopy();
    ::ExitProcess(code);
  }
};

}  // namespace

Api& PlatformApi() {
  static Win32Api api;
  return api;
}

}  // namespace win
