#include "win/terminal_render.h"

#include "win/cp437.h"

namespace win {
namespace {

void AppendNumber(std::string& out, int n) {
  out += std::to_string(n);
}

int Foreground(WORD attr) {
  return ((attr & 0x08) != 0 ? 90 : 30) + AnsiColour(attr & 0x07);
}

int Background(WORD attr) {
  return ((attr & 0x80) != 0 ? 100 : 40) + AnsiColour((attr >> 4) & 0x07);
}

}  // namespace

int AnsiColour(int windowsColour) {
  return ((windowsColour & 1) << 2) | (windowsColour & 2) | ((windowsColour & 4) >> 2);
}

void TerminalRenderer::SetAttribute(WORD attr) {
  attr &= 0xFF;
  if (attr_ == attr) return;
  const bool fgChanged = attr_ < 0 || Foreground(static_cast<WORD>(attr_)) != Foreground(attr);
  const bool bgChanged = attr_ < 0 || Background(static_cast<WORD>(attr_)) != Background(attr);
  out_ += "\x1b[";
  if (attr_ < 0) out_ += "0;";
  if (fgChanged) AppendNumber(out_, Foreground(attr));
  if (fgChanged && bgChanged) out_ += ';';
  if (bgChanged) AppendNumber(out_, Background(attr));
  out_ += 'm';
  attr_ = attr;
}

void TerminalRenderer::AppendGlyph(unsigned char byte) {
  if (utf8_) {
    out_ += Cp437Glyph(byte);
  } else {
    out_ += byte >= 0x20 && byte < 0x7F ? static_cast<char>(byte) : byte == 0 ? ' ' : '?';
  }
}

void TerminalRenderer::MoveCursor(int x, int y) {
  if (x == x_ && y == y_) return;
  if (y == y_ && x == 0) {
    out_ += '\r';
  } else {
    out_ += "\x1b[";
    AppendNumber(out_, y + 1);
    out_ += ';';
    AppendNumber(out_, x + 1);
    out_ += 'H';
  }
  x_ = x;
  y_ = y;
}

void TerminalRenderer::Cells(int x, int y, const CHAR_INFO* cells, int count, int columns) {
  if (count <= 0) return;
  MoveCursor(x, y);
  for (int i = 0; i < count; ++i) {
    SetAttribute(cells[i].Attributes);
    AppendGlyph(static_cast<unsigned char>(cells[i].Char.AsciiChar));
  }
  x_ += count;
  // In the last column terminals hold the cursor in a pending wrap whose
  // position they disagree on; the next move says where to go.
  if (x_ >= columns) x_ = y_ = -1;
}

void TerminalRenderer::ScrollUp(int bottomRow, WORD fill) {
  MoveCursor(0, bottomRow);
  out_ += '\n';
  SetAttribute(fill);
  out_ += "\x1b[2K";
}

void TerminalRenderer::Bell() {
  out_ += '\a';
}

void TerminalRenderer::Forget() {
  attr_ = x_ = y_ = -1;
}

void TerminalRenderer::ResetColours() {
  out_ += "\x1b[0m";
  attr_ = -1;
}

std::string TerminalRenderer::Take() {
  std::string bytes;
  bytes.swap(out_);
  return bytes;
}

}  // namespace win
