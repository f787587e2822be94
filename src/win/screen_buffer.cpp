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

CONSOLE_SCREEN_BUFFER_INFO ScreenBuffer::Info(COORD cursor, WORD attributes) const {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  info.dwSize = COORD{columns_, rows_};
  info.dwCursorPosition = cursor;
  info.wAttributes = attributes;
  info.srWindow = SMALL_RECT{0, 0, static_cast<SHORT>(columns_ - 1), static_cast<SHORT>(rows_ - 1)};
  info.dwMaximumWindowSize = info.dwSize;
  return info;
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
  const int left = std::max<int>(scroll.Left, 0);
  const int top = std::max<int>(scroll.Top, 0);
  const int right = std::min<int>(scroll.Right, columns_ - 1);
  const int bottom = std::min<int>(scroll.Bottom, rows_ - 1);
  if (left > right || top > bottom) return;
  const int clipLeft = std::max<int>(clip.Left, 0);
  const int clipTop = std::max<int>(clip.Top, 0);
  const int clipRight = std::min<int>(clip.Right, columns_ - 1);
  const int clipBottom = std::min<int>(clip.Bottom, rows_ - 1);
  const int width = right - left + 1;
  const int dx = destination.X - scroll.Left;
  const int dy = destination.Y - scroll.Top;

  // Take the source, blank it inside the clip, then lay it down at the
  // destination inside the clip: what the destination does not cover stays
  // filled. Whole row segments at a time, as scrolling is what painting
  // does most.
  scratch_.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(bottom - top + 1));
  for (int y = top; y <= bottom; ++y) {
    const CHAR_INFO* row = &Cell(left, y);
    std::copy(row, row + width, scratch_.begin() + (y - top) * width);
  }
  const int fillLeft = std::max(left, clipLeft);
  const int fillRight = std::min(right, clipRight);
  for (int y = std::max(top, clipTop); y <= std::min(bottom, clipBottom); ++y) {
    if (fillLeft <= fillRight) std::fill(&At(fillLeft, y), &At(fillRight, y) + 1, fill);
  }
  const int toLeft = std::max(left + dx, clipLeft);
  const int toRight = std::min(right + dx, clipRight);
  if (toLeft > toRight) return;
  for (int y = top; y <= bottom; ++y) {
    const int to = y + dy;
    if (to < clipTop || to > clipBottom) continue;
    const auto from = scratch_.begin() + (y - top) * width + (toLeft - dx - left);
    std::copy(from, from + (toRight - toLeft + 1), &At(toLeft, to));
  }
}

}  // namespace win
