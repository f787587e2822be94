#include "win/terminal_bytes.h"

#include <cstdint>

namespace win {
namespace {

// ESC [ digits and semicolons, then H, m or K.
std::size_t SequenceLength(std::string_view bytes, std::size_t at) {
  if (at + 1 >= bytes.size() || bytes[at + 1] != '[') return 0;
  for (std::size_t i = at + 2; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if ((c >= '0' && c <= '9') || c == ';') continue;
    return c == 'H' || c == 'm' || c == 'K' ? i + 1 - at : 0;
  }
  return 0;
}

// A whole UTF-8 character that is not a control; 0 otherwise.
std::size_t PrintableUtf8Length(std::string_view bytes, std::size_t at) {
  const auto lead = static_cast<unsigned char>(bytes[at]);
  const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
  if (length == 0 || at + length > bytes.size()) return 0;
  std::uint32_t point = lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(bytes[at + i]);
    if ((next & 0xC0) != 0x80) return 0;
    point = (point << 6) | (next & 0x3F);
  }
  return point >= 0x80 && point <= 0x9F ? 0 : length;
}

}  // namespace

bool OnlyRendererSequences(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size();) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    std::size_t length = 1;
    if (c == 0x1B) {
      length = SequenceLength(bytes, i);
    } else if (c >= 0x80) {
      length = PrintableUtf8Length(bytes, i);
    } else if ((c < 0x20 && c != '\r' && c != '\n' && c != '\a') || c == 0x7F) {
      length = 0;
    }
    if (length == 0) return false;
    i += length;
  }
  return true;
}

}  // namespace win
