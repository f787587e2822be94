// Text files with pluggable routines: the record keeps its buffer and four
// routines, and the write, line-end and close operations call them in a fixed
// order that drivers such as the console's rely on.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <string_view>

#include "rtl/file_modes.h"
#include "win/win_api.h"

namespace rtl {

struct TextRec;

// Returns 0 or an error code, which becomes the pending I/O result.
using TextRoutine = int (*)(TextRec& rec);

constexpr std::uint16_t tfCRLF = 0x0001;  // flag: a line end is CR LF, else LF
constexpr std::uint32_t TextBufferSize = 128;

struct TextRec {
  HANDLE Handle;
  std::uint16_t Mode;
  std::uint16_t Flags;
  std::uint32_t BufSize;
  std::uint32_t BufPos;  // output: bytes waiting; input: next byte to read
  std::uint32_t BufEnd;  // input: bytes valid
  char* BufPtr;
  TextRoutine OpenFunc;
  TextRoutine InOutFunc;
  TextRoutine FlushFunc;
  TextRoutine CloseFunc;
  std::array<std::uint8_t, 32> UserData;
  std::array<char, 260> Name;
  std::array<char, TextBufferSize> Buffer;
};

// The standard text files.
extern TextRec Input;
extern TextRec Output;
extern TextRec ErrOutput;

// Binds the standard text files to the process's standard handles.
void InitStdFiles();

// Binds one record, open for output, to a standard handle (plain bytes).
void BindStdHandle(TextRec& rec, DWORD which);

// Close the record if open, set the mode, call its open routine.
void OpenForInput(TextRec& rec);
void OpenForOutput(TextRec& rec);

// One write statement: the bytes go through the buffer (the in/out routine
// empties it whenever it fills), then the flush routine runs.
void Write(TextRec& rec, std::string_view text);

// A line end (CR LF or LF by the record's flag), then the flush routine.
void WriteLn(TextRec& rec);

// Output: the in/out routine, then, if it succeeded, the close routine.
// Input: the close routine only.
void Close(TextRec& rec);

// Chooses the line end; allowed only on a closed record.
bool SetLineBreakCRLF(TextRec& rec, bool crlf);

// Every operation above holds one lock for its whole run, so that a halt
// from another thread never paints into the middle of a write statement.
// The halt takes it for good; false when a statement did not end in time.
bool LockTextFilesForHalt(std::chrono::milliseconds patience);

}  // namespace rtl
