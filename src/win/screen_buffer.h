// A console screen buffer in memory: cells, and the two operations that
// change many of them at once, with the clipping the console applies.
#pragma once

#include <vector>

#include "win/win_api.h"

namespace win {

class ScreenBuffer {
 public:
  ScreenBuffer(SHORT columns, SHORT rows, WORD attributes);

  SHORT Columns() const { return columns_; }
  SHORT Rows() const { return rows_; }
  const CHAR_INFO& Cell(int x, int y) const;
  bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < columns_ && y < rows_; }

  // What GetConsoleScreenBufferInfo reports for this buffer: the window is
  // the whole buffer.
  CONSOLE_SCREEN_BUFFER_INFO Info(COORD cursor, WORD attributes) const;

  // Keeps what still fits; new cells are blank in `attributes`.
  void Resize(SHORT columns, SHORT rows, WORD attributes);

  // Copies the cells of a `size` array from `origin` into `region`, clipped
  // to the buffer; `region` becomes the part actually written.
  void Write(const CHAR_INFO* cells, COORD size, COORD origin, SMALL_RECT* region);

  // Moves the `scroll` rectangle to `destination`; inside `clip`, what the
  // move uncovers takes `fill`, and nothing outside `clip` changes.
  void Scroll(const SMALL_RECT& scroll, const SMALL_RECT& clip, COORD destination,
              const CHAR_INFO& fill);

 private:
  CHAR_INFO& At(int x, int y);

  SHORT columns_;
  SHORT rows_;
  std::vector<CHAR_INFO> cells_;
  std::vector<CHAR_INFO> scratch_;  // reused by Scroll
};

CHAR_INFO BlankCell(WORD attributes);

}  // namespace win
