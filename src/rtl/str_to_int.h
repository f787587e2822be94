#pragma once

#include <cstdint>
#include <string_view>

namespace rtl {

// Leading blanks, an optional sign, then decimal digits to the end, or a
// hexadecimal number after "$", "x", "X", "0x" or "0X". Anything else raises
// EConvertError "'<text>' is not a valid integer value".
std::int32_t StrToInt(std::string_view text);

}  // namespace rtl
