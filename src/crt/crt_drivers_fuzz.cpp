// Any sequence of console input records through the line reader: it always
// returns, and the line stays inside its buffer.
#include <cstdint>
#include <cstdlib>

#include "crt/crt_drivers.h"
#include "crt/crt_state.h"
#include "rtl/halt.h"
#include "rtl/io_result.h"
#include "win/memory_console.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  win::MemoryConsole console(30, 5);
  console.Install();
  crt::ResetConsoleState();
  rtl::IsConsole = true;
  crt::ConsoleUnitStart();
  static constexpr WORD Kinds[] = {KEY_EVENT, MOUSE_EVENT, WINDOW_BUFFER_SIZE_EVENT, MENU_EVENT,
                                   FOCUS_EVENT};
  for (std::size_t i = 0; i + 3 < size; i += 4) {
    INPUT_RECORD record{};
    record.EventType = (data[i] & 0x80) != 0 ? Kinds[data[i] % 5] : KEY_EVENT;
    record.Event.KeyEvent.bKeyDown = data[i] & 1;
    record.Event.KeyEvent.wVirtualKeyCode = data[i + 1];
    record.Event.KeyEvent.uChar.AsciiChar = static_cast<char>(data[i + 2]);
    record.Event.KeyEvent.dwControlKeyState = data[i + 3];
    console.QueueInput(record);
  }
  crt::ConsoleReadLine(rtl::Input);
  if (rtl::Input.BufEnd > rtl::Input.BufSize || rtl::Input.BufPos != 0) std::abort();
  rtl::Input = rtl::TextRec{};
  rtl::Output = rtl::TextRec{};
  rtl::IOResult();
  return 0;
}
