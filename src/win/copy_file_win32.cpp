#include "win/copy_file_win32.h"

#include <string>

namespace win::win32 {
namespace {

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
  DWORD error = ERROR_SUCCESS;
  if (!::CopyFileA(existing, temporary, TRUE) || !FlushToDisk(temporary)) {
    error = ::GetLastError();
  } else {
    const DWORD replace = failIfExists ? 0 : MOVEFILE_REPLACE_EXISTING;
    if (::MoveFileExA(temporary, newName, replace | MOVEFILE_WRITE_THROUGH)) return TRUE;
    error = ::GetLastError();
    if (error == ERROR_ALREADY_EXISTS) error = ERROR_FILE_EXISTS;
  }
  // The temporary may be read-only by now, like its source.
  ::SetFileAttributesA(temporary, FILE_ATTRIBUTE_NORMAL);
  ::DeleteFileA(temporary);
  return FailWith(error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE);
}

}  // namespace win::win32
