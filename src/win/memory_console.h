// An in-memory stand-in for the Windows console, for tests: a screen buffer
// of cells with a cursor, a queue of input records, a log of beeps and of
// calls, the bytes written to the standard handles, and switches that make a
// call fail. Disk files and the file copy pass through to the platform,
// unless a switch fails them.
#pragma once

#include <deque>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "win/screen_buffer.h"
#include "win/win_api.h"

namespace win {

class MemoryConsole final : public Api {
 public:
  enum class Call {
    CreateFileA,  // disk files only; the console devices always open
    CloseHandle,
    WriteFile,  // disk files only
    GetFileSizeEx,
    SetFilePointerEx,
    FlushFileBuffers,
    CopyFileA,
    SetConsoleMode,
    GetConsoleScreenBufferInfo,
    WriteConsoleOutputA,
    ScrollConsoleScreenBufferA,
    SetConsoleCursorPosition,
    ReadConsoleInputA,
  };

  static inline const HANDLE InputHandle = reinterpret_cast<HANDLE>(0x1001);
  static inline const HANDLE OutputHandle = reinterpret_cast<HANDLE>(0x1002);
  static inline const HANDLE StdInput = reinterpret_cast<HANDLE>(0x2001);
  static inline const HANDLE StdOutput = reinterpret_cast<HANDLE>(0x2002);
  static inline const HANDLE StdError = reinterpret_cast<HANDLE>(0x2003);

  MemoryConsole(SHORT columns, SHORT rows, WORD attributes = 0x07);
  ~MemoryConsole() override;  // uninstalls itself if installed
  MemoryConsole(const MemoryConsole&) = delete;
  MemoryConsole& operator=(const MemoryConsole&) = delete;

  // Routes every Windows call to this console until it is destroyed.
  void Install();

  // Opens "CONIN$" or "CONOUT$" as the console unit does.
  HANDLE OpenInput();
  HANDLE OpenOutput();

  // Fails the call `skip` + 1 calls from now, once, with `error`.
  void FailCall(Call call, DWORD error = ERROR_GEN_FAILURE, int skip = 0);
  // Fails every call from now on.
  void FailEvery(Call call, DWORD error = ERROR_GEN_FAILURE);
  // The next disk write reports success but writes only `bytes`.
  void ShortenNextWrite(DWORD bytes);

  void QueueInput(const INPUT_RECORD& record);
  void QueueKey(WORD virtualKey, char ascii, DWORD controlState = 0);
  std::size_t PendingInput() const { return input_.size(); }

  // The screen.
  SHORT Columns() const { return screen_.Columns(); }
  SHORT Rows() const { return screen_.Rows(); }
  COORD Cursor() const { return cursor_; }
  void SetCursor(COORD position) { cursor_ = position; }
  const CHAR_INFO& Cell(int x, int y) const { return screen_.Cell(x, y); }
  std::string RowText(int y) const;  // the row's characters, trailing blanks removed

  // What happened.
  const std::vector<std::pair<DWORD, DWORD>>& Beeps() const { return beeps_; }
  const std::vector<std::string>& CallLog() const { return callLog_; }
  const std::string& StdOutText() const { return stdOut_; }
  const std::string& StdErrText() const { return stdErr_; }
  const std::vector<PHANDLER_ROUTINE>& CtrlHandlers() const { return ctrlHandlers_; }
  const std::map<HANDLE, DWORD>& ConsoleModes() const { return modes_; }
  int OpenConsoleHandles() const { return static_cast<int>(openConsoleHandles_.size()); }

  HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, LPVOID security, DWORD disposition,
                     DWORD flags, HANDLE templateFile) override;
  BOOL CloseHandle(HANDLE handle) override;
  HANDLE GetStdHandle(DWORD which) override;
  BOOL WriteFile(HANDLE handle, const void* data, DWORD size, DWORD* written,
                 LPVOID overlapped) override;
  BOOL GetFileSizeEx(HANDLE handle, LARGE_INTEGER* size) override;
  BOOL SetFilePointerEx(HANDLE handle, LARGE_INTEGER distance, LARGE_INTEGER* newPosition,
                        DWORD method) override;
  BOOL FlushFileBuffers(HANDLE handle) override;
  BOOL CopyFileA(LPCSTR existing, LPCSTR newName, BOOL failIfExists) override;
  DWORD GetLastError() override { return lastError_; }
  void SetLastError(DWORD code) override { lastError_ = code; }

  BOOL SetConsoleMode(HANDLE console, DWORD mode) override;
  BOOL SetConsoleCtrlHandler(PHANDLER_ROUTINE handler, BOOL add) override;
  BOOL GetConsoleScreenBufferInfo(HANDLE console, CONSOLE_SCREEN_BUFFER_INFO* info) override;
  BOOL WriteConsoleOutputA(HANDLE console, const CHAR_INFO* cells, COORD size, COORD origin,
                           SMALL_RECT* region) override;
  BOOL ScrollConsoleScreenBufferA(HANDLE console, const SMALL_RECT* scroll, const SMALL_RECT* clip,
                                  COORD destination, const CHAR_INFO* fill) override;
  BOOL SetConsoleCursorPosition(HANDLE console, COORD position) override;
  BOOL ReadConsoleInputA(HANDLE console, INPUT_RECORD* records, DWORD count, DWORD* read) override;
  BOOL Beep(DWORD frequency, DWORD duration) override;
  [[noreturn]] void ExitProcess(UINT code) override;

 private:
  struct Failure {
    int skip = 0;
    DWORD error = 0;
    bool every = false;
  };

  // True when the switch for `call` says this call fails; sets the error.
  bool Fails(Call call);
  BOOL Fail(DWORD error);
  BOOL FromPlatform(BOOL result);
  bool IsConsole(HANDLE handle) const { return openConsoleHandles_.count(handle) != 0; }

  ScreenBuffer screen_;
  COORD cursor_{0, 0};
  WORD attributes_;
  std::deque<INPUT_RECORD> input_;
  std::vector<std::pair<DWORD, DWORD>> beeps_;
  std::vector<std::string> callLog_;
  std::string stdOut_;
  std::string stdErr_;
  std::vector<PHANDLER_ROUTINE> ctrlHandlers_;
  std::map<HANDLE, DWORD> modes_;
  std::set<HANDLE> openConsoleHandles_;
  std::set<HANDLE> diskHandles_;
  std::map<Call, Failure> failures_;
  DWORD shortWrite_ = 0;
  bool shortenNextWrite_ = false;
  DWORD lastError_ = ERROR_SUCCESS;
  bool installed_ = false;
};

}  // namespace win
