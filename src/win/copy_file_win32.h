#pragma once

#include "win/win_api.h"

namespace win::win32 {

// CopyFileA with one more promise: when it returns nonzero the new file is a
// whole copy, flushed to disk; when it fails, nothing is left at the new
// name that was not there before. The copy is made under a temporary name
// beside the new one and moved into place without replacing anything.
BOOL CopyFileWholeOrNot(LPCSTR existing, LPCSTR newName, BOOL failIfExists);

// Removes the temporary file of a copy that a halt cuts short.
void RemoveUnfinishedCopy();

}  // namespace win::win32
