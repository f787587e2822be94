// Turns console cells into the bytes a terminal needs to show them.
//
// The only sequences sent:
//   ESC [ row ; col H     move the cursor (1-based)
//   CR                    move the cursor to the start of its row
//   ESC [ 0 ; fg ; bg m   set both colours from scratch
//   ESC [ fg m, ESC [ bg m, ESC [ fg ; bg m   change one or both colours
//   ESC [ 0 m             back to the terminal's own colours
//   LF                    on the bottom row: scroll everything up one row
//   ESC [ 2 K             blank the cursor's row in the current background
//   BEL                   ring the bell
// Cell bytes are never sent as they are: each becomes the glyph code page
// 437 shows for it, so no text can act as a terminal control.
#pragma once

#include <string>

#include "win/win_api.h"

namespace win {

class TerminalRenderer {
 public:
  explicit TerminalRenderer(bool utf8) : utf8_(utf8) {}

  // Paints `count` cells from column x of row y, on a screen `columns` wide.
  void Cells(int x, int y, const CHAR_INFO* cells, int count, int columns);
  // Scrolls the whole screen up one row; the new bottom row is blank in
  // the background of `fill`.
  void ScrollUp(int bottomRow, WORD fill);
  void MoveCursor(int x, int y);
  void Bell();
  // The terminal's cursor or colours may have changed behind our back.
  void Forget();
  // Back to the terminal's colours.
  void ResetColours();

  // The bytes gathered since the last call.
  std::string Take();
  bool HasPending() const { return !out_.empty(); }
  std::size_t PendingSize() const { return out_.size(); }

 private:
  void SetAttribute(WORD attr);
  void AppendGlyph(unsigned char byte);

  bool utf8_;
  std::string out_;
  int attr_ = -1;  // unknown
  int x_ = -1;     // unknown
  int y_ = -1;
};

// The ANSI number (0-7) of a Windows colour's low three bits: Windows counts
// blue as 1 and red as 4, ANSI the other way round.
int AnsiColour(int windowsColour);

}  // namespace win
