#include "crt/crt_state.h"

#include <gtest/gtest.h>

#include <vector>

#include "rtl/halt.h"
#include "win/memory_console.h"
#include "support/case_name.h"

namespace {

constexpr DWORD Shift = SHIFT_PRESSED;
constexpr DWORD Ctrl = LEFT_CTRL_PRESSED;
constexpr DWORD Alt = LEFT_ALT_PRESSED;
constexpr DWORD AltGr = RIGHT_ALT_PRESSED | LEFT_CTRL_PRESSED;
constexpr DWORD Caps = CAPSLOCK_ON;

INPUT_RECORD KeyRecord(WORD vk, char ascii, DWORD state, BOOL down = TRUE) {
  INPUT_RECORD record{};
  record.EventType = KEY_EVENT;
  record.Event.KeyEvent.bKeyDown = down;
  record.Event.KeyEvent.wVirtualKeyCode = vk;
  record.Event.KeyEvent.uChar.AsciiChar = ascii;
  record.Event.KeyEvent.dwControlKeyState = state;
  return record;
}

INPUT_RECORD OtherRecord(WORD type) {
  INPUT_RECORD record{};
  record.EventType = type;
  return record;
}

class CrtStateTest : public testing::Test {
 protected:
  void SetUp() override {
    console.Install();
    crt::ResetConsoleState();
    crt::ConsoleIn = console.OpenInput();
  }
  void TearDown() override { crt::ResetConsoleState(); }

  std::vector<int> ReadCodes(int count) {
    std::vector<int> codes;
    for (int i = 0; i < count; ++i) codes.push_back(crt::GetKey());
    return codes;
  }

  win::MemoryConsole console{80, 25, 0x1E};
};

struct KeyCase {
  const char* name;
  std::vector<INPUT_RECORD> records;
  std::vector<int> codes;  // what successive GetKey calls return
  friend void PrintTo(const KeyCase& c, std::ostream* os) { *os << c.name; }
};

class GetKeyTest : public CrtStateTest, public testing::WithParamInterface<KeyCase> {};

TEST_P(GetKeyTest, MapsRecordsToCodes) {
  for (const INPUT_RECORD& record : GetParam().records) console.QueueInput(record);
  EXPECT_EQ(ReadCodes(static_cast<int>(GetParam().codes.size())), GetParam().codes);
  EXPECT_EQ(console.PendingInput(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, GetKeyTest,
    testing::Values(
        KeyCase{"LetterAlone", {KeyRecord(0x41, 'a', 0)}, {0x61}},
        KeyCase{"LetterWithCapsLock", {KeyRecord(0x41, 'A', Caps)}, {0x41}},
        KeyCase{"ShiftLetterIgnoresCapsLock", {KeyRecord(0x41, 'a', Shift | Caps)}, {0x41}},
        KeyCase{"CtrlLetter", {KeyRecord(0x41, 0x01, Ctrl)}, {0x01}},
        KeyCase{"CtrlC", {KeyRecord(0x43, 0x03, Ctrl)}, {0x03}},
        KeyCase{"DigitWithShift", {KeyRecord(0x36, '^', Shift)}, {0x5E}},
        KeyCase{"F1TwoSteps", {KeyRecord(0x70, 0, 0)}, {0, 0x3B}},
        KeyCase{"AltSpace", {KeyRecord(0x20, ' ', Alt)}, {0x20}},
        KeyCase{"CtrlSpace", {KeyRecord(0x20, ' ', Ctrl)}, {0, 0x03}},
        KeyCase{"CtrlTwo", {KeyRecord(0x32, 0, Ctrl)}, {0, 0x03}},
        KeyCase{"CtrlOneIsSkipped", {KeyRecord(0x31, 0, Ctrl), KeyRecord(0x5A, 'z', 0)}, {0x7A}},
        KeyCase{"AltGrTakesAltColumn", {KeyRecord(0x51, '@', AltGr)}, {0, 0x10}},
        KeyCase{"AltBeatsShift", {KeyRecord(0x70, 0, Alt | Shift)}, {0, 0x68}},
        KeyCase{"CtrlEnter", {KeyRecord(0x0D, '\n', Ctrl)}, {0x0A}},
        KeyCase{"ShiftNumpad5", {KeyRecord(0x65, 0, Shift)}, {0, 0x4C}},
        KeyCase{"WindowsKeysSkipped",
                {KeyRecord(0x5B, 0, 0), KeyRecord(0x5C, 0, Shift), KeyRecord(0x5D, 0, Ctrl),
                 KeyRecord(0x5D, 0, Alt), KeyRecord(0x1B, 0x1B, 0)},
                {0x1B}},
        KeyCase{"SkipsEverythingButKeyPresses",
                {KeyRecord(0x10, 0, Shift), KeyRecord(0x11, 0, Ctrl), KeyRecord(0x12, 0, Alt),
                 KeyRecord(0x14, 0, Caps), KeyRecord(0x42, 'b', 0, FALSE), OtherRecord(MOUSE_EVENT),
                 OtherRecord(FOCUS_EVENT), OtherRecord(MENU_EVENT),
                 OtherRecord(WINDOW_BUFFER_SIZE_EVENT), KeyRecord(0x42, 'b', 0)},
                {0x62}}),
    testing_support::CaseName());

TEST_F(CrtStateTest, PendingScanIsDeliveredWithoutReadingTheConsole) {
  console.QueueKey(0x7B, 0, 0);  // F12
  console.QueueKey(0x41, 'a', 0);
  EXPECT_EQ(crt::GetKey(), 0);
  EXPECT_EQ(crt::PendingScan, 0x86);
  EXPECT_EQ(console.PendingInput(), 1u);
  EXPECT_EQ(crt::GetKey(), 0x86);
  EXPECT_EQ(crt::PendingScan, crt::NoScan);
  EXPECT_EQ(crt::GetKey(), 0x61);
}

TEST_F(CrtStateTest, ReadFailureGivesFF) {
  console.FailCall(win::MemoryConsole::Call::ReadConsoleInputA);
  EXPECT_EQ(crt::GetKey(), 0xFF);
}

TEST_F(CrtStateTest, SettersKeepTheOtherBits) {
  crt::CurrentAttr = 0x1F;
  crt::SetForeground(0x8B);
  EXPECT_EQ(crt::CurrentAttr, 0x9B);
  crt::SetBackground(20);
  EXPECT_EQ(crt::CurrentAttr, 0xCB);
}

TEST_F(CrtStateTest, StateComesFromTheScreenBuffer) {
  crt::ConsoleOut = console.OpenOutput();
  crt::ConsoleStateInit();
  EXPECT_EQ(crt::ScreenCols, 80);
  EXPECT_EQ(crt::ScreenRows, 25);
  EXPECT_EQ(crt::CurrentAttr, 0x1E);
  EXPECT_EQ(crt::WindowLeft, 0);
  EXPECT_EQ(crt::WindowTop, 0);
  EXPECT_EQ(crt::WindowRight, 79);
  EXPECT_EQ(crt::WindowBottom, 24);
}

TEST_F(CrtStateTest, FailedQueryKeepsTheOldSize) {
  crt::ScreenCols = 40;
  crt::ScreenRows = 10;
  crt::CurrentAttr = 0x07;
  crt::ConsoleStateInit();  // ConsoleOut is not open
  EXPECT_EQ(crt::CurrentAttr, 0x07);
  EXPECT_EQ(crt::WindowRight, 39);
  EXPECT_EQ(crt::WindowBottom, 9);
}

TEST(BreakHandlerTest, IgnoresOtherControlEvents) {
  EXPECT_EQ(crt::BreakHandler(CTRL_LOGOFF_EVENT), FALSE);
  EXPECT_EQ(crt::BreakHandler(CTRL_SHUTDOWN_EVENT), FALSE);
}

TEST(BreakHandlerDeathTest, HaltsWithTheCurrentExitCode) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  for (const DWORD event : {CTRL_C_EVENT, CTRL_BREAK_EVENT, CTRL_CLOSE_EVENT}) {
    EXPECT_EXIT(
        {
          rtl::ExitCode = 6;
          crt::BreakHandler(event);
        },
        testing::ExitedWithCode(6), "");
  }
}

}  // namespace
