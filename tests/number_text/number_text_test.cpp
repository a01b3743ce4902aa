#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <string>

#include "number_text/scaled_decimal.hpp"
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

// A number's text written as bytes (the decode plan's) and as UTF-16 (the decoder's) is the same for
// every count of digits the copies take apart (none to past sixteen), leading zeros, scales and signs:
// "01250" with 2 places "12.50", "5" with 2 "-0.05" negative, "123" with -3 "123000".
TEST(NumberText, ScaledTextInBytesIsTheUtf16Text) {
  for (std::size_t count = 0; count <= 20; ++count) {
    for (const std::size_t zeros : {std::size_t{0}, std::size_t{3}}) {
      std::string digits(zeros, '0');
      for (std::size_t i = 0; i < count; ++i) digits += static_cast<char>('1' + i % 9);
      for (const int scale : {-3, 0, 2, 25}) {
        for (const bool negative : {false, true}) {
          std::u16string wide;
          appendScaledText(digits, negative, scale, wide);
          std::string bytes(scaledTextRoom(digits.size(), scale), '\0');
          bytes.resize(static_cast<std::size_t>(writeScaledText(digits, negative, scale, bytes.data()) - bytes.data()));
          ASSERT_EQ(std::u16string(bytes.begin(), bytes.end()), wide) << digits << " scale " << scale;
        }
      }
    }
  }
  std::u16string text;
  appendScaledText("01250", false, 2, text);
  EXPECT_EQ(text, u"12.50");
  text.clear();
  appendScaledText("5", true, 2, text);
  EXPECT_EQ(text, u"-0.05");
  text.clear();
  appendScaledText("123", false, -3, text);
  EXPECT_EQ(text, u"123000");
}

}  // namespace
}  // namespace quor::number_text
