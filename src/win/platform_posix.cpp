// The Windows operations on Linux and macOS: files on file descriptors, the
// console on the controlling terminal.
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "win/posix_support.h"
#include "win/terminal_posix.h"
#include "win/win_api.h"

namespace win::posix {

namespace {
thread_local DWORD lastError = ERROR_SUCCESS;
}

HANDLE HandleFromFd(int fd) {
  return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(fd) + 1);
}

int FdFromHandle(HANDLE handle) {
  const std::intptr_t value = reinterpret_cast<std::intptr_t>(handle) - 1;
  return value < 0 || value > INT32_MAX ? -1 : static_cast<int>(value);
}

DWORD ErrorFromErrno(int error) {
  switch (error) {
    case 0:
      return ERROR_SUCCESS;
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case EMFILE:
    case ENFILE:
      return ERROR_TOO_MANY_OPEN_FILES;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
      return ERROR_ACCESS_DENIED;
    case EBADF:
      return ERROR_INVALID_HANDLE;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case EBUSY:
    case ETXTBSY:
      return ERROR_SHARING_VIOLATION;
    case EEXIST:
      return ERROR_FILE_EXISTS;
    case EINVAL:
      return ERROR_INVALID_PARAMETER;
    case EPIPE:
      return ERROR_BROKEN_PIPE;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return ERROR_DISK_FULL;
    case ENAMETOOLONG:
      return ERROR_FILENAME_EXCED_RANGE;
    case ELOOP:
      return ERROR_CANT_RESOLVE_FILENAME;
    case EIO:
      return ERROR_IO_DEVICE;
    default:
      // Bit 29 marks a code as the application's own: the errno survives.
      return 0x20000000u | static_cast<DWORD>(error);
  }
}

BOOL FailWithErrno(int error) {
  lastError = ErrorFromErrno(error);
  return FALSE;
}

BOOL FailWith(DWORD code) {
  lastError = code;
  return FALSE;
}

namespace {

int OpenFlags(DWORD access, DWORD disposition, DWORD flags) {
  int result = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
  const bool reads = (access & GENERIC_READ) != 0;
  const bool writes = (access & GENERIC_WRITE) != 0;
  result |= reads && writes ? O_RDWR : writes ? O_WRONLY : O_RDONLY;
  switch (disposition) {
    case CREATE_NEW:
      result |= O_CREAT | O_EXCL;
      break;
    case CREATE_ALWAYS:
      result |= O_CREAT | O_TRUNC;
      break;
    case OPEN_ALWAYS:
      result |= O_CREAT;
      break;
    case TRUNCATE_EXISTING:
      result |= O_TRUNC;
      break;
    default:
      break;
  }
  if ((flags & FILE_FLAG_WRITE_THROUGH) != 0) {
    result |= O_DSYNC;
  }
  return result;
}

bool IsConsoleName(LPCSTR name) {
  return std::strcmp(name, "CONIN$") == 0 || std::strcmp(name, "CONOUT$") == 0;
}

class PosixApi final : public Api {
 public:
  // As on Windows, writing to a closed pipe fails the write instead of
  // ending the process.
  PosixApi() { std::signal(SIGPIPE, SIG_IGN); }

  HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD /*share*/, LPVOID /*security*/,
                     DWORD disposition, DWORD flags, HANDLE /*templateFile*/) override {
    if (IsConsoleName(name)) return terminal::Open(name);
    terminal::ShowPending();
    // Non-blocking only for the open itself, so that a FIFO cannot hang us.
    int fd;
    do {
      fd = ::open(name, OpenFlags(access, disposition, flags), 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
      FailWithErrno(errno);
      return INVALID_HANDLE_VALUE;
    }
    // A patcher only ever wants regular files: a folder, a device or a pipe
    // under the target's name is refused here, before anything reads it.
    struct stat info {};
    const bool known = ::fstat(fd, &info) == 0;
    if (!known || !S_ISREG(info.st_mode)) {
      const int error = !known ? errno : S_ISDIR(info.st_mode) ? EISDIR : EACCES;
      ::close(fd);
      FailWithErrno(error);
      return INVALID_HANDLE_VALUE;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return HandleFromFd(fd);
  }

  BOOL CloseHandle(HANDLE handle) override {
    if (terminal::IsConsoleHandle(handle)) return terminal::Close(handle);
    const int fd = FdFromHandle(handle);
    if (fd < 0) {
      return FailWith(ERROR_INVALID_HANDLE);
    }
    // Linux releases the descriptor even when close reports EINTR.
    if (::close(fd) != 0 && errno != EINTR) {
      return FailWithErrno(errno);
    }
    return TRUE;
  }

  HANDLE GetStdHandle(DWORD which) override {
    if (which == STD_INPUT_HANDLE) return HandleFromFd(STDIN_FILENO);
    if (which == STD_OUTPUT_HANDLE) return HandleFromFd(STDOUT_FILENO);
    if (which == STD_ERROR_HANDLE) return HandleFromFd(STDERR_FILENO);
    FailWith(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }

  BOOL WriteFile(HANDLE handle, const void* data, DWORD size, DWORD* written,
                 LPVOID /*overlapped*/) override {
    terminal::ShowPending();  // also keeps the console and standard output in order
    const int fd = FdFromHandle(handle);
    DWORD done = 0;
    BOOL result = TRUE;
    if (fd < 0) {
      result = FailWith(ERROR_INVALID_HANDLE);
    }
    while (result && done < size) {
      const ssize_t n = ::write(fd, static_cast<const char*>(data) + done, size - done);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        result = FailWithErrno(errno);
      } else if (n == 0) {
        break;
      } else {
        done += static_cast<DWORD>(n);
      }
    }
    if (written != nullptr) *written = done;
    return result;
  }

  BOOL GetFileSizeEx(HANDLE handle, LARGE_INTEGER* size) override {
    struct stat info {};
    if (::fstat(FdFromHandle(handle), &info) != 0) {
      return FailWithErrno(errno);
    }
    size->QuadPart = info.st_size;
    return TRUE;
  }

  BOOL SetFilePointerEx(HANDLE handle, LARGE_INTEGER distance, LARGE_INTEGER* newPosition,
                        DWORD method) override {
    const int whence = method == FILE_CURRENT ? SEEK_CUR : method == FILE_END ? SEEK_END : SEEK_SET;
    const off_t position = ::lseek(FdFromHandle(handle), distance.QuadPart, whence);
    if (position < 0) {
      return errno == EINVAL ? FailWith(ERROR_NEGATIVE_SEEK) : FailWithErrno(errno);
    }
    if (newPosition != nullptr) newPosition->QuadPart = position;
    return TRUE;
  }

  BOOL FlushFileBuffers(HANDLE handle) override {
    terminal::ShowPending();
    return ::fsync(FdFromHandle(handle)) == 0 ? TRUE : FailWithErrno(errno);
  }

  BOOL CopyFileA(LPCSTR existing, LPCSTR newName, BOOL failIfExists) override {
    terminal::ShowPending();
    return CopyFile(existing, newName, failIfExists);
  }

  DWORD GetLastError() override { return lastError; }
  void SetLastError(DWORD code) override { lastError = code; }

  BOOL SetConsoleMode(HANDLE console, DWORD mode) override {
    return terminal::SetMode(console, mode);
  }
  BOOL SetConsoleCtrlHandler(PHANDLER_ROUTINE handler, BOOL add) override {
    return signals::SetCtrlHandler(handler, add);
  }
  BOOL GetConsoleScreenBufferInfo(HANDLE console, CONSOLE_SCREEN_BUFFER_INFO* info) override {
    return terminal::GetInfo(console, info);
  }
  BOOL WriteConsoleOutputA(HANDLE console, const CHAR_INFO* cells, COORD size, COORD origin,
                           SMALL_RECT* region) override {
    return terminal::WriteOutput(console, cells, size, origin, region);
  }
  BOOL ScrollConsoleScreenBufferA(HANDLE console, const SMALL_RECT* scroll, const SMALL_RECT* clip,
                                  COORD destination, const CHAR_INFO* fill) override {
    return terminal::Scroll(console, scroll, clip, destination, fill);
  }
  BOOL SetConsoleCursorPosition(HANDLE console, COORD position) override {
    return terminal::SetCursor(console, position);
  }
  BOOL ReadConsoleInputA(HANDLE console, INPUT_RECORD* records, DWORD count, DWORD* read) override {
    return terminal::ReadInput(console, records, count, read);
  }
  BOOL Beep(DWORD, DWORD) override { return terminal::Bell(); }
  [[noreturn]] void ExitProcess(UINT code) override {
    RemoveUnfinishedCopy();
    terminal::RestoreForExit();
    ::_exit(static_cast<int>(code));
  }
};

}  // namespace
}  // namespace win::posix

namespace win {

Api& PlatformApi() {
  static posix::PosixApi api;
  return api;
}

}  // namespace win
