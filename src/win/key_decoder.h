// Turns the bytes a terminal sends for keys into console input records, with
// the virtual-key code, character and modifier state Windows would give.
#pragma once

#include <cstddef>
#include <string_view>

#include "win/win_api.h"

namespace win {

struct DecodedKey {
  std::size_t consumed;  // 0: the bytes may still grow into a longer key
  bool hasRecord;        // false: the bytes were dropped (an unknown sequence)
  INPUT_RECORD record;
};

// Decodes the first key in `bytes`. When `final` is set no more bytes are
// coming soon, so a lone ESC is the Esc key and an unfinished sequence is
// dropped; then something is always consumed.
DecodedKey DecodeKey(std::string_view bytes, bool final);

// A key-down record.
INPUT_RECORD KeyDownRecord(WORD virtualKey, char ascii, DWORD controlState);

// The longest sequence kept while waiting for its end; anything longer is
// dropped.
constexpr std::size_t MaxSequence = 32;

}  // namespace win
