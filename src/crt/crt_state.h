// The console unit's shared state: the attribute every painted cell gets, the
// window that output wraps and scrolls in, the console handles, the key
// reader and the break handler.
#pragma once

#include <array>
#include <cstdint>

#include "win/win_api.h"

namespace crt {

extern std::int32_t ScreenCols;
extern std::int32_t ScreenRows;
extern std::uint8_t CurrentAttr;
extern std::uint16_t WindowLeft;
extern std::uint16_t WindowTop;
extern std::uint16_t WindowRight;
extern std::uint16_t WindowBottom;
extern HANDLE ConsoleIn;
extern HANDLE ConsoleOut;
extern std::uint16_t PendingScan;  // 0xFFFF: nothing pending

constexpr std::uint16_t NoScan = 0xFFFF;
constexpr std::uint16_t NoKey = 0xFFFF;

// A key's codes pressed alone, with Shift, with Ctrl and with Alt:
// 0x00-0xFF a character, 0x100-0x1FF an extended key (0, then the scan
// code), NoKey ignored.
struct KeyMapRow {
  std::uint16_t VirtualKey;
  std::uint16_t Plain;
  std::uint16_t Shift;
  std::uint16_t Ctrl;
  std::uint16_t Alt;
};

extern const std::array<KeyMapRow, 92> KeyMap;

// Bits 0-3 and 7 from c; the background stays.
void SetForeground(std::uint8_t c);
// Bits 0-2 of c become the background; foreground and bit 7 stay.
void SetBackground(std::uint8_t c);

// Reads the screen buffer's size and attribute; the window becomes the whole
// buffer.
void ConsoleStateInit();

// Waits for a key and returns its code; an extended key gives 0 now and its
// scan code on the next call. 0xFF when the console cannot be read.
std::uint8_t GetKey();

// Halts the program on Ctrl+C, Ctrl+Break and close events.
BOOL WINAPI BreakHandler(DWORD ctrlType);

// Puts the state back as the program found it at load.
void ResetConsoleState();

}  // namespace crt
