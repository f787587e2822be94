// Pieces shared by the POSIX implementation files of the Windows layer.
#pragma once

#include "win/win_api.h"

namespace win::posix {

// Handles are file descriptors offset by one, so that descriptor -1 is the
// null handle and INVALID_HANDLE_VALUE matches no descriptor.
HANDLE HandleFromFd(int fd);
int FdFromHandle(HANDLE handle);

// The Windows error code that callers of GetLastError expect for an errno.
DWORD ErrorFromErrno(int error);

// Records errno as the thread's last error and returns FALSE, for the
// common "fail with the system's reason" path.
BOOL FailWithErrno(int error);
BOOL FailWith(DWORD code);

BOOL CopyFile(LPCSTR existing, LPCSTR newName, BOOL failIfExists);

// Removes the temporary file of a copy that a halt cuts short.
void RemoveUnfinishedCopy();

}  // namespace win::posix
