#include "win/screen_buffer.h"

#include <algorithm>
#include <utility>

namespace win {

CHAR_INFO BlankCell(WORD attributes) {
  CHAR_INFO blank{};
  blank.Char.AsciiChar = ' ';
  blank.Attributes = attributes;
  return blank;
}

ScreenBuffer::ScreenBuffer(SHORT columns, SHORT rows, WORD attributes)
    : columns_(std::max<SHORT>(columns, 1)),
      rows_(std::max<SHORT>(rows, 1)),
      cells_(static_cast<std::size_t>(columns_) * static_cast<std::size_t>(rows_),
             BlankCell(attributes)) {}

const CHAR_INFO& ScreenBuffer::Cell(int x, int y) const {
  return cells_.at(static_cast<std::size_t>(y) * static_cast<std::size_t>(columns_) +
                   static_cast<std::size_t>(x));
}

CHAR_INFO& ScreenBuffer::At(int x, int y) {
  return const_cast<CHAR_INFO&>(Cell(x, y));
}

void ScreenBuffer::Resize(SHORT columns, SHORT rows, WORD attributes) {
  ScreenBuffer resized(columns, rows, attributes);
  for (int y = 0; y < std::min(rows_, resized.rows_); ++y) {
    for (int x = 0; x < std::min(columns_, resized.columns_); ++x) resized.At(x, y) = Cell(x, y);
  }
  *this = std::move(resized);
}

void ScreenBuffer::Write(const CHAR_INFO* cells, COORD size, COORD origin, SMALL_RECT* region) {
  const int left = std::max<int>(region->Left, 0);
  const int top = std::max<int>(region->Top, 0);
  const int right = std::min<int>(region->Right, columns_ - 1);
  const int bottom = std::min<int>(region->Bottom, rows_ - 1);
  for (int y = top; y <= bottom; ++y) {
    const int sourceY = origin.Y + (y - region->Top);
    if (sourceY < 0 || sourceY >= size.Y) continue;
    for (int x = left; x <= right; ++x) {
      const int sourceX = origin.X + (x - region->Left);
      if (sourceX < 0 || sourceX >= size.X) continue;
      At(x, y) = cells[sourceY * size.X + sourceX];
    }
  }
  *region = SMALL_RECT{static_cast<SHORT>(left), static_cast<SHORT>(top), static_cast<SHORT>(right),
                       static_cast<SHORT>(bottom)};
}

void ScreenBuffer::Scroll(const SMALL_RECT& scroll, const SMALL_RECT& clip, COORD destination,
                          const CHAR_INFO& fill) {
  const auto inClip = [&](int x, int y) {
    return Contains(x, y) && x >= clip.Left && x <= clip.Right && y >= clip.Top && y <= clip.Bottom;
  };
  // Take the source, blank it, then lay it down at the destination: what the
  // destination does not cover stays filled.
  std::vector<std::pair<COORD, CHAR_INFO>> moved;
  for (int y = scroll.Top; y <= scroll.Bottom; ++y) {
    for (int x = scroll.Left; x <= scroll.Right; ++x) {
      if (!Contains(x, y)) continue;
      const COORD to{static_cast<SHORT>(destination.X + x - scroll.Left),
                     static_cast<SHORT>(destination.Y + y - scroll.Top)};
      moved.emplace_back(to, Cell(x, y));
      if (inClip(x, y)) At(x, y) = fill;
    }
  }
  for (const auto& [to, cell] : moved) {
    if (inClip(to.X, to.Y)) At(to.X, to.Y) = cell;
  }
}

}  // namespace win
