#include "crt/crt_drivers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "crt/crt_state.h"
#include "rtl/io_result.h"
#include "support/output_capture.h"
#include "win/memory_console.h"

namespace {

using Call = win::MemoryConsole::Call;

class ConsoleDriverTest : public testing::Test {
 protected:
  void SetUp() override {
    console.Install();
    crt::ResetConsoleState();
    rtl::IsConsole = true;
    crt::ConsoleUnitStart();
    ASSERT_EQ(rtl::IOResult(), 0);
    crt::CurrentAttr = 0x1E;
  }
  void TearDown() override {
    rtl::Input = rtl::TextRec{};
    rtl::Output = rtl::TextRec{};
    crt::ResetConsoleState();
    rtl::IsConsole = false;
  }

  void Print(const std::string& text) { rtl::Write(rtl::Output, text); }
  void At(SHORT x, SHORT y) { console.SetCursor(COORD{x, y}); }
  std::pair<int, int> Cursor() const { return {console.Cursor().X, console.Cursor().Y}; }
  std::vector<std::string> Calls(const std::string& prefix) const {
    std::vector<std::string> calls;
    for (const auto& call : console.CallLog()) {
      if (call.rfind(prefix, 0) == 0) calls.push_back(call);
    }
    return calls;
  }

  win::MemoryConsole console{20, 5, 0x07};
};

TEST_F(ConsoleDriverTest, StartUpBindsBothStandardFilesToTheConsole) {
  EXPECT_EQ(rtl::Input.Mode, rtl::fmInput);
  EXPECT_EQ(rtl::Output.Mode, rtl::fmOutput);
  EXPECT_EQ(rtl::Output.Flags & rtl::tfCRLF, rtl::tfCRLF);
  EXPECT_EQ(console.ConsoleModes().at(win::MemoryConsole::InputHandle), 0u);
  EXPECT_EQ(console.ConsoleModes().at(win::MemoryConsole::OutputHandle), 0u);
  ASSERT_EQ(console.CtrlHandlers().size(), 1u);
  EXPECT_EQ(console.CtrlHandlers()[0], &crt::BreakHandler);
  EXPECT_EQ(crt::WindowRight, 19);
  EXPECT_EQ(crt::WindowBottom, 4);
}

TEST_F(ConsoleDriverTest, PaintsAtTheCursorInTheCurrentAttribute) {
  At(5, 2);
  Print("abc");
  EXPECT_EQ(console.RowText(2), "     abc");
  for (int x = 5; x <= 7; ++x) EXPECT_EQ(console.Cell(x, 2).Attributes, 0x1E);
  EXPECT_EQ(console.Cell(4, 2).Attributes, 0x07);
  EXPECT_EQ(Cursor(), std::make_pair(8, 2));
}

TEST_F(ConsoleDriverTest, LineEndsInEitherOrderGoToTheNextRowStart) {
  At(5, 1);
  Print("\n\r");
  EXPECT_EQ(Cursor(), std::make_pair(0, 2));
  At(5, 1);
  Print("\r\n");
  EXPECT_EQ(Cursor(), std::make_pair(0, 2));
}

TEST_F(ConsoleDriverTest, LastColumnWrapsAndOnTheLastRowScrolls) {
  At(19, 1);
  Print("x");
  EXPECT_EQ(console.Cell(19, 1).Char.AsciiChar, 'x');
  EXPECT_EQ(Cursor(), std::make_pair(0, 2));

  At(0, 0);
  Print("top");
  At(19, 4);
  Print("y");
  EXPECT_EQ(console.Cell(19, 3).Char.AsciiChar, 'y') << "the row moved up";
  EXPECT_EQ(console.RowText(0), std::string(19, ' ') + "x") << "the top row is gone";
  EXPECT_EQ(Cursor(), std::make_pair(0, 4));
}

TEST_F(ConsoleDriverTest, LineFeedOnTheBottomRowScrollsInABlankRow) {
  At(0, 4);
  Print("bottom");
  crt::CurrentAttr = 0x4E;
  Print("\n");
  EXPECT_EQ(console.RowText(3), "bottom");
  EXPECT_EQ(console.RowText(4), "");
  for (int x = 0; x < 20; ++x) EXPECT_EQ(console.Cell(x, 4).Attributes, 0x4E);
  EXPECT_EQ(Cursor(), std::make_pair(6, 4));
}

TEST_F(ConsoleDriverTest, BackspaceMovesLeftButNeverErasesOrPassesTheEdge) {
  At(0, 1);
  Print("\b");
  EXPECT_EQ(Cursor(), std::make_pair(0, 1));
  Print("ab\b");
  EXPECT_EQ(console.RowText(1), "ab");
  EXPECT_EQ(Cursor(), std::make_pair(1, 1));
  Print("c");
  EXPECT_EQ(console.RowText(1), "ac");
}

TEST_F(ConsoleDriverTest, BellSoundsAndPaintsNothing) {
  At(0, 0);
  Print("a\ab");
  EXPECT_EQ(console.RowText(0), "ab");
  EXPECT_EQ(console.Beeps(), (std::vector<std::pair<DWORD, DWORD>>{{3000, 100}}));
}

TEST_F(ConsoleDriverTest, OtherControlBytesArePaintedAsCells) {
  At(0, 0);
  Print(
      "a\tb\x1b"
      "c");
  EXPECT_EQ(console.RowText(0),
            "a\tb\x1b"
            "c");
  EXPECT_EQ(Cursor(), std::make_pair(5, 0));
}

TEST_F(ConsoleDriverTest, LongWriteArrivesInTwoFlushesPaintedInRunsOf64) {
  win::MemoryConsole wide{250, 3, 0x07};
  wide.Install();
  crt::ResetConsoleState();
  crt::ConsoleUnitStart();
  const auto before = wide.CallLog().size();
  Print(std::string(200, 'w'));
  std::vector<std::string> calls(wide.CallLog().begin() + static_cast<long>(before),
                                 wide.CallLog().end());
  const std::vector<std::string> flush128 = {"GetConsoleScreenBufferInfo",
                                             "GetConsoleScreenBufferInfo", "WriteConsoleOutputA 64",
                                             "WriteConsoleOutputA 64", "SetConsoleCursorPosition"};
  const std::vector<std::string> flush72 = {"GetConsoleScreenBufferInfo",
                                            "GetConsoleScreenBufferInfo", "WriteConsoleOutputA 64",
                                            "WriteConsoleOutputA 8", "SetConsoleCursorPosition"};
  std::vector<std::string> expected = flush128;
  expected.insert(expected.end(), flush72.begin(), flush72.end());
  EXPECT_EQ(calls, expected);
  EXPECT_EQ(wide.RowText(0), std::string(200, 'w'));
  console.Install();
}

TEST_F(ConsoleDriverTest, EmptyFlushKeepsTheCursor) {
  At(7, 3);
  Print("");
  EXPECT_EQ(Cursor(), std::make_pair(7, 3));
}

TEST_F(ConsoleDriverTest, CloseReleasesBothHandles) {
  rtl::Close(rtl::Output);
  rtl::Close(rtl::Input);
  EXPECT_EQ(console.OpenConsoleHandles(), 0);
  EXPECT_EQ(rtl::Output.Mode, rtl::fmClosed);
  EXPECT_EQ(rtl::Output.Handle, INVALID_HANDLE_VALUE);
  EXPECT_EQ(rtl::Output.FlushFunc, nullptr);
}

TEST(ConsoleDriverStartTest, WithoutAConsoleTheMessagesGoToStandardOutput) {
  win::MemoryConsole console{20, 5};
  console.Install();
  console.FailEvery(Call::GetConsoleScreenBufferInfo, ERROR_INVALID_HANDLE);
  crt::ResetConsoleState();
  rtl::IsConsole = true;
  rtl::InitStdFiles();
  crt::ConsoleUnitStart();
  EXPECT_EQ(rtl::IOResult(), 0) << "the console's failure must not reach the file operations";
  rtl::Write(rtl::Output, "still said");
  EXPECT_EQ(console.StdOutText(), "still said");
  rtl::Input = rtl::TextRec{};
  rtl::Output = rtl::TextRec{};
  rtl::IsConsole = false;
}

class LineReaderTest : public ConsoleDriverTest {
 protected:
  std::string ReadLine() {
    testing_support::OutputCapture echo;
    crt::ConsoleReadLine(rtl::Input);
    echoed = echo.Pieces();
    return std::string(rtl::Input.BufPtr, rtl::Input.BufEnd);
  }
  void Type(const std::string& text) {
    for (const char c : text) {
      if (c == '\b') {
        console.QueueKey(0x08, 0x08);
      } else if (c == '\r') {
        console.QueueKey(0x0D, 0x0D);
      } else {
        console.QueueKey(static_cast<WORD>(std::toupper(static_cast<unsigned char>(c))), c);
      }
    }
  }
  std::vector<testing_support::Piece> echoed;
};

TEST_F(LineReaderTest, EditsAndEchoesTheLine) {
  Type("ab\bc\r");
  EXPECT_EQ(ReadLine(), "ac\r\n");
  std::vector<std::string> echo;
  for (const auto& piece : echoed) echo.push_back(piece.Text);
  EXPECT_EQ(echo, (std::vector<std::string>{"a", "b", "\b \b", "c", "\r\n"}));
}

TEST_F(LineReaderTest, FullBufferKeepsTheCarriageReturnButNoLineFeed) {
  Type(std::string(126, 'x') + "\r");
  EXPECT_EQ(ReadLine(), std::string(126, 'x') + "\r");
}

TEST_F(LineReaderTest, ExtendedKeysAreDroppedWhole) {
  Type("a");
  console.QueueKey(0x70, 0);  // F1
  Type("b\b\bz\r");
  EXPECT_EQ(ReadLine(), "z\r\n");
  EXPECT_EQ(crt::PendingScan, crt::NoScan);
}

TEST_F(LineReaderTest, BackspaceOnAnEmptyLineEchoesNothing) {
  Type("\b\r");
  EXPECT_EQ(ReadLine(), "\r\n");
  ASSERT_EQ(echoed.size(), 1u);
  EXPECT_EQ(echoed[0].Text, "\r\n");
}

}  // namespace
