#include "win/terminal_render.h"

#include "win/terminal_bytes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<CHAR_INFO> Cells(const std::string& text, WORD attr) {
  std::vector<CHAR_INFO> cells(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    cells[i].Char.AsciiChar = text[i];
    cells[i].Attributes = attr;
  }
  return cells;
}

void Paint(win::TerminalRenderer& r, int x, int y, const std::string& text, WORD attr) {
  const auto cells = Cells(text, attr);
  r.Cells(x, y, cells.data(), static_cast<int>(cells.size()), 80);
}

TEST(TerminalRendererTest, MovesAndSetsColoursOnlyWhenTheyChange) {
  win::TerminalRenderer r(true);
  Paint(r, 2, 1, "ab", 0x1E);
  EXPECT_EQ(r.Take(), "\x1b[2;3H\x1b[0;93;44mab") << "yellow on blue, from scratch";
  Paint(r, 4, 1, "cd", 0x1E);
  EXPECT_EQ(r.Take(), "cd") << "already there, already in colour";
  Paint(r, 6, 1, "e", 0x1A);
  EXPECT_EQ(r.Take(), "\x1b[92me") << "only the foreground changed";
  Paint(r, 7, 1, "f", 0x4A);
  EXPECT_EQ(r.Take(), "\x1b[41mf") << "only the background changed";
  Paint(r, 8, 1, "g", 0x87);
  EXPECT_EQ(r.Take(), "\x1b[37;100mg") << "bit 7 is a bright background";
  r.MoveCursor(0, 1);
  EXPECT_EQ(r.Take(), "\r");
  r.MoveCursor(0, 1);
  EXPECT_EQ(r.Take(), "");
}

TEST(TerminalRendererTest, WindowsColourNumbersBecomeAnsiOnes) {
  const int ansi[8] = {0, 4, 2, 6, 1, 5, 3, 7};
  for (int colour = 0; colour < 8; ++colour) EXPECT_EQ(win::AnsiColour(colour), ansi[colour]);
}

TEST(TerminalRendererTest, BytesBecomeGlyphsNeverControls) {
  win::TerminalRenderer utf8(true);
  Paint(utf8, 0, 0, std::string("\xFE\x1b[2J\x07\x00", 7), 0x07);
  const std::string shown = utf8.Take();
  EXPECT_EQ(shown, "\x1b[1;1H\x1b[0;37;40m\xE2\x96\xA0\xE2\x86\x90[2J\xE2\x80\xA2 ");
  EXPECT_TRUE(win::OnlyRendererSequences(shown));

  win::TerminalRenderer plain(false);
  Paint(plain, 0, 0, std::string("a\x1b\xFE\x00", 4), 0x07);
  EXPECT_EQ(plain.Take(), "\x1b[1;1H\x1b[0;37;40ma?? ");
}

TEST(TerminalRendererTest, ScrollsWithTheTerminalsOwnLineFeed) {
  win::TerminalRenderer r(true);
  r.ScrollUp(24, 0x4F);
  EXPECT_EQ(r.Take(), "\x1b[25;1H\n\x1b[0;97;41m\x1b[2K");
}

TEST(TerminalRendererTest, AfterTheLastColumnTheNextPaintMovesExplicitly) {
  win::TerminalRenderer r(true);
  Paint(r, 78, 3, "xy", 0x07);
  r.Take();
  Paint(r, 0, 4, "z", 0x07);
  EXPECT_EQ(r.Take(), "\x1b[5;1Hz");
}

}  // namespace

namespace {

TEST(TerminalBytesTest, TellsOurSequencesFromControls) {
  EXPECT_TRUE(win::OnlyRendererSequences("\x1b[3;4Hab\x1b[0;97;41m\x1b[2K\r\n\a\xE2\x96\xA0"));
  for (const char* bad : {"\x1b]0;title\a", "\x1b[2J",
                          "\x1b"
                          "c",
                          "a\tb", "\x7f",
                          "\xC2\x9B"
                          "1m",
                          "\xE2\x96", "\x9b"}) {
    EXPECT_FALSE(win::OnlyRendererSequences(bad)) << bad;
  }
}

}  // namespace
