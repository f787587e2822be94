#pragma once

#include <cstdint>

namespace rtl {

// The mode word of a file record.
constexpr std::uint16_t fmClosed = 0xD7B0;
constexpr std::uint16_t fmInput = 0xD7B1;
constexpr std::uint16_t fmOutput = 0xD7B2;
constexpr std::uint16_t fmInOut = 0xD7B3;

}  // namespace rtl
