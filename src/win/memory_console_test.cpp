#include "win/memory_console.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

class MemoryConsoleTest : public testing::Test {
 protected:
  void SetUp() override {
    console.Install();
    out = console.OpenOutput();
  }

  void Put(const char* text, SHORT x, SHORT y, WORD attr) {
    CHAR_INFO cells[16]{};
    const SHORT n = static_cast<SHORT>(std::strlen(text));
    for (SHORT i = 0; i < n; ++i) {
      cells[i].Char.AsciiChar = text[i];
      cells[i].Attributes = attr;
    }
    SMALL_RECT region{x, y, static_cast<SHORT>(x + n - 1), y};
    ASSERT_TRUE(win::WriteConsoleOutputA(out, cells, COORD{n, 1}, COORD{0, 0}, &region));
  }

  win::MemoryConsole console{10, 4, 0x07};
  HANDLE out = nullptr;
};

TEST_F(MemoryConsoleTest, CellsLandWhereTheRegionSaysAndAreClipped) {
  Put("abc", 2, 1, 0x1E);
  EXPECT_EQ(console.RowText(1), "  abc");
  EXPECT_EQ(console.Cell(3, 1).Attributes, 0x1E);
  Put("wxyz", 8, 0, 0x07);  // two cells fall off the right edge
  EXPECT_EQ(console.RowText(0), "        wx");
  EXPECT_EQ(console.Cursor().X, 0) << "writing cells never moves the cursor";
}

TEST_F(MemoryConsoleTest, ScrollingUpOneRowFillsTheBottom) {
  Put("top", 0, 0, 0x07);
  Put("next", 0, 1, 0x07);
  const SMALL_RECT window{0, 0, 9, 3};
  CHAR_INFO fill{};
  fill.Char.AsciiChar = ' ';
  fill.Attributes = 0x40;
  ASSERT_TRUE(win::ScrollConsoleScreenBufferA(out, &window, &window, COORD{0, -1}, &fill));
  EXPECT_EQ(console.RowText(0), "next");
  EXPECT_EQ(console.RowText(3), "");
  EXPECT_EQ(console.Cell(5, 3).Attributes, 0x40);
  EXPECT_EQ(console.Cell(5, 2).Attributes, 0x07);
}

TEST_F(MemoryConsoleTest, SwitchesFailTheChosenCallOnce) {
  console.FailCall(win::MemoryConsole::Call::SetConsoleCursorPosition, ERROR_INVALID_HANDLE, 1);
  EXPECT_TRUE(win::SetConsoleCursorPosition(out, COORD{1, 1}));
  EXPECT_FALSE(win::SetConsoleCursorPosition(out, COORD{2, 2}));
  EXPECT_EQ(win::GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_TRUE(win::SetConsoleCursorPosition(out, COORD{3, 3}));
  EXPECT_EQ(console.Cursor().X, 3);
}

TEST_F(MemoryConsoleTest, ClosedHandlesStopWorking) {
  ASSERT_TRUE(win::CloseHandle(out));
  CONSOLE_SCREEN_BUFFER_INFO info{};
  EXPECT_FALSE(win::GetConsoleScreenBufferInfo(out, &info));
  EXPECT_EQ(console.OpenConsoleHandles(), 0);
}

}  // namespace
