#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <string>

#include "support/number_value.hpp"

namespace quor::number_text {
namespace {

struct Case {
  double value;
  std::u16string_view text;
};

TEST(NumberText, PlainForm) {
  // clang-format off
  const Case cases[] = {
      {0.0, u"0"}, {-0.0, u"0"}, {1, u"1"}, {-1, u"-1"}, {100, u"100"}, {123, u"123"}, {12.5, u"12.5"},
      {-12.5, u"-12.5"}, {0.5, u"0.5"}, {0.0001, u"0.0001"}, {-0.0001, u"-0.0001"},
      {0.0003 * 1.0000000000000002, u"0.0003"}, {0.1 + 0.2, u"0.3"}, {1.0 / 3, u"0.333333333333333"},
      {2.0 / 3, u"0.666666666666667"}, {12345.678901234567, u"12345.6789012346"},
      {123456789.125, u"123456789.125"}, {1e14, u"100000000000000"}, {123456789012345.0, u"123456789012345"},
      {999999999999999.0, u"999999999999999"}, {-99999999999999.9, u"-99999999999999.9"},
      // Rounded to 15 digits first, so the exponent is that of 0.0001.
      {0.000099999999999999999, u"0.0001"}, {0.00009999999999999995, u"0.0001"},
  };
  // clang-format on
  for (const auto& c : cases) {
    EXPECT_EQ(numberText(c.value), c.text) << c.value;
  }
}

TEST(NumberText, ExponentForm) {
  // clang-format off
  const Case cases[] = {
      {1e15, u"1E+15"}, {-1e15, u"-1E+15"}, {999999999999999.9, u"1E+15"},
      {1234567890123456.0, u"1.23456789012346E+15"}, {12345678901234567890.0, u"1.23456789012346E+19"},
      {1e21, u"1E+21"}, {1e100, u"1E+100"}, {1.5e300, u"1.5E+300"}, {0.00001, u"1E-05"},
      {0.000015, u"1.5E-05"}, {-1.5e-5, u"-1.5E-05"}, {9.99999999999999e-5, u"9.99999999999999E-05"},
      {1e-100, u"1E-100"}, {DBL_MAX, u"1.79769313486232E+308"}, {-DBL_MAX, u"-1.79769313486232E+308"},
      {std::numeric_limits<double>::denorm_min(), u"4.94065645841247E-324"},
  };
  // clang-format on
  for (const auto& c : cases) {
    EXPECT_EQ(numberText(c.value), c.text) << c.value;
  }
}

TEST(NumberText, ValuesThatAreNotNumbers) {
  EXPECT_EQ(numberText(std::numeric_limits<double>::infinity()), u"Infinity");
  EXPECT_EQ(numberText(-std::numeric_limits<double>::infinity()), u"-Infinity");
  EXPECT_EQ(numberText(std::nan("")), u"NaN");
}

}  // namespace
}  // namespace quor::number_text
