// The console's output code page, 437, shown on a UTF-8 terminal.
#pragma once

#include <string_view>

namespace win {

// The UTF-8 text of the glyph that code page 437 shows for `byte`. Control
// bytes have glyphs too (0x1B is an arrow), so nothing here controls a terminal.
std::string_view Cp437Glyph(unsigned char byte);

}  // namespace win
