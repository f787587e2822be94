// A check for what reaches a terminal: only the renderer's own sequences,
// and text that is printable UTF-8 or ASCII.
#pragma once

#include <string_view>

namespace win {

bool OnlyRendererSequences(std::string_view bytes);

}  // namespace win
