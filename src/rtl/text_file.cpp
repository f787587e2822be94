#include "rtl/text_file.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "rtl/io_result.h"

namespace rtl {

TextRec Input{};
TextRec Output{};
TextRec ErrOutput{};

namespace {

std::recursive_timed_mutex& TextLock() {
  static std::recursive_timed_mutex lock;
  return lock;
}

using Guard = std::lock_guard<std::recursive_timed_mutex>;

// Output on a plain handle. Its failures are deliberately not reported: the
// program's messages must never turn into a pending result that the next
// file operation would mistake for its own.
int HandleWrite(TextRec& rec) {
  if (rec.BufPos > 0) {
    DWORD written = 0;
    win::WriteFile(rec.Handle, rec.BufPtr, rec.BufPos, &written, nullptr);
  }
  rec.BufPos = 0;
  return 0;
}

// The standard handles belong to whoever started us; closing the text file
// leaves them open.
int HandleClose(TextRec&) {
  return 0;
}

void BindHandle(TextRec& rec, DWORD which, std::uint16_t mode) {
  rec = TextRec{};
  rec.Handle = win::GetStdHandle(which);
  rec.Mode = mode;
  rec.Flags = tfCRLF;
  rec.BufSize = TextBufferSize;
  rec.BufPtr = rec.Buffer.data();
  if (mode == fmOutput) {
    rec.InOutFunc = HandleWrite;
    rec.FlushFunc = HandleWrite;
  }
  rec.CloseFunc = HandleClose;
}

void Open(TextRec& rec, std::uint16_t mode) {
  if (rec.Mode != fmClosed) Close(rec);
  rec.Mode = mode;
  rec.BufPos = 0;
  rec.BufEnd = 0;
  if (rec.OpenFunc == nullptr) {
    rec.Mode = fmClosed;
    SetInOutRes(ErrorFileNotOpen);
    return;
  }
  if (const int error = rec.OpenFunc(rec)) {
    rec.Mode = fmClosed;
    SetInOutRes(error);
  }
}

bool CanWrite(const TextRec& rec) {
  if (rec.Mode == fmOutput) return rec.InOutFunc != nullptr;
  SetInOutRes(rec.Mode == fmClosed ? ErrorFileNotOpen : ErrorFileNotOpenForOutput);
  return false;
}

void PutBytes(TextRec& rec, std::string_view bytes) {
  while (!bytes.empty()) {
    const std::size_t room = rec.BufSize - rec.BufPos;
    const std::size_t n = std::min(room, bytes.size());
    std::memcpy(rec.BufPtr + rec.BufPos, bytes.data(), n);
    rec.BufPos += static_cast<std::uint32_t>(n);
    bytes.remove_prefix(n);
    if (rec.BufPos == rec.BufSize) {
      const int error = rec.InOutFunc(rec);
      // A routine that failed or left the buffer full gets no more bytes.
      if (error != 0 || rec.BufPos >= rec.BufSize) {
        rec.BufPos = 0;
        SetInOutRes(error != 0 ? error : ErrorDiskWrite);
        return;
      }
    }
  }
}

void EndStatement(TextRec& rec) {
  if (rec.Mode == fmOutput && rec.FlushFunc != nullptr) {
    SetInOutRes(rec.FlushFunc(rec));
  }
}

}  // namespace

void InitStdFiles() {
  BindHandle(Input, STD_INPUT_HANDLE, fmInput);
  BindHandle(Output, STD_OUTPUT_HANDLE, fmOutput);
  BindHandle(ErrOutput, STD_ERROR_HANDLE, fmOutput);
}

void BindStdHandle(TextRec& rec, DWORD which) {
  BindHandle(rec, which, fmOutput);
}

void OpenForInput(TextRec& rec) {
  Guard guard(TextLock());
  Open(rec, fmInput);
}

void OpenForOutput(TextRec& rec) {
  Guard guard(TextLock());
  Open(rec, fmOutput);
}

void Write(TextRec& rec, std::string_view text) {
  Guard guard(TextLock());
  if (!CanWrite(rec)) return;
  PutBytes(rec, text);
  EndStatement(rec);
}

void WriteLn(TextRec& rec) {
  Guard guard(TextLock());
  if (!CanWrite(rec)) return;
  PutBytes(rec, (rec.Flags & tfCRLF) != 0 ? std::string_view("\r\n") : std::string_view("\n"));
  EndStatement(rec);
}

void Close(TextRec& rec) {
  Guard guard(TextLock());
  if (rec.Mode == fmClosed) {
    SetInOutRes(ErrorFileNotOpen);
    return;
  }
  int error = 0;
  if (rec.Mode == fmOutput && rec.InOutFunc != nullptr) error = rec.InOutFunc(rec);
  if (error == 0 && rec.CloseFunc != nullptr) error = rec.CloseFunc(rec);
  rec.Mode = fmClosed;
  SetInOutRes(error);
}

bool LockTextFilesForHalt(std::chrono::milliseconds patience) {
  return TextLock().try_lock_for(patience);
}

bool SetLineBreakCRLF(TextRec& rec, bool crlf) {
  if (rec.Mode != fmClosed) return false;
  rec.Flags = static_cast<std::uint16_t>(crlf ? rec.Flags | tfCRLF : rec.Flags & ~tfCRLF);
  return true;
}

}  // namespace rtl
