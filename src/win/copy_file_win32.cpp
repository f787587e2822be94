#include "win/copy_file_win32.h"

#include <chrono>
#include <mutex>
#include <string>

namespace win::win32 {
namespace {

// The copy under way, so that a halt from another thread can remove it.
std::timed_mutex unfinishedLock;
std::string unfinished;

void SetUnfinished(const char* path) {
  std::lock_guard guard(unfinishedLock);
  unfinished = path;
}

void Discard(const char* temporary) {
  std::lock_guard guard(unfinishedLock);
  // The temporary may be read-only by now, like its source.
  ::SetFileAttributesA(temporary, FILE_ATTRIBUTE_NORMAL);
  ::DeleteFileA(temporary);
  unfinished.clear();
}

std::string FolderOf(const std::string& path) {
  const auto slash = path.find_last_of("\\/");
  return slash == std::string::npos ? "." : path.substr(0, slash + 1);
}

// Flushes a file that may be read-only; its attributes end as they began.
bool FlushToDisk(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  const bool readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  if (readOnly && !::SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY)) {
    return false;
  }
  const HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  bool flushed = false;
  DWORD error = ::GetLastError();
  if (file != INVALID_HANDLE_VALUE) {
    flushed = ::FlushFileBuffers(file) != FALSE;
    error = ::GetLastError();
    ::CloseHandle(file);
  }
  if (readOnly) ::SetFileAttributesA(path.c_str(), attributes);
  ::SetLastError(error);
  return flushed;
}

BOOL FailWith(DWORD error) {
  ::SetLastError(error);
  return FALSE;
}

}  // namespace

BOOL CopyFileWholeOrNot(LPCSTR existing, LPCSTR newName, BOOL failIfExists) {
  const DWORD source = ::GetFileAttributesA(existing);
  if (source == INVALID_FILE_ATTRIBUTES) return FALSE;
  if ((source & FILE_ATTRIBUTE_DIRECTORY) != 0) return FailWith(ERROR_ACCESS_DENIED);
  if (failIfExists && ::GetFileAttributesA(newName) != INVALID_FILE_ATTRIBUTES) {
    return FailWith(ERROR_FILE_EXISTS);
  }

  char temporary[MAX_PATH];
  if (::GetTempFileNameA(FolderOf(newName).c_str(), "kvf", 0, temporary) == 0) return FALSE;
  // Only a new file takes the source's attributes, so the reserved name is
  // freed first; fail-if-exists then keeps anyone else's file there safe.
  ::DeleteFileA(temporary);
  SetUnfinished(temporary);
  DWORD error = ERROR_SUCCESS;
  if (!::CopyFileA(existing, temporary, TRUE) || !FlushToDisk(temporary)) {
    error = ::GetLastError();
  } else {
    const DWORD replace = failIfExists ? 0 : MOVEFILE_REPLACE_EXISTING;
    if (::MoveFileExA(temporary, newName, replace | MOVEFILE_WRITE_THROUGH)) {
      SetUnfinished("");
      return TRUE;
    }
    error = ::GetLastError();
    if (error == ERROR_ALREADY_EXISTS) error = ERROR_FILE_EXISTS;
  }
  Discard(temporary);
  return FailWith(error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE);
}

void RemoveUnfinishedCopy() {
  // Never wait long: a halt must end the process even if the copy is stuck.
  std::unique_lock guard(unfinishedLock, std::chrono::milliseconds(500));
  if (!guard.owns_lock() || unfinished.empty()) return;
  ::SetFileAttributesA(unfinished.c_str(), FILE_ATTRIBUTE_NORMAL);
  ::DeleteFileA(unfinished.c_str());
}

}  // namespace win::win32
