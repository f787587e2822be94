#include "crt/crt_drivers.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "crt/crt_state.h"
#include "rtl/io_result.h"

namespace crt {
namespace {

constexpr int MaxRun = 64;

// The state of one ConsoleWrite: the cursor, and the printable bytes from
// runStart to cur that are counted into X but not yet painted.
struct Flush {
  std::int32_t X;
  std::int32_t Y;
  const char* runStart;
  const char* cur;
};

void WriteCellRun(Flush& f) {
  const auto n = static_cast<int>(std::min<std::ptrdiff_t>(f.cur - f.runStart, MaxRun));
  if (n == 0) return;
  std::array<CHAR_INFO, MaxRun> cells{};
  for (int i = 0; i < n; ++i) {
    cells[i].Char.AsciiChar = f.runStart[i];
    cells[i].Attributes = CurrentAttr;
  }
  SMALL_RECT region{static_cast<SHORT>(f.X - n), static_cast<SHORT>(f.Y),
                    static_cast<SHORT>(f.X - 1), static_cast<SHORT>(f.Y)};
  win::WriteConsoleOutputA(ConsoleOut, cells.data(), COORD{static_cast<SHORT>(n), 1}, COORD{0, 0},
                           &region);
  f.runStart = f.cur;
}

void ScrollWindowUp() {
  const SMALL_RECT window{static_cast<SHORT>(WindowLeft), static_cast<SHORT>(WindowTop),
                          static_cast<SHORT>(WindowRight), static_cast<SHORT>(WindowBottom)};
  CHAR_INFO fill{};
  fill.Char.AsciiChar = ' ';
  fill.Attributes = CurrentAttr;
  win::ScrollConsoleScreenBufferA(
      ConsoleOut, &window, &window,
      COORD{static_cast<SHORT>(WindowLeft), static_cast<SHORT>(WindowTop - 1)}, &fill);
}

std::int32_t CursorX() {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  return win::GetConsoleScreenBufferInfo(ConsoleOut, &info) ? info.dwCursorPosition.X : 0;
}

std::int32_t CursorY() {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  return win::GetConsoleScreenBufferInfo(ConsoleOut, &info) ? info.dwCursorPosition.Y : 0;
}

void MoveCursor(std::int32_t x, std::int32_t y) {
  win::SetConsoleCursorPosition(ConsoleOut, COORD{static_cast<SHORT>(x), static_cast<SHORT>(y)});
}

void UseOwnBuffer(rtl::TextRec& rec) {
  if (rec.BufPtr == nullptr) {
    rec.BufPtr = rec.Buffer.data();
    rec.BufSize = rtl::TextBufferSize;
  }
}

HANDLE OpenDevice(const char* name) {
  return win::CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                          nullptr, OPEN_EXISTING, 0, nullptr);
}

int OpenInput(rtl::TextRec& rec) {
  ConsoleIn = OpenDevice("CONIN$");
  rec.Handle = ConsoleIn;
  rec.Mode = rtl::fmInput;
  UseOwnBuffer(rec);
  win::SetConsoleMode(rec.Handle, 0);
  win::SetConsoleCtrlHandler(BreakHandler, TRUE);
  rec.InOutFunc = ConsoleReadLine;
  rec.FlushFunc = ConsoleNoFlush;
  rec.CloseFunc = ConsoleClose;
  return 0;
}

int OpenOutput(rtl::TextRec& rec) {
  ConsoleOut = OpenDevice("CONOUT$");
  rec.Mode = rtl::fmClosed;
  rtl::SetLineBreakCRLF(rec, true);
  rec.Handle = ConsoleOut;
  rec.Mode = rtl::fmOutput;
  UseOwnBuffer(rec);
  ConsoleStateInit();
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!win::GetConsoleScreenBufferInfo(rec.Handle, &info)) {
    return static_cast<int>(win::GetLastError());
  }
  win::SetConsoleMode(rec.Handle, 0);
  rec.InOutFunc = ConsoleWrite;
  rec.FlushFunc = ConsoleWrite;
  rec.CloseFunc = ConsoleClose;
  return 0;
}

}  // namespace

void BindConsole(rtl::TextRec& rec) {
  rec.Mode = rtl::fmClosed;
  rec.BufSize = rtl::TextBufferSize;
  rec.BufPtr = rec.Buffer.data();
  rec.OpenFunc = ConsoleOpen;
  rec.InOutFunc = nullptr;
  rec.FlushFunc = nullptr;
  rec.CloseFunc = nullptr;
  rec.Name.fill(0);
}

int ConsoleOpen(rtl::TextRec& rec) {
  return rec.Mode == rtl::fmInput ? OpenInput(rec) : OpenOutput(rec);
}

int ConsoleWrite(rtl::TextRec& rec) {
  Flush f{CursorX(), CursorY(), rec.BufPtr, rec.BufPtr};
  while (rec.BufPos > 0) {
    --rec.BufPos;
    const char b = *f.cur;
    bool control = true;
    switch (b) {
      case 0x07:
        WriteCellRun(f);
        win::Beep(3000, 100);
        break;
      case 0x08:
        WriteCellRun(f);
        if (f.X > WindowLeft) --f.X;
        break;
      case 0x0A:
        WriteCellRun(f);
        ++f.Y;
        break;
      case 0x0D:
        WriteCellRun(f);
        f.X = WindowLeft;
        break;
      default:
        ++f.X;
        control = false;
        break;
    }
    ++f.cur;
    if (control) f.runStart = f.cur;
    if (f.cur - f.runStart >= MaxRun) WriteCellRun(f);
    if (f.X > WindowRight) {
      WriteCellRun(f);
      f.X = WindowLeft;
      ++f.Y;
    }
    if (f.Y > WindowBottom) {
      WriteCellRun(f);
      ScrollWindowUp();
      --f.Y;
    }
  }
  WriteCellRun(f);
  MoveCursor(f.X, f.Y);
  return 0;
}

int ConsoleReadLine(rtl::TextRec& rec) {
  rec.BufPos = 0;
  rec.BufEnd = 0;
  while (rec.BufEnd < rec.BufSize) {
    const std::uint8_t c = GetKey();
    rec.BufPtr[rec.BufEnd] = static_cast<char>(c);
    if (c == 0) {
      if (PendingScan != NoScan) GetKey();
    } else if (c == 0x08) {
      if (rec.BufEnd > 0) {
        rtl::Write(rtl::Output, "\b \b");
        --rec.BufEnd;
      }
    } else if (c == 0x0D) {
      ++rec.BufEnd;
      if (rec.BufEnd + 1 < rec.BufSize) rec.BufPtr[rec.BufEnd++] = '\n';
      rtl::Write(rtl::Output, "\r\n");
      return 0;
    } else if (c == 0x0A || c >= 0x20) {
      rtl::Write(rtl::Output, std::string_view(rec.BufPtr + rec.BufEnd, 1));
      ++rec.BufEnd;
    }
  }
  return 0;
}

int ConsoleNoFlush(rtl::TextRec&) {
  return 0;
}

int ConsoleClose(rtl::TextRec& rec) {
  win::CloseHandle(rec.Handle);
  rec = rtl::TextRec{};
  rec.Handle = INVALID_HANDLE_VALUE;
  rec.Mode = rtl::fmClosed;
  return 0;
}

void ConsoleUnitStart() {
  if (!rtl::IsConsole) return;
  BindConsole(rtl::Input);
  rtl::OpenForInput(rtl::Input);
  BindConsole(rtl::Output);
  rtl::OpenForOutput(rtl::Output);
  // Without a console (no terminal, as under cron) the messages still go to
  // the standard output as plain text. The failed open is read here, so that
  // it cannot be taken later for the result of opening the target.
  if (rtl::IOResult() != 0) rtl::BindStdHandle(rtl::Output, STD_OUTPUT_HANDLE);
}

const rtl::UnitInfo CrtUnit = {ConsoleUnitStart, nullptr};

}  // namespace crt
