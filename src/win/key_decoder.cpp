#include "win/key_decoder.h"

#include <array>
#include <cstdint>

namespace win {
namespace {

constexpr WORD VkBack = 0x08, VkTab = 0x09, VkReturn = 0x0D, VkEscape = 0x1B, VkSpace = 0x20;
constexpr WORD VkPrior = 0x21, VkNext = 0x22, VkEnd = 0x23, VkHome = 0x24;
constexpr WORD VkLeft = 0x25, VkUp = 0x26, VkRight = 0x27, VkDown = 0x28;
constexpr WORD VkInsert = 0x2D, VkDelete = 0x2E, VkF1 = 0x70;

DecodedKey Need() {
  return DecodedKey{0, false, {}};
}
DecodedKey Drop(std::size_t n) {
  return DecodedKey{n, false, {}};
}
DecodedKey Key(std::size_t n, WORD vk, char ascii, DWORD state) {
  return DecodedKey{n, true, KeyDownRecord(vk, ascii, state)};
}

struct PrintableKey {
  WORD vk;
  bool shift;
};

// A US layout: which key, and whether Shift, types each printable character.
PrintableKey PrintableKeyFor(unsigned char c) {
  if (c >= 'a' && c <= 'z') return {static_cast<WORD>(c - 'a' + 0x41), false};
  if (c >= 'A' && c <= 'Z') return {static_cast<WORD>(c), true};
  if (c >= '0' && c <= '9') return {static_cast<WORD>(c), false};
  switch (c) {
    case ' ':
      return {VkSpace, false};
    case ')':
      return {0x30, true};
    case '!':
      return {0x31, true};
    case '@':
      return {0x32, true};
    case '#':
      return {0x33, true};
    case '$':
      return {0x34, true};
    case '%':
      return {0x35, true};
    case '^':
      return {0x36, true};
    case '&':
      return {0x37, true};
    case '*':
      return {0x38, true};
    case '(':
      return {0x39, true};
    case ';':
      return {0xBA, false};
    case ':':
      return {0xBA, true};
    case '=':
      return {0xBB, false};
    case '+':
      return {0xBB, true};
    case ',':
      return {0xBC, false};
    case '<':
      return {0xBC, true};
    case '-':
      return {0xBD, false};
    case '_':
      return {0xBD, true};
    case '.':
      return {0xBE, false};
    case '>':
      return {0xBE, true};
    case '/':
      return {0xBF, false};
    case '?':
      return {0xBF, true};
    case '`':
      return {0xC0, false};
    case '~':
      return {0xC0, true};
    case '[':
      return {0xDB, false};
    case '{':
      return {0xDB, true};
    case '\\':
      return {0xDC, false};
    case '|':
      return {0xDC, true};
    case ']':
      return {0xDD, false};
    case '}':
      return {0xDD, true};
    case '\'':
      return {0xDE, false};
    default:
      return {0xDE, true};  // '"'
  }
}

// One byte that is a key by itself.
DecodedKey SingleByteKey(unsigned char c, DWORD extra) {
  switch (c) {
    case 0x7F:
    case 0x08:
      return Key(1, VkBack, 0x08, extra);
    case 0x09:
      return Key(1, VkTab, 0x09, extra);
    case 0x0D:
      return Key(1, VkReturn, 0x0D, extra);
    case 0x1B:
      return Key(1, VkEscape, 0x1B, extra);
    case 0x00:
      return Key(1, VkSpace, 0, extra | LEFT_CTRL_PRESSED);
    case 0x1C:
      return Key(1, 0xDC, 0x1C, extra | LEFT_CTRL_PRESSED);
    case 0x1D:
      return Key(1, 0xDD, 0x1D, extra | LEFT_CTRL_PRESSED);
    case 0x1E:
      return Key(1, 0x36, 0x1E, extra | LEFT_CTRL_PRESSED);
    case 0x1F:
      return Key(1, 0xBD, 0x1F, extra | LEFT_CTRL_PRESSED);
    default:
      break;
  }
  if (c < 0x20) {
    return Key(1, static_cast<WORD>(0x40 + c), static_cast<char>(c), extra | LEFT_CTRL_PRESSED);
  }
  const PrintableKey key = PrintableKeyFor(c);
  return Key(1, key.vk, static_cast<char>(c), extra | (key.shift ? SHIFT_PRESSED : 0));
}

// A character beyond ASCII, in UTF-8. No key of the key map types it, so
// its record carries no virtual-key code.
DecodedKey Utf8Key(std::string_view bytes, bool final, DWORD extra) {
  const auto lead = static_cast<unsigned char>(bytes[0]);
  const std::size_t length = lead >= 0xF0 && lead <= 0xF4   ? 4
                             : lead >= 0xE0 && lead <= 0xEF ? 3
                             : lead >= 0xC2 && lead <= 0xDF ? 2
                                                            : 0;
  if (length == 0) return Drop(1);
  for (std::size_t i = 1; i < length; ++i) {
    if (i >= bytes.size()) return final ? Drop(bytes.size()) : Need();
    if ((static_cast<unsigned char>(bytes[i]) & 0xC0) != 0x80) return Drop(i);
  }
  return Key(length, 0, '?', extra);
}

DWORD ModifierState(int parameter) {
  if (parameter < 2) return 0;
  const int bits = (parameter - 1) & 7;
  return ((bits & 1) != 0 ? SHIFT_PRESSED : 0) | ((bits & 2) != 0 ? LEFT_ALT_PRESSED : 0) |
         ((bits & 4) != 0 ? LEFT_CTRL_PRESSED : 0);
}

WORD TildeKey(int number) {
  switch (number) {
    case 1:
    case 7:
      return VkHome;
    case 2:
      return VkInsert;
    case 3:
      return VkDelete;
    case 4:
    case 8:
      return VkEnd;
    case 5:
      return VkPrior;
    case 6:
      return VkNext;
    case 11:
    case 12:
    case 13:
    case 14:
    case 15:
      return static_cast<WORD>(VkF1 + number - 11);
    case 17:
    case 18:
    case 19:
    case 20:
    case 21:
      return static_cast<WORD>(VkF1 + 5 + number - 17);
    case 23:
      return static_cast<WORD>(VkF1 + 10);
    case 24:
      return static_cast<WORD>(VkF1 + 11);
    default:
      return 0;
  }
}

WORD LetterKey(char final) {
  switch (final) {
    case 'A':
      return VkUp;
    case 'B':
      return VkDown;
    case 'C':
      return VkRight;
    case 'D':
      return VkLeft;
    case 'H':
      return VkHome;
    case 'F':
      return VkEnd;
    case 'P':
      return VkF1;
    case 'Q':
      return static_cast<WORD>(VkF1 + 1);
    case 'R':
      return static_cast<WORD>(VkF1 + 2);
    case 'S':
      return static_cast<WORD>(VkF1 + 3);
    default:
      return 0;
  }
}

// ESC [ parameters final. `start` is the index after the '['; `prefix` bytes
// (an Alt's ESC) come before `bytes` and count towards the length limit.
DecodedKey ControlSequence(std::string_view bytes, std::size_t start, bool final, DWORD extra,
                           std::size_t prefix = 0) {
  // The Linux console's F1 to F5: ESC [ [ A to E.
  if (start < bytes.size() && bytes[start] == '[') {
    if (start + 1 >= bytes.size()) return final ? Drop(bytes.size()) : Need();
    const char letter = bytes[start + 1];
    if (letter >= 'A' && letter <= 'E') {
      return Key(start + 2, static_cast<WORD>(VkF1 + letter - 'A'), 0, extra);
    }
    return Drop(start + 2);
  }
  std::array<int, 4> parameters{};
  std::size_t count = 0;
  bool privateMarker = false;
  bool digits = false;
  for (std::size_t i = start; i < bytes.size(); ++i) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (i + prefix >= MaxSequence) return Drop(i);
    if (c >= '0' && c <= '9') {
      if (count < parameters.size() && parameters[count] < 10000) {
        parameters[count] = parameters[count] * 10 + (c - '0');
      }
      digits = true;
    } else if (c == ';') {
      ++count;
    } else if (c >= 0x3C && c <= 0x3F) {
      privateMarker = true;
    } else if (c >= 0x20 && c <= 0x2F) {
      privateMarker = true;  // intermediates: nothing a key sends
    } else if (c >= 0x40 && c <= 0x7E) {
      const std::size_t used = i + 1;
      if (c == 'M' && i == start) {
        // An X10 mouse report carries three raw bytes after the M.
        if (bytes.size() < used + 3) return final ? Drop(bytes.size()) : Need();
        return Drop(used + 3);
      }
      if (privateMarker) return Drop(used);
      if (c == 'Z') return Key(used, VkTab, 0x09, extra | SHIFT_PRESSED);
      if (c == 'I' || c == 'O') {
        INPUT_RECORD focus{};
        focus.EventType = FOCUS_EVENT;
        focus.Event.FocusEvent.bSetFocus = c == 'I' ? TRUE : FALSE;
        return DecodedKey{used, true, focus};
      }
      const DWORD modifiers = count >= 1 ? ModifierState(parameters[1]) : 0;
      const WORD vk = c == '~' ? TildeKey(parameters[0]) : LetterKey(static_cast<char>(c));
      if (vk == 0 || (c != '~' && digits && parameters[0] > 1)) return Drop(used);
      return Key(used, vk, 0, extra | modifiers);
    } else {
      return Drop(i);  // a control byte cuts the sequence short; it is a key of its own
    }
  }
  return final ? Drop(bytes.size()) : Need();
}

// ESC O final, or ESC O modifier final.
DecodedKey ShiftThree(std::string_view bytes, bool final, DWORD extra) {
  std::size_t i = 2;
  DWORD modifiers = 0;
  if (i < bytes.size() && bytes[i] >= '2' && bytes[i] <= '8') {
    modifiers = ModifierState(bytes[i] - '0');
    ++i;
  }
  if (i >= bytes.size()) return final ? Drop(bytes.size()) : Need();
  const WORD vk = LetterKey(bytes[i]);
  if (vk == 0) return Drop(i + 1);
  return Key(i + 1, vk, 0, extra | modifiers);
}

DecodedKey WithPrefix(DecodedKey key, std::size_t prefix) {
  if (key.consumed != 0) key.consumed += prefix;
  return key;
}

}  // namespace

INPUT_RECORD KeyDownRecord(WORD virtualKey, char ascii, DWORD controlState) {
  INPUT_RECORD record{};
  record.EventType = KEY_EVENT;
  record.Event.KeyEvent.bKeyDown = TRUE;
  record.Event.KeyEvent.wRepeatCount = 1;
  record.Event.KeyEvent.wVirtualKeyCode = virtualKey;
  record.Event.KeyEvent.uChar.AsciiChar = ascii;
  record.Event.KeyEvent.dwControlKeyState = controlState;
  return record;
}

DecodedKey DecodeKey(std::string_view bytes, bool final) {
  if (bytes.empty()) return Need();
  const auto first = static_cast<unsigned char>(bytes[0]);
  if (first >= 0x80) return Utf8Key(bytes, final, 0);
  if (first != 0x1B) return SingleByteKey(first, 0);

  if (bytes.size() == 1) return final ? SingleByteKey(0x1B, 0) : Need();
  const auto second = static_cast<unsigned char>(bytes[1]);
  if (second == '[') return ControlSequence(bytes, 2, final, 0);
  if (second == 'O') {
    if (bytes.size() == 2 && final) return Key(2, 0x4F, 'O', LEFT_ALT_PRESSED | SHIFT_PRESSED);
    return ShiftThree(bytes, final, 0);
  }
  // Alt held down: the terminal sends ESC before the key.
  if (second == 0x1B) {
    if (bytes.size() == 2) return final ? Key(2, VkEscape, 0x1B, LEFT_ALT_PRESSED) : Need();
    const auto third = static_cast<unsigned char>(bytes[2]);
    if (third == '[') {
      return WithPrefix(ControlSequence(bytes.substr(1), 2, final, LEFT_ALT_PRESSED, 1), 1);
    }
    if (third == 'O') return WithPrefix(ShiftThree(bytes.substr(1), final, LEFT_ALT_PRESSED), 1);
    return Key(2, VkEscape, 0x1B, LEFT_ALT_PRESSED);
  }
  if (second >= 0x80) return WithPrefix(Utf8Key(bytes.substr(1), final, LEFT_ALT_PRESSED), 1);
  return WithPrefix(SingleByteKey(second, LEFT_ALT_PRESSED), 1);
}

}  // namespace win
