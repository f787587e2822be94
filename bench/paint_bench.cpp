// Paints a file of marked-up lines on the controlling terminal, for the
// benchmark: "colour FILE" goes through WriteColorLn and the console driver,
// as the program's messages do; "ansi FILE" writes a file that is already
// terminal bytes in one go, the floor to compare with.
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <unistd.h>

#include "crt/crt_drivers.h"
#include "misc/misc.h"
#include "rtl/halt.h"

namespace {

std::string ReadAll(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s colour|ansi FILE\n", argv[0]);
    return 2;
  }
  const std::string text = ReadAll(argv[2]);
  if (std::string_view(argv[1]) == "ansi") {
    const int tty = ::open("/dev/tty", O_WRONLY);
    for (std::size_t done = 0; done < text.size();) {
      const ssize_t n = ::write(tty, text.data() + done, text.size() - done);
      if (n <= 0) return 1;
      done += static_cast<std::size_t>(n);
    }
    return 0;
  }
  rtl::IsConsole = true;
  rtl::StartUnits({&crt::CrtUnit});
  std::string_view rest = text;
  while (!rest.empty()) {
    const auto end = rest.find('\n');
    misc::WriteColorLn(rest.substr(0, end));
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
  }
  rtl::Halt(0);
}
