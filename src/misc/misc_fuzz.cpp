// Any text through the colour writer and the console driver: no crash but
// the conversion error, and nothing painted reaches a terminal as a control.
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "crt/crt_drivers.h"
#include "crt/crt_state.h"
#include "misc/misc.h"
#include "rtl/exception.h"
#include "rtl/halt.h"
#include "rtl/io_result.h"
#include "win/memory_console.h"
#include "win/terminal_bytes.h"
#include "win/terminal_render.h"

namespace {

void RenderAndCheck(const CHAR_INFO* cells, int count, int columns) {
  for (const bool utf8 : {true, false}) {
    win::TerminalRenderer renderer(utf8);
    for (int start = 0; start < count; start += columns) {
      renderer.Cells(0, start / columns, cells + start, std::min(columns, count - start), columns);
    }
    renderer.ScrollUp(3, cells[0].Attributes);
    if (!win::OnlyRendererSequences(renderer.Take())) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  win::MemoryConsole console(40, 6);
  console.Install();
  crt::ResetConsoleState();
  rtl::IsConsole = true;
  crt::ConsoleUnitStart();
  try {
    misc::WriteColorLn(text);
  } catch (const rtl::EConvertError&) {
  }
  std::vector<CHAR_INFO> screen;
  for (int y = 0; y < console.Rows(); ++y) {
    for (int x = 0; x < console.Columns(); ++x) screen.push_back(console.Cell(x, y));
  }
  RenderAndCheck(screen.data(), static_cast<int>(screen.size()), console.Columns());

  // The same bytes as raw cells with any attributes.
  std::vector<CHAR_INFO> cells(size / 2 + 1);
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    cells[i / 2].Char.AsciiChar = static_cast<char>(data[i]);
    cells[i / 2].Attributes = data[i + 1];
  }
  RenderAndCheck(cells.data(), static_cast<int>(cells.size()), 16);

  rtl::Input = rtl::TextRec{};
  rtl::Output = rtl::TextRec{};
  rtl::IOResult();
  return 0;
}
