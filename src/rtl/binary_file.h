// Untyped binary files counted in records of a fixed size. Failures never
// raise: each leaves its code pending for IOResult.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "rtl/file_modes.h"
#include "win/win_api.h"

namespace rtl {

// How Reset opens a file: 0 read only, 1 write only, 2 read and write. The
// file must exist, and others may read and write it meanwhile.
extern int FileMode;

struct FileRec {
  HANDLE Handle = INVALID_HANDLE_VALUE;
  std::uint16_t Mode = fmClosed;
  std::uint32_t RecSize = 0;
  std::array<char, 260> Name{};
};

void AssignFile(FileRec& file, std::string_view name);

// Opens the assigned file by FileMode. Writes go through to the disk before
// BlockWrite returns, so that a failing write is reported by the write itself.
void Reset(FileRec& file, std::uint32_t recSize);

// The size in whole records, or -1 with the error pending.
std::int64_t FileSize(FileRec& file);

void Seek(FileRec& file, std::int64_t record);

// Writes `count` records; writing fewer is error 101.
void BlockWrite(FileRec& file, const void* data, std::uint32_t count);

void CloseFile(FileRec& file);

}  // namespace rtl
