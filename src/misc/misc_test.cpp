#include "misc/misc.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "crt/crt_state.h"
#include "rtl/exception.h"
#include "support/output_capture.h"
#include "support/case_name.h"

namespace {

using testing_support::OutputCapture;
using testing_support::Piece;

struct ColorCase {
  const char* name;
  std::string text;
  bool lineEnd;
  std::uint8_t startAttr;
  std::vector<Piece> pieces;         // written before the end or the error
  std::optional<std::string> error;  // the conversion error's message
  friend void PrintTo(const ColorCase& c, std::ostream* os) { *os << c.name; }
};

class ColorWriterTest : public testing::TestWithParam<ColorCase> {};

TEST_P(ColorWriterTest, WritesEachPieceInItsColours) {
  const ColorCase& c = GetParam();
  OutputCapture output;
  crt::CurrentAttr = c.startAttr;
  std::optional<std::string> error;
  try {
    if (c.lineEnd) {
      misc::WriteColorLn(c.text);
    } else {
      misc::WriteColor(c.text);
    }
  } catch (const rtl::EConvertError& e) {
    error = e.what();
  }
  EXPECT_EQ(output.Pieces(), c.pieces);
  EXPECT_EQ(error, c.error);
}

INSTANTIATE_TEST_SUITE_P(
    Markup, ColorWriterTest,
    testing::Values(
        ColorCase{"EmptyText", "", false, 0x07, {{"", 0x07}}, {}},
        ColorCase{"EmptyLine", "", true, 0x07, {{"\n\r", 0x07}}, {}},
        ColorCase{"NoBars", "plain text", false, 0x1E, {{"plain text", 0x1E}}, {}},
        ColorCase{"DoubleBar", "a||b", false, 0x07, {{"a", 0x07}, {"|", 0x07}, {"b", 0x07}}, {}},
        ColorCase{"BlackBackground", "|16x", false, 0xCF, {{"", 0xCF}, {"x", 0x8F}}, {}},
        ColorCase{"LastBackground", "|23x", false, 0x07, {{"", 0x07}, {"x", 0x77}}, {}},
        ColorCase{"Code24", "|24x", false, 0x17, {{"", 0x17}, {"x", 0x90}}, {}},
        ColorCase{"Code39", "|39x", false, 0x17, {{"", 0x17}, {"x", 0x9F}}, {}},
        ColorCase{"Code40Ignored", "|40x", false, 0x17, {{"", 0x17}, {"x", 0x17}}, {}},
        ColorCase{"Code49Ignored", "|49x", false, 0x17, {{"", 0x17}, {"x", 0x17}}, {}},
        ColorCase{"Code66", "|66x", false, 0x17, {{"", 0x17}, {"x", 0x90}}, {}},
        ColorCase{"MinusOne", "|-1x", false, 0x17, {{"", 0x17}, {"x", 0x9F}}, {}},
        ColorCase{"HexWithX", "|xFx", false, 0x10, {{"", 0x10}, {"x", 0x1F}}, {}},
        ColorCase{"HexWithDollar", "|$Fx", false, 0x10, {{"", 0x10}, {"x", 0x1F}}, {}},
        ColorCase{"LeadingBlank", "| 5x", false, 0x10, {{"", 0x10}, {"x", 0x15}}, {}},
        ColorCase{"OutcomeWord",
                  "|10success|08!",
                  true,
                  0x07,
                  {{"", 0x07}, {"success", 0x0A}, {"!\n\r", 0x08}},
                  {}},
        ColorCase{
            "KeyPrompt",
            "|08<|11press any key to exit|08>|07",
            true,
            0x00,
            {{"", 0x00}, {"<", 0x08}, {"press any key to exit", 0x0B}, {">", 0x08}, {"\n\r", 0x07}},
            {}},
        ColorCase{"BarAndDigitAtEnd", "ab|5", false, 0x10, {{"ab", 0x10}, {"", 0x15}}, {}},
        ColorCase{"BarAndDigitAtEndOfLine",
                  "ab|5",
                  true,
                  0x10,
                  {{"ab", 0x10}},
                  "'5\n' is not a valid integer value"},
        ColorCase{
            "BarAtEnd", "ab|", false, 0x07, {{"ab", 0x07}}, "'' is not a valid integer value"},
        ColorCase{"TrailingBlank",
                  "|5 x",
                  false,
                  0x07,
                  {{"", 0x07}},
                  "'5 ' is not a valid integer value"},
        ColorCase{"Letter", "|ab", false, 0x07, {{"", 0x07}}, "'ab' is not a valid integer value"}),
    testing_support::CaseName());

TEST(ColorWriterTest, LongTextReachesTheFileWhole) {
  OutputCapture output;
  const std::string text(300, 'k');
  misc::WriteColor("|03" + text);
  EXPECT_EQ(output.Text(), text);
}

}  // namespace
