// Records what the program writes to its standard output text file.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace testing_support {

// One write statement as the console would paint it: its bytes and the
// attribute current when it was flushed.
struct Piece {
  std::string Text;
  std::uint8_t Attr;
  bool operator==(const Piece&) const = default;
};

void PrintTo(const Piece& piece, std::ostream* os);

// Binds the standard output text file to a recorder while it lives.
class OutputCapture {
 public:
  OutputCapture();
  ~OutputCapture();
  OutputCapture(const OutputCapture&) = delete;
  OutputCapture& operator=(const OutputCapture&) = delete;
  const std::vector<Piece>& Pieces() const;
  std::string Text() const;  // all pieces joined
};

}  // namespace testing_support
