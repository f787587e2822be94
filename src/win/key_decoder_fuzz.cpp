// Any byte stream, split into any pieces: the decoder always makes progress,
// never holds more than one sequence, and the pieces never change the keys.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "win/key_decoder.h"

namespace {

std::vector<std::string> Decode(std::string_view stream, std::size_t piece) {
  std::vector<std::string> keys;
  std::string buffered;
  const auto drain = [&](bool final) {
    for (;;) {
      const auto key = win::DecodeKey(buffered, final && !buffered.empty());
      if (key.consumed == 0) {
        if (final && !buffered.empty()) std::abort();  // a timeout must settle everything
        return;
      }
      if (key.consumed > buffered.size()) std::abort();
      if (key.hasRecord) {
        const auto& k = key.record.Event.KeyEvent;
        keys.push_back(std::to_string(key.record.EventType) + ":" +
                       std::to_string(k.wVirtualKeyCode) + ":" +
                       std::to_string(static_cast<unsigned char>(k.uChar.AsciiChar)) + ":" +
                       std::to_string(k.dwControlKeyState));
      }
      buffered.erase(0, key.consumed);
    }
  };
  for (std::size_t i = 0; i < stream.size(); i += piece) {
    buffered.append(stream.substr(i, piece));
    drain(false);
    if (buffered.size() > win::MaxSequence) std::abort();  // unbounded buffering
  }
  drain(true);
  return keys;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::string_view stream(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::size_t piece = data[0] % 16 + 1;
  if (Decode(stream, stream.size() + 1) != Decode(stream, piece)) std::abort();
  return 0;
}
