#include "win/win_api.h"

#include <cstdlib>

namespace win {
namespace {

Api* installed = nullptr;

Api& Current() {
  return installed != nullptr ? *installed : PlatformApi();
}

}  // namespace

void InstallApi(Api* api) {
  installed = api;
}

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, LPVOID security, DWORD disposition,
                   DWORD flags, HANDLE templateFile) {
  return Current().CreateFileA(name, access, share, security, disposition, flags, templateFile);
}
BOOL CloseHandle(HANDLE handle) {
  return Current().CloseHandle(handle);
}
HANDLE GetStdHandle(DWORD which) {
  return Current().GetStdHandle(which);
}
BOOL WriteFile(HANDLE handle, const void* data, DWORD size, DWORD* written, LPVOID overlapped) {
  return Current().WriteFile(handle, data, size, written, overlapped);
}
BOOL GetFileSizeEx(HANDLE handle, LARGE_INTEGER* size) {
  return Current().GetFileSizeEx(handle, size);
}
BOOL SetFilePointerEx(HANDLE handle, LARGE_INTEGER distance, LARGE_INTEGER* newPosition,
                      DWORD method) {
  return Current().SetFilePointerEx(handle, distance, newPosition, method);
}
BOOL FlushFileBuffers(HANDLE handle) {
  return Current().FlushFileBuffers(handle);
}
BOOL CopyFileA(LPCSTR existing, LPCSTR newName, BOOL failIfExists) {
  return Current().CopyFileA(existing, newName, failIfExists);
}
DWORD GetLastError() {
  return Current().GetLastError();
}
void SetLastError(DWORD code) {
  Current().SetLastError(code);
}

BOOL SetConsoleMode(HANDLE console, DWORD mode) {
  return Current().SetConsoleMode(console, mode);
}
BOOL SetConsoleCtrlHandler(PHANDLER_ROUTINE handler, BOOL add) {
  return Current().SetConsoleCtrlHandler(handler, add);
}
BOOL GetConsoleScreenBufferInfo(HANDLE console, CONSOLE_SCREEN_BUFFER_INFO* info) {
  return Current().GetConsoleScreenBufferInfo(console, info);
}
BOOL WriteConsoleOutputA(HANDLE console, const CHAR_INFO* cells, COORD size, COORD origin,
                         SMALL_RECT* region) {
  return Current().WriteConsoleOutputA(console, cells, size, origin, region);
}
BOOL ScrollConsoleScreenBufferA(HANDLE console, const SMALL_RECT* scroll, const SMALL_RECT* clip,
                                COORD destination, const CHAR_INFO* fill) {
  return Current().ScrollConsoleScreenBufferA(console, scroll, clip, destination, fill);
}
BOOL SetConsoleCursorPosition(HANDLE console, COORD position) {
  return Current().SetConsoleCursorPosition(console, position);
}
BOOL ReadConsoleInputA(HANDLE console, INPUT_RECORD* records, DWORD count, DWORD* read) {
  return Current().ReadConsoleInputA(console, records, count, read);
}
BOOL Beep(DWORD frequency, DWORD duration) {
  return Current().Beep(frequency, duration);
}
void ExitProcess(UINT code) {
  Current().ExitProcess(code);
  std::abort();  // an Api whose ExitProcess returned broke its promise
}

}  // namespace win
