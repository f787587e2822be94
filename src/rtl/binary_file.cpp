#include "rtl/binary_file.h"

#include <algorithm>

#include "rtl/io_result.h"

namespace rtl {

int FileMode = 2;

namespace {

// A failed call that forgot its reason must still read as a failure.
int LastErrorOr(int fallback) {
  const DWORD error = win::GetLastError();
  return error != 0 ? static_cast<int>(error) : fallback;
}

bool IsOpen(const FileRec& file) {
  if (file.Mode == fmClosed) {
    SetInOutRes(ErrorFileNotOpen);
    return false;
  }
  return true;
}

DWORD AccessFor(int mode) {
  switch (mode & 3) {
    case 0:
      return GENERIC_READ;
    case 1:
      return GENERIC_WRITE;
    default:
      return GENERIC_READ | GENERIC_WRITE;
  }
}

}  // namespace

void AssignFile(FileRec& file, std::string_view name) {
  file = FileRec{};
  const std::size_t n = std::min(name.size(), file.Name.size() - 1);
  std::copy_n(name.begin(), n, file.Name.begin());
}

void Reset(FileRec& file, std::uint32_t recSize) {
  if (file.Mode != fmClosed) CloseFile(file);
  const HANDLE handle =
      win::CreateFileA(file.Name.data(), AccessFor(FileMode), FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_EXISTING, FILE_FLAG_WRITE_THROUGH, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    SetInOutRes(LastErrorOr(ERROR_FILE_NOT_FOUND));
    return;
  }
  file.Handle = handle;
  file.Mode = fmInOut;
  file.RecSize = recSize == 0 ? 1 : recSize;
}

std::int64_t FileSize(FileRec& file) {
  if (!IsOpen(file)) return -1;
  LARGE_INTEGER size{};
  if (!win::GetFileSizeEx(file.Handle, &size)) {
    SetInOutRes(LastErrorOr(ERROR_READ_FAULT));
    return -1;
  }
  return size.QuadPart / file.RecSize;
}

void Seek(FileRec& file, std::int64_t record) {
  if (!IsOpen(file)) return;
  LARGE_INTEGER distance{};
  distance.QuadPart = record * file.RecSize;
  if (!win::SetFilePointerEx(file.Handle, distance, nullptr, FILE_BEGIN)) {
    SetInOutRes(LastErrorOr(ERROR_NEGATIVE_SEEK));
  }
}

void BlockWrite(FileRec& file, const void* data, std::uint32_t count) {
  if (!IsOpen(file)) return;
  const DWORD size = count * file.RecSize;
  DWORD written = 0;
  if (!win::WriteFile(file.Handle, data, size, &written, nullptr)) {
    SetInOutRes(LastErrorOr(ErrorDiskWrite));
  } else if (written != size) {
    SetInOutRes(ErrorDiskWrite);
  }
}

void CloseFile(FileRec& file) {
  if (!IsOpen(file)) return;
  if (!win::CloseHandle(file.Handle)) SetInOutRes(LastErrorOr(ERROR_INVALID_HANDLE));
  file.Handle = INVALID_HANDLE_VALUE;
  file.Mode = fmClosed;
}

}  // namespace rtl
