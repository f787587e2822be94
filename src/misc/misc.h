// Writes texts with inline colour codes to the standard output text file.
//
// "||" writes one bar; "|" and two more characters is a colour code:
//   below 16  foreground          24-39  foreground (code-24) + bright background
//   16-23     background (code-16) 40-49  ignored
//   50 and up foreground (code-50) mod 16 + bright background
// Every piece is flushed before the code after it changes the attribute, so
// each piece is painted in the colours current when it was written.
#pragma once

#include <string_view>

namespace misc {

void WriteColor(std::string_view text);

// The text followed by LF CR.
void WriteColorLn(std::string_view text);

}  // namespace misc
