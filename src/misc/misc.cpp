#include "misc/misc.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "crt/crt_state.h"
#include "rtl/str_to_int.h"
#include "rtl/text_file.h"

namespace misc {
namespace {

void ApplyColorCode(std::int32_t code) {
  const auto low = [](std::int32_t value) { return static_cast<std::uint8_t>(value & 0xFF); };
  if (code < 16) {
    crt::SetForeground(low(code));
  } else if (code <= 23) {
    crt::SetBackground(low(code));
  } else if (code <= 39) {
    crt::SetForeground(low(code - 24 + 128));
  } else if (code >= 50) {
    crt::SetForeground(low(code - 50 + 128));
  }
}

}  // namespace

void WriteColor(std::string_view text) {
  std::string_view rest = text;
  for (auto bar = rest.find('|'); bar != std::string_view::npos; bar = rest.find('|')) {
    rtl::Write(rtl::Output, rest.substr(0, bar));
    if (bar + 1 < rest.size() && rest[bar + 1] == '|') {
      rtl::Write(rtl::Output, "|");
      rest.remove_prefix(bar + 2);
    } else {
      ApplyColorCode(rtl::StrToInt(rest.substr(bar + 1, 2)));
      rest.remove_prefix(std::min(bar + 3, rest.size()));
    }
  }
  rtl::Write(rtl::Output, rest);
}

void WriteColorLn(std::string_view text) {
  std::string line(text);
  line += "\n\r";
  WriteColor(line);
}

}  // namespace misc
