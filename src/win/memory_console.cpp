#include "win/memory_console.h"

#include "win/key_decoder.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace win {

MemoryConsole::MemoryConsole(SHORT columns, SHORT rows, WORD attributes)
    : screen_(columns, rows, attributes), attributes_(attributes) {}

MemoryConsole::~MemoryConsole() {
  if (installed_) InstallApi(nullptr);
}

void MemoryConsole::Install() {
  InstallApi(this);
  installed_ = true;
}

HANDLE MemoryConsole::OpenInput() {
  return CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                     nullptr, OPEN_EXISTING, 0, nullptr);
}

HANDLE MemoryConsole::OpenOutput() {
  return CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                     nullptr, OPEN_EXISTING, 0, nullptr);
}

void MemoryConsole::FailCall(Call call, DWORD error, int skip) {
  failures_[call] = Failure{skip, error, false};
}

void MemoryConsole::FailEvery(Call call, DWORD error) {
  failures_[call] = Failure{0, error, true};
}

void MemoryConsole::ShortenNextWrite(DWORD bytes) {
  shortWrite_ = bytes;
  shortenNextWrite_ = true;
}

void MemoryConsole::QueueInput(const INPUT_RECORD& record) {
  input_.push_back(record);
}

void MemoryConsole::QueueKey(WORD virtualKey, char ascii, DWORD controlState) {
  input_.push_back(KeyDownRecord(virtualKey, ascii, controlState));
}

std::string MemoryConsole::RowText(int y) const {
  std::string text;
  for (int x = 0; x < Columns(); ++x) text += Cell(x, y).Char.AsciiChar;
  text.erase(text.find_last_not_of(' ') + 1);
  return text;
}

bool MemoryConsole::Fails(Call call) {
  const auto found = failures_.find(call);
  if (found == failures_.end()) return false;
  Failure& failure = found->second;
  if (!failure.every && failure.skip-- > 0) return false;
  lastError_ = failure.error;
  if (!failure.every) failures_.erase(found);
  return true;
}

BOOL MemoryConsole::Fail(DWORD error) {
  lastError_ = error;
  return FALSE;
}

BOOL MemoryConsole::FromPlatform(BOOL result) {
  if (!result) lastError_ = PlatformApi().GetLastError();
  return result;
}

HANDLE MemoryConsole::CreateFileA(LPCSTR name, DWORD access, DWORD share, LPVOID security,
                                  DWORD disposition, DWORD flags, HANDLE templateFile) {
  callLog_.push_back(std::string("CreateFileA ") + name);
  if (std::strcmp(name, "CONIN$") == 0 || std::strcmp(name, "CONOUT$") == 0) {
    const HANDLE handle = name[3] == 'I' ? InputHandle : OutputHandle;
    openConsoleHandles_.insert(handle);
    return handle;
  }
  if (Fails(Call::CreateFileA)) return INVALID_HANDLE_VALUE;
  const HANDLE handle =
      PlatformApi().CreateFileA(name, access, share, security, disposition, flags, templateFile);
  if (handle == INVALID_HANDLE_VALUE) {
    lastError_ = PlatformApi().GetLastError();
  } else {
    diskHandles_.insert(handle);
  }
  return handle;
}

BOOL MemoryConsole::CloseHandle(HANDLE handle) {
  callLog_.push_back("CloseHandle");
  if (Fails(Call::CloseHandle)) return FALSE;
  if (openConsoleHandles_.erase(handle) != 0) return TRUE;
  if (diskHandles_.erase(handle) != 0) return FromPlatform(PlatformApi().CloseHandle(handle));
  return Fail(ERROR_INVALID_HANDLE);
}

HANDLE MemoryConsole::GetStdHandle(DWORD which) {
  if (which == STD_INPUT_HANDLE) return StdInput;
  if (which == STD_OUTPUT_HANDLE) return StdOutput;
  if (which == STD_ERROR_HANDLE) return StdError;
  Fail(ERROR_INVALID_PARAMETER);
  return INVALID_HANDLE_VALUE;
}

BOOL MemoryConsole::WriteFile(HANDLE handle, const void* data, DWORD size, DWORD* written,
                              LPVOID overlapped) {
  if (written != nullptr) *written = 0;
  if (handle == StdOutput || handle == StdError) {
    (handle == StdOutput ? stdOut_ : stdErr_).append(static_cast<const char*>(data), size);
    if (written != nullptr) *written = size;
    return TRUE;
  }
  callLog_.push_back("WriteFile");
  if (diskHandles_.count(handle) == 0) return Fail(ERROR_INVALID_HANDLE);
  if (Fails(Call::WriteFile)) return FALSE;
  if (shortenNextWrite_) {
    shortenNextWrite_ = false;
    size = std::min(size, shortWrite_);
  }
  return FromPlatform(PlatformApi().WriteFile(handle, data, size, written, overlapped));
}

BOOL MemoryConsole::GetFileSizeEx(HANDLE handle, LARGE_INTEGER* size) {
  callLog_.push_back("GetFileSizeEx");
  if (Fails(Call::GetFileSizeEx)) return FALSE;
  return FromPlatform(PlatformApi().GetFileSizeEx(handle, size));
}

BOOL MemoryConsole::SetFilePointerEx(HANDLE handle, LARGE_INTEGER distance,
                                     LARGE_INTEGER* newPosition, DWORD method) {
  callLog_.push_back("SetFilePointerEx");
  if (Fails(Call::SetFilePointerEx)) return FALSE;
  return FromPlatform(PlatformApi().SetFilePointerEx(handle, distance, newPosition, method));
}

BOOL MemoryConsole::FlushFileBuffers(HANDLE handle) {
  callLog_.push_back("FlushFileBuffers");
  if (Fails(Call::FlushFileBuffers)) return FALSE;
  return FromPlatform(PlatformApi().FlushFileBuffers(handle));
}

BOOL MemoryConsole::CopyFileA(LPCSTR existing, LPCSTR newName, BOOL failIfExists) {
  callLog_.push_back("CopyFileA");
  if (Fails(Call::CopyFileA)) return FALSE;
  return FromPlatform(PlatformApi().CopyFileA(existing, newName, failIfExists));
}

BOOL MemoryConsole::SetConsoleMode(HANDLE console, DWORD mode) {
  callLog_.push_back("SetConsoleMode");
  if (!IsConsole(console)) return Fail(ERROR_INVALID_HANDLE);
  if (Fails(Call::SetConsoleMode)) return FALSE;
  modes_[console] = mode;
  return TRUE;
}

BOOL MemoryConsole::SetConsoleCtrlHandler(PHANDLER_ROUTINE handler, BOOL add) {
  callLog_.push_back("SetConsoleCtrlHandler");
  if (add) {
    ctrlHandlers_.push_back(handler);
  } else {
    std::erase(ctrlHandlers_, handler);
  }
  return TRUE;
}

BOOL MemoryConsole::GetConsoleScreenBufferInfo(HANDLE console, CONSOLE_SCREEN_BUFFER_INFO* info) {
  callLog_.push_back("GetConsoleScreenBufferInfo");
  if (console != OutputHandle || !IsConsole(console)) return Fail(ERROR_INVALID_HANDLE);
  if (Fails(Call::GetConsoleScreenBufferInfo)) return FALSE;
  *info = screen_.Info(cursor_, attributes_);
  return TRUE;
}

BOOL MemoryConsole::WriteConsoleOutputA(HANDLE console, const CHAR_INFO* cells, COORD size,
                                        COORD origin, SMALL_RECT* region) {
  callLog_.push_back("WriteConsoleOutputA " + std::to_string(size.X * size.Y));
  if (console != OutputHandle || !IsConsole(console)) return Fail(ERROR_INVALID_HANDLE);
  if (Fails(Call::WriteConsoleOutputA)) return FALSE;
  screen_.Write(cells, size, origin, region);
  return TRUE;
}

BOOL MemoryConsole::ScrollConsoleScreenBufferA(HANDLE console, const SMALL_RECT* scroll,
                                               const SMALL_RECT* clip, COORD destination,
                                               const CHAR_INFO* fill) {
  callLog_.push_back("ScrollConsoleScreenBufferA");
  if (console != OutputHandle || !IsConsole(console)) return Fail(ERROR_INVALID_HANDLE);
  if (Fails(Call::ScrollConsoleScreenBufferA)) return FALSE;
  screen_.Scroll(*scroll, clip != nullptr ? *clip : *scroll, destination, *fill);
  return TRUE;
}

BOOL MemoryConsole::SetConsoleCursorPosition(HANDLE console, COORD position) {
  callLog_.push_back("SetConsoleCursorPosition");
  if (console != OutputHandle || !IsConsole(console)) return Fail(ERROR_INVALID_HANDLE);
  if (Fails(Call::SetConsoleCursorPosition)) return FALSE;
  if (!screen_.Contains(position.X, position.Y)) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  cursor_ = position;
  return TRUE;
}

BOOL MemoryConsole::ReadConsoleInputA(HANDLE console, INPUT_RECORD* records, DWORD count,
                                      DWORD* read) {
  callLog_.push_back("ReadConsoleInputA");
  if (read != nullptr) *read = 0;
  if (console != InputHandle || !IsConsole(console)) return Fail(ERROR_INVALID_HANDLE);
  if (Fails(Call::ReadConsoleInputA)) return FALSE;
  // A real read would block; an empty queue fails instead so a test cannot hang.
  if (count == 0 || input_.empty()) return Fail(ERROR_BROKEN_PIPE);
  records[0] = input_.front();
  input_.pop_front();
  if (read != nullptr) *read = 1;
  return TRUE;
}

BOOL MemoryConsole::Beep(DWORD frequency, DWORD duration) {
  callLog_.push_back("Beep");
  beeps_.emplace_back(frequency, duration);
  return TRUE;
}

void MemoryConsole::ExitProcess(UINT code) {
  std::_Exit(static_cast<int>(code));
}

}  // namespace win
