// The pending I/O result: file operations record their failure here instead
// of raising, and the caller reads and clears it with IOResult.
#pragma once

namespace rtl {

constexpr int ErrorDiskWrite = 101;  // fewer bytes written than asked
constexpr int ErrorFileNotOpen = 103;
constexpr int ErrorFileNotOpenForOutput = 105;

extern int InOutRes;

// Returns the pending result and clears it.
int IOResult();

// Records `code` as pending unless it is 0.
void SetInOutRes(int code);

}  // namespace rtl
