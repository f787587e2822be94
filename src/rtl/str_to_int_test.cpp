#include "rtl/str_to_int.h"

#include <gtest/gtest.h>

#include <optional>

#include "rtl/exception.h"

namespace {

struct Conversion {
  const char* text;
  std::optional<std::int32_t> value;  // none: not an integer
  friend void PrintTo(const Conversion& c, std::ostream* os) { *os << '"' << c.text << '"'; }
};

class StrToIntTest : public testing::TestWithParam<Conversion> {};

TEST_P(StrToIntTest, FollowsTheIntegerRules) {
  const Conversion& c = GetParam();
  if (c.value) {
    EXPECT_EQ(rtl::StrToInt(c.text), *c.value);
  } else {
    EXPECT_THROW(rtl::StrToInt(c.text), rtl::EConvertError);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, StrToIntTest,
    testing::Values(
        Conversion{"7", 7}, Conversion{"08", 8}, Conversion{"99", 99}, Conversion{" 5", 5},
        Conversion{"  12", 12}, Conversion{"-1", -1}, Conversion{"+7", 7}, Conversion{"-0", 0},
        Conversion{"$F", 15}, Conversion{"xF", 15}, Conversion{"Xa", 10}, Conversion{"0x1f", 31},
        Conversion{"0X1F", 31}, Conversion{"-$F", -15}, Conversion{"0", 0},
        Conversion{"2147483647", 2147483647}, Conversion{"-2147483648", -2147483647 - 1},
        Conversion{"$FFFFFFFF", -1}, Conversion{"", {}}, Conversion{" ", {}}, Conversion{"5 ", {}},
        Conversion{"-", {}}, Conversion{"+", {}}, Conversion{"--1", {}}, Conversion{"$", {}},
        Conversion{"x", {}}, Conversion{"0x", {}}, Conversion{"1a", {}}, Conversion{"ab", {}},
        Conversion{"$G", {}}, Conversion{"5\n", {}}, Conversion{"\t5", {}},
        Conversion{"2147483648", {}}, Conversion{"$100000000", {}}));

TEST(StrToIntTest, ErrorNamesTheTextExactly) {
  try {
    rtl::StrToInt("4\x1b");
    FAIL() << "no error";
  } catch (const rtl::EConvertError& e) {
    EXPECT_STREQ(e.what(), "'4\x1b' is not a valid integer value");
    EXPECT_STREQ(e.ClassName(), "EConvertError");
  }
}

}  // namespace
