#include "win/key_decoder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/case_name.h"

namespace {

constexpr DWORD Shift = SHIFT_PRESSED;
constexpr DWORD Ctrl = LEFT_CTRL_PRESSED;
constexpr DWORD Alt = LEFT_ALT_PRESSED;

struct KeyBytes {
  const char* name;
  std::string bytes;
  bool final;
  std::size_t consumed;
  bool hasRecord;
  WORD vk;
  char ascii;
  DWORD state;
  friend void PrintTo(const KeyBytes& c, std::ostream* os) { *os << c.name; }
};

class KeyDecoderTest : public testing::TestWithParam<KeyBytes> {};

TEST_P(KeyDecoderTest, DecodesLikeWindowsWould) {
  const KeyBytes& c = GetParam();
  const win::DecodedKey key = win::DecodeKey(c.bytes, c.final);
  EXPECT_EQ(key.consumed, c.consumed);
  ASSERT_EQ(key.hasRecord, c.hasRecord);
  if (!c.hasRecord) return;
  ASSERT_EQ(key.record.EventType, KEY_EVENT);
  const KEY_EVENT_RECORD& k = key.record.Event.KeyEvent;
  EXPECT_TRUE(k.bKeyDown);
  EXPECT_EQ(k.wVirtualKeyCode, c.vk);
  EXPECT_EQ(k.uChar.AsciiChar, c.ascii);
  EXPECT_EQ(k.dwControlKeyState, c.state);
}

const std::string Esc = "\x1b";

INSTANTIATE_TEST_SUITE_P(
    Bytes, KeyDecoderTest,
    testing::Values(
        KeyBytes{"Letter", "a", false, 1, true, 0x41, 'a', 0},
        KeyBytes{"ShiftedLetter", "Q", false, 1, true, 0x51, 'Q', Shift},
        KeyBytes{"Digit", "7", false, 1, true, 0x37, '7', 0},
        KeyBytes{"ShiftedDigit", "@", false, 1, true, 0x32, '@', Shift},
        KeyBytes{"Punctuation", "/", false, 1, true, 0xBF, '/', 0},
        KeyBytes{"ShiftedPunctuation", "\"", false, 1, true, 0xDE, '"', Shift},
        KeyBytes{"Space", " ", false, 1, true, 0x20, ' ', 0},
        KeyBytes{"Enter", "\r", false, 1, true, 0x0D, '\r', 0},
        KeyBytes{"Tab", "\t", false, 1, true, 0x09, '\t', 0},
        KeyBytes{"Delete127IsBackspace", "\x7f", false, 1, true, 0x08, 0x08, 0},
        KeyBytes{"Backspace8", "\x08", false, 1, true, 0x08, 0x08, 0},
        KeyBytes{"CtrlC", "\x03", false, 1, true, 0x43, 0x03, Ctrl},
        KeyBytes{"CtrlJ", "\n", false, 1, true, 0x4A, '\n', Ctrl},
        KeyBytes{"CtrlSpace", std::string(1, '\0'), false, 1, true, 0x20, 0, Ctrl},
        KeyBytes{"CtrlBackslash", "\x1c", false, 1, true, 0xDC, 0x1C, Ctrl},
        KeyBytes{"CtrlUnderscore", "\x1f", false, 1, true, 0xBD, 0x1F, Ctrl},
        KeyBytes{"LoneEscWaits", Esc, false, 0, false, 0, 0, 0},
        KeyBytes{"LoneEscAfterTheWait", Esc, true, 1, true, 0x1B, 0x1B, 0},
        KeyBytes{"AltLetter", Esc + "x", false, 2, true, 0x58, 'x', Alt},
        KeyBytes{"AltCtrlLetter", Esc + "\x01", false, 2, true, 0x41, 0x01, Alt | Ctrl},
        KeyBytes{"AltEsc", Esc + Esc, true, 2, true, 0x1B, 0x1B, Alt},
        KeyBytes{"Up", Esc + "[A", false, 3, true, 0x26, 0, 0},
        KeyBytes{"CtrlRight", Esc + "[1;5C", false, 6, true, 0x27, 0, Ctrl},
        KeyBytes{"ShiftAltCtrlEnd", Esc + "[1;8F", false, 6, true, 0x23, 0, Shift | Alt | Ctrl},
        KeyBytes{"HomeSs3", Esc + "OH", false, 3, true, 0x24, 0, 0},
        KeyBytes{"F1Ss3", Esc + "OP", false, 3, true, 0x70, 0, 0},
        KeyBytes{"ShiftF2Csi", Esc + "[1;2Q", false, 6, true, 0x71, 0, Shift},
        KeyBytes{"F5", Esc + "[15~", false, 5, true, 0x74, 0, 0},
        KeyBytes{"F12Alt", Esc + "[24;3~", false, 7, true, 0x7B, 0, Alt},
        KeyBytes{"Insert", Esc + "[2~", false, 4, true, 0x2D, 0, 0},
        KeyBytes{"DeleteCtrl", Esc + "[3;5~", false, 6, true, 0x2E, 0, Ctrl},
        KeyBytes{"PageUp", Esc + "[5~", false, 4, true, 0x21, 0, 0},
        KeyBytes{"PageDown", Esc + "[6~", false, 4, true, 0x22, 0, 0},
        KeyBytes{"HomeTilde", Esc + "[1~", false, 4, true, 0x24, 0, 0},
        KeyBytes{"EndTilde", Esc + "[4~", false, 4, true, 0x23, 0, 0},
        KeyBytes{"LinuxF3", Esc + "[[C", false, 4, true, 0x72, 0, 0},
        KeyBytes{"ShiftTab", Esc + "[Z", false, 3, true, 0x09, '\t', Shift},
        KeyBytes{"AltUpWithTwoEscapes", Esc + Esc + "[A", false, 4, true, 0x26, 0, Alt},
        KeyBytes{"UnfinishedSequenceWaits", Esc + "[1;5", false, 0, false, 0, 0, 0},
        KeyBytes{"UnfinishedSequenceDroppedWhole", Esc + "[1;5", true, 5, false, 0, 0, 0},
        KeyBytes{"UnknownSequenceDroppedWhole", Esc + "[99~rest", false, 5, false, 0, 0, 0},
        KeyBytes{"BracketedPasteMarkerDropped", Esc + "[200~", false, 6, false, 0, 0, 0},
        KeyBytes{"PrivateSequenceDropped", Esc + "[?1;2c", false, 7, false, 0, 0, 0},
        KeyBytes{"LateCursorReportDropped", Esc + "[24;80R", false, 8, false, 0, 0, 0},
        KeyBytes{"ControlByteEndsASequence", Esc + "[1\x03", false, 3, false, 0, 0, 0},
        KeyBytes{"X10MouseReportDropped", Esc + "[M !!", false, 6, false, 0, 0, 0},
        KeyBytes{"Utf8CharacterIsOneRecord", "\xC3\xA9x", false, 2, true, 0, '?', 0},
        KeyBytes{"Utf8Waits", "\xE2\x82", false, 0, false, 0, 0, 0},
        KeyBytes{"StrayContinuationDropped", "\x80z", false, 1, false, 0, 0, 0}),
    testing_support::CaseName());

// Decodes a stream the way the reader does: bytes arrive in pieces; a
// timeout (final) comes only when nothing more is buffered to decode.
std::vector<std::string> DecodeInPieces(const std::string& stream, std::size_t piece) {
  std::vector<std::string> keys;
  std::string buffered;
  const auto drain = [&](bool final) {
    for (;;) {
      const auto key = win::DecodeKey(buffered, final && !buffered.empty());
      if (key.consumed == 0) return;
      EXPECT_LE(key.consumed, buffered.size());
      if (key.hasRecord) {
        const auto& k = key.record.Event.KeyEvent;
        keys.push_back(std::to_string(key.record.EventType) + ":" +
                       std::to_string(k.wVirtualKeyCode) + ":" +
                       std::to_string(static_cast<int>(k.uChar.AsciiChar)) + ":" +
                       std::to_string(k.dwControlKeyState));
      }
      buffered.erase(0, key.consumed);
    }
  };
  for (std::size_t i = 0; i < stream.size(); i += piece) {
    buffered += stream.substr(i, piece);
    drain(false);
    EXPECT_LE(buffered.size(), win::MaxSequence) << "waiting on more than one sequence";
  }
  drain(true);
  return keys;
}

TEST(KeyDecoderSplitTest, ThePiecesBytesArriveInDoNotChangeTheKeys) {
  const std::string stream = "ab" + Esc + "[1;5C\x03" + Esc + "x" + Esc + "[15~\xC3\xA9" + Esc +
                             "[99~" + Esc + "OP\r" + Esc + Esc + "[A";
  const auto whole = DecodeInPieces(stream, stream.size());
  ASSERT_EQ(whole.size(), 10u);
  for (std::size_t piece = 1; piece < 8; ++piece) {
    EXPECT_EQ(DecodeInPieces(stream, piece), whole) << "pieces of " << piece;
  }
}

TEST(KeyDecoderSplitTest, AltBeforeAnEndlessSequenceCountsTowardsTheLimit) {
  // Found by fuzzing: the Alt's ESC let the buffer grow one byte past the limit.
  DecodeInPieces("x" + Esc + Esc + "[" + std::string(60, ';'), 2);
}

TEST(KeyDecoderSplitTest, EndlessSequenceIsDroppedAtTheLimit) {
  const std::string endless = Esc + "[" + std::string(100, '1');
  const auto key = win::DecodeKey(endless, false);
  EXPECT_GT(key.consumed, 0u);
  EXPECT_LE(key.consumed, win::MaxSequence);
  EXPECT_FALSE(key.hasRecord);
}

}  // namespace
