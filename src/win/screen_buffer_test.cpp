#include "win/screen_buffer.h"

#include <gtest/gtest.h>

#include <random>
#include <utility>
#include <vector>

namespace {

constexpr SHORT Columns = 7;
constexpr SHORT Rows = 5;

// What scrolling means, cell by cell: take the source, blank it inside the
// clip, lay it down at the destination inside the clip.
std::vector<char> ReferenceScroll(std::vector<char> screen, SMALL_RECT scroll, SMALL_RECT clip,
                                  COORD destination, char fill) {
  const auto inside = [](int x, int y) { return x >= 0 && y >= 0 && x < Columns && y < Rows; };
  const auto inClip = [&](int x, int y) {
    return inside(x, y) && x >= clip.Left && x <= clip.Right && y >= clip.Top && y <= clip.Bottom;
  };
  std::vector<std::pair<std::pair<int, int>, char>> moved;
  for (int y = scroll.Top; y <= scroll.Bottom; ++y) {
    for (int x = scroll.Left; x <= scroll.Right; ++x) {
      if (!inside(x, y)) continue;
      moved.push_back({{destination.X + x - scroll.Left, destination.Y + y - scroll.Top},
                       screen[y * Columns + x]});
      if (inClip(x, y)) screen[y * Columns + x] = fill;
    }
  }
  for (const auto& [to, c] : moved) {
    if (inClip(to.first, to.second)) screen[to.second * Columns + to.first] = c;
  }
  return screen;
}

TEST(ScreenBufferTest, ScrollMatchesTheCellByCellMeaning) {
  std::mt19937 random(12345);
  const auto pick = [&](int low, int high) {
    return static_cast<SHORT>(std::uniform_int_distribution<int>(low, high)(random));
  };
  for (int round = 0; round < 2000; ++round) {
    win::ScreenBuffer screen(Columns, Rows, 0x07);
    std::vector<char> expected(Columns * Rows);
    std::vector<CHAR_INFO> cells(Columns * Rows);
    for (int i = 0; i < Columns * Rows; ++i) {
      expected[i] = static_cast<char>('A' + i % 26);
      cells[i].Char.AsciiChar = expected[i];
    }
    SMALL_RECT all{0, 0, Columns - 1, Rows - 1};
    screen.Write(cells.data(), COORD{Columns, Rows}, COORD{0, 0}, &all);

    const SHORT left = pick(-2, Columns), top = pick(-2, Rows);
    const SMALL_RECT scroll{left, top, pick(left, Columns + 1), pick(top, Rows + 1)};
    const SHORT clipLeft = pick(-1, Columns), clipTop = pick(-1, Rows);
    const SMALL_RECT clip{clipLeft, clipTop, pick(clipLeft, Columns), pick(clipTop, Rows)};
    const COORD destination{pick(-3, Columns), pick(-3, Rows)};
    const CHAR_INFO fill = win::BlankCell(0x40);

    screen.Scroll(scroll, clip, destination, fill);
    expected = ReferenceScroll(expected, scroll, clip, destination, ' ');
    for (int y = 0; y < Rows; ++y) {
      for (int x = 0; x < Columns; ++x) {
        ASSERT_EQ(screen.Cell(x, y).Char.AsciiChar, expected[y * Columns + x])
            << "round " << round << " at " << x << "," << y;
      }
    }
  }
}

}  // namespace
