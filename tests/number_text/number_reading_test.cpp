#include "number_text/number_reading.hpp"
#include "support/number_value.hpp"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>

#include "support/test_support.hpp"

namespace quor::number_text {
namespace {

using quor::test::errorOf;

constexpr NumberSeparators kEnglish{u'.', u','};
constexpr NumberSeparators kGerman{u',', u'.'};

// A text for failure messages: ASCII as it is, anything else as \uXXXX.
std::string shown(std::u16string_view text) {
  std::string out;
  for (const char16_t c : text) {
    if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c));
      out += escape;
    }
  }
  return out;
}

struct NumericCase {
  std::u16string_view text;
  bool numeric;
};

TEST(NumberReading, NumericTestWithPointAndComma) {
  const NumericCase cases[] = {
      {u"0", true},           {u"123", true},         {u"  123  ", true},
      {u"+5", true},          {u"-5", true},          {u"5-", true},
      {u"5+", true},          {u"5- ", true},         {u" -5", true},
      {u"1.5", true},         {u"1.", true},          {u".5", true},
      {u"-.5", true},         {u"1,234", true},       {u"1,2,3", true},
      {u"1,234.5", true},     {u"00012", true},       {u"1E3", true},
      {u"1e3", true},         {u"1D3", true},         {u"1d-3", true},
      {u"1.5E+10", true},     {u".5E1", true},        {u"1E+5-", true},
      {u"1E999999999", true}, {u"&H1F", true},        {u"&h1f", true},
      {u"&HfF", true},        {u"&O17", true},        {u"&o777", true},
      {u"  &H10  ", true},    {u"&HFFFFFFFFF", true}, {u"", false},
      {u"   ", false},        {u".", false},          {u"12A", false},
      {u"1E", false},         {u"1E+", false},        {u"E5", false},
      {u"1E5.5", false},      {u"1e3e3", false},      {u"+-5", false},
      {u"-5-", false},        {u"-5+", false},        {u"+", false},
      {u"-", false},          {u",1", false},         {u"1,", false},
      {u"1,,2", false},       {u"1.2,3", false},      {u"1.2.3", false},
      {u"- 5", false},        {u"5 -", false},        {u"1 2", false},
      {u"\t5", false},        {u"5\n", false},        {u"&H", false},
      {u"&HG", false},        {u"&O8", false},        {u"&H 1F", false},
      {u"-&H1F", false},      {u"&H1F-", false},      {u"&X1F", false},
      {u"0x1F", false},       {u"&H1.5", false},      {u"\uFF11\uFF12", false},
      {u"1\uFF12", false},    {u"1\u00A0234", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(isNumeric(c.text, kEnglish), c.numeric) << shown(c.text);
  }
}

TEST(NumberReading, NumericTestWithLocaleSeparators) {
  struct Case {
    std::u16string_view text;
    NumberSeparators separators;
    bool numeric;
  };
  constexpr NumberSeparators kSpaced{u',', u'\u00A0'};
  constexpr NumberSeparators kSame{u',', u','};
  const Case cases[] = {
      {u"1.234,5", kGerman, true}, {u"1,5", kGerman, true},         {u"-1.234.567,89", kGerman, true},
      {u",5", kGerman, true},      {u"1.234", kGerman, true},       {u"1,234.5", kGerman, false},
      {u"1,2,3", kGerman, false},  {u"1.5.", kGerman, false},       {u"1\u00A0234,5", kSpaced, true},
      {u"1234.5", kSpaced, false}, {u"\u00A01234", kSpaced, false}, {u"1,5", kSame, true},
      {u"1,2,3", kSame, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(isNumeric(c.text, c.separators), c.numeric) << shown(c.text);
  }
}

struct IntegerCase {
  std::u16string_view text;
  std::int32_t value;
};

TEST(NumberReading, IntegerValueRoundsHalvesToEven) {
  constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
  // clang-format off
  const IntegerCase cases[] = {
      {u" 5 ", 5}, {u"5-", -5}, {u"000123", 123}, {u"1,234", 1234}, {u"2.5", 2}, {u"3.5", 4}, {u"-2.5", -2},
      {u"-3.5", -4}, {u"2.50", 2}, {u"2.5000001", 3}, {u".5", 0}, {u"0.51", 1}, {u"0.49999", 0},
      {u"1E3", 1000}, {u"1.5E1", 15}, {u"35E-1", 4}, {u"1E-999999999", 0}, {u"2147483647", kMax},
      {u"2147483647.4999", kMax}, {u"2147483646.5", 2147483646}, {u"-2147483648", kMin},
      {u"-2147483648.5", kMin}, {u"-2147483647.5", kMin}, {u"2.147483647E9", kMax},
  };
  // clang-format on
  for (const auto& c : cases) {
    EXPECT_EQ(integerValue(c.text, kEnglish), c.value) << shown(c.text);
  }
  EXPECT_EQ(integerValue(u"1.234,5", kGerman), 1234);
  EXPECT_EQ(integerValue(u"2,5", kGerman), 2);
}

TEST(NumberReading, IntegerValueOfRadixLiteralsIsSixteenOrThirtyTwoBits) {
  // clang-format off
  const IntegerCase cases[] = {
      {u"&H10", 16}, {u"&h1f", 31}, {u"&H7FFF", 32767}, {u"&H8000", -32768}, {u"&HFFFF", -1},
      {u"&H0000FFFF", -1}, {u"&H10000", 65536}, {u"&H7FFFFFFF", 2147483647}, {u"&H80000000", -2147483647 - 1},
      {u"&HFFFFFFFF", -1}, {u"&O17", 15}, {u"&O177777", -1}, {u"&O200000", 65536}, {u"&O37777777777", -1},
      {u"&H0", 0},
  };
  // clang-format on
  for (const auto& c : cases) {
    EXPECT_EQ(integerValue(c.text, kEnglish), c.value) << shown(c.text);
  }
}

TEST(NumberReading, IntegerValueErrors) {
  struct Case {
    std::u16string_view text;
    int error;
  };
  // clang-format off
  const Case cases[] = {
      {u"", 13}, {u"abc", 13}, {u"12A", 13}, {u"1E", 13}, {u".", 13}, {u"-&H1F", 13}, {u"2147483648", 6},
      {u"2147483647.5", 6}, {u"-2147483649", 6}, {u"-2147483648.5000001", 6}, {u"1E10", 6},
      {u"1E999999999", 6}, {u"1E99999999999999999999999", 6}, {u"&H100000000", 6}, {u"&O40000000000", 6},
  };
  // clang-format on
  for (const auto& c : cases) {
    EXPECT_EQ(errorOf([&] { integerValue(c.text, kEnglish); }), c.error) << shown(c.text);
  }
}

struct ValueCase {
  std::u16string_view text;
  double value;
};

TEST(NumberReading, NumericValueReadsTheLeadingNumber) {
  // clang-format off
  const ValueCase cases[] = {
      {u"", 0}, {u"abc", 0}, {u"12abc", 12}, {u" 1 2 3 ", 123}, {u"1\t2\n3", 123}, {u"1\r2", 1},
      {u"-12.5x", -12.5}, {u"+.5", 0.5}, {u"1.2.3", 1.2}, {u"1E3", 1000}, {u"1D3", 1000}, {u"1d-2", 0.01},
      {u"1 E 2", 100}, {u"1E", 1}, {u"1E+", 1}, {u"- 5", -5}, {u"--5", 0}, {u"5-3", 5}, {u".", 0}, {u"-", 0},
      {u"1,234", 1}, {u"\uFF11\uFF12", 0}, {u"0.1", 0.1}, {u"9007199254740993", 9007199254740992.0},
      {u"9007199254740993.0000000000000000001", 9007199254740994.0}, {u"1.7976931348623157E308", DBL_MAX},
      {u"4.9406564584124654E-324", std::numeric_limits<double>::denorm_min()},
      {u"2.4703282292062328E-324", std::numeric_limits<double>::denorm_min()},
      {u"2.4703282292062327E-324", 0}, {u"1E400", DBL_MAX}, {u"-1E400", -DBL_MAX},
      {u"1E99999999999999999999999", DBL_MAX}, {u"1E-400", 0}, {u"-0", 0},
  };
  // clang-format on
  for (const auto& c : cases) {
    const double value = numericValue(c.text);
    EXPECT_EQ(value, c.value) << shown(c.text);
    EXPECT_FALSE(value == 0 && std::signbit(value)) << "negative zero from " << shown(c.text);
  }
}

TEST(NumberReading, NumericValueOfLongDigitStrings) {
  // 1 followed by 400 zeros, then E-400: only an exact reading gives exactly 1.
  std::u16string text = u"1" + std::u16string(400, u'0') + u"E-400";
  EXPECT_EQ(numericValue(text), 1.0);
  text = u"0." + std::u16string(400, u'0') + u"1E401";
  EXPECT_EQ(numericValue(text), 1.0);
  // Halfway between 1 and the next double, decided by a non-zero digit a thousand digits later.
  std::u16string half = u"1.00000000000000011102230246251565404236316680908203125";
  EXPECT_EQ(numericValue(half), 1.0);
  EXPECT_EQ(numericValue(half + std::u16string(1000, u'0') + u"1"), 1.0000000000000002);
}

TEST(NumberReading, NumericValueOfRadixLiterals) {
  // clang-format off
  const ValueCase cases[] = {
      {u"&H1F", 31}, {u"&h1fz", 31}, {u"& H 1 F", 31}, {u"&HFFFF", -1}, {u"&HFFFFFFFF", -1},
      {u"&H10000", 65536}, {u"&H100000000", 4294967296.0}, {u"&HFFFFFFFFFFFFFFFF", 18446744073709551615.0},
      {u"&H10000000000000001", 18446744073709551616.0}, {u"&O17", 15}, {u"&O178", 15},
      {u"&O2000000000000000000000", 18446744073709551616.0},
      {u"&O7777777777777777777777777", 37778931862957161709568.0},  // 2^75 - 1 rounds to 2^75 {u"&H", 0},
      {u"&X1", 0}, {u"-&H1F", 0},
  };
  // clang-format on
  for (const auto& c : cases) {
    EXPECT_EQ(numericValue(c.text), c.value) << shown(c.text);
  }
}

struct TextCase {
  std::u16string_view text;
  std::u16string_view exact;
};

TEST(NumberReading, ExactNumberText) {
  // clang-format off
  const TextCase cases[] = {
      {u"007", u"7"}, {u"000", u"0"}, {u"12.50", u"12.5"}, {u"1E3", u"1000"}, {u"1.5E-3", u"0.0015"}, {u"-0", u"0"},
      {u"-12", u"-12"}, {u"abc", u"0"}, {u"12abc", u"12"}, {u"1234567890123456", u"1234567890123456"},
      {u"123456789012345.6", u"123456789012345.6"}, {u".5", u"0.5"}, {u"  -1 2.5 0 ", u"-12.5"},
      {u"123E-2", u"1.23"}, {u"12.5E1", u"125"}, {u"0.10", u"0.1"}, {u"1E", u"1"}, {u"1E-3x", u"0.001"},
      {u"0.000123E-2", u"0.00000123"}, {u"&HFFFF", u"-1"}, {u"&H8000", u"-32768"}, {u"&H10000", u"65536"},
      {u"&HFFFFFFFF", u"-1"}, {u"&H100000000", u"4294967296"},
      {u"&HFFFFFFFFFFFFFFFF", u"18446744073709551615"}, {u"&O17", u"15"},
  };
  // clang-format on
  std::u16string scratch = u"left over";
  for (const auto& c : cases) {
    EXPECT_EQ(exactNumberText(c.text), c.exact) << shown(c.text);
    EXPECT_EQ(exactNumberText(c.text, scratch), c.exact) << shown(c.text);
  }
}

TEST(NumberReading, ExactNumberTextLengthLimit) {
  // The longest text allowed has 100,000 characters.
  EXPECT_EQ(exactNumberText(u"1E99999"), u"1" + std::u16string(99999, u'0'));
  EXPECT_EQ(exactNumberText(u"1E-99998"), u"0." + std::u16string(99997, u'0') + u"1");
  struct Case {
    std::u16string_view text;
    int error;
  };
  const Case cases[] = {
      {u"1E100000", 6},
      {u"-1E99999", 6},
      {u"1E-99999", 6},
      {u"1E-999999999", 6},
      {u"1E99999999999999999999999", 6},
      {u"&H10000000000000000", 6},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(errorOf([&] { exactNumberText(c.text); }), c.error) << shown(c.text);
  }
}

// Where numberText writes the numeric value in plain form with all its digits, the exact text is the
// same text.
TEST(NumberReading, ExactTextAgreesWithWrittenValue) {
  const std::u16string_view table[] = {
      u"12.5",
      u"007",
      u"-3.25",
      u"1E3",
      u"1.5E-3",
      u"0.0001",
      u"-0",
      u"abc",
      u"&HFFFF",
      u".5",
      u"99.99",
      u" 1 2 3 ",
      u"1.0E+2",
      u"2.5E-1",
      u"0.1",
      u"123456789012345",
      u"-99999999999999.9",
      u"0.000123456789012345",
      u"&H100000000",
  };
  for (const auto text : table) {
    EXPECT_EQ(exactNumberText(text), numberText(numericValue(text))) << shown(text);
  }

  // Generated: up to 15 significant digits, decimal exponent from -4 to 14, written with leading
  // and trailing zeros, signs, blanks and exponents.
  std::mt19937 random(20240611);
  const auto below = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  for (int round = 0; round < 5000; ++round) {
    const int digitCount = 1 + below(15);
    std::u16string digits;
    digits += static_cast<char16_t>(u'1' + below(9));
    for (int k = 1; k < digitCount; ++k) digits += static_cast<char16_t>(u'0' + below(10));
    const int magnitude = -4 + below(19);          // decimal exponent of the first digit
    const int shift = below(5) - 2;                // written with an exponent of `shift`
    const int pointAfter = magnitude + 1 - shift;  // digits in front of the written point
    std::u16string text;
    if (pointAfter <= 0) {
      text += u"0." + std::u16string(static_cast<std::size_t>(-pointAfter), u'0') + digits;
    } else if (pointAfter >= digitCount) {
      text += digits + std::u16string(static_cast<std::size_t>(pointAfter - digitCount), u'0');
      if (below(2) == 0) text += u".0";
    } else {
      text += digits.substr(0, static_cast<std::size_t>(pointAfter)) + u"." +
              digits.substr(static_cast<std::size_t>(pointAfter));
    }
    if (below(3) == 0) text = u"00" + text;
    if (below(2) == 0) text = u"-" + text;
    if (below(3) == 0) text = u" " + text + u" ";
    if (shift != 0 || below(4) == 0)
      text += (below(2) == 0 ? u"E" : u"d") + quor::test::u16(std::to_string(shift));
    ASSERT_EQ(exactNumberText(text), numberText(numericValue(text))) << shown(text);
  }
}

TEST(NumberReading, RadixLiteralDigits) {
  struct Case {
    std::u16string_view text;
    std::optional<std::u16string_view> digits;
  };
  const Case cases[] = {
      {u"&H1F", u"31"},          {u"&o17", u"15"},
      {u" &HFFFF ", u"-1"},      {u"&h0", u"0"},
      {u"&H8000", u"-32768"},    {u"&H100000000", u"4294967296"},
      {u"&H", std::nullopt},     {u"&H1G", std::nullopt},
      {u"-&H1F", std::nullopt},  {u"12", std::nullopt},
      {u"&H1F x", std::nullopt}, {u"\t&H1F", std::nullopt},
      {u"&O8", std::nullopt},    {u"&H1 F", std::nullopt},
      {u"", std::nullopt},       {u"&HFFFFFFFFFFFFFFFFF", std::nullopt},
  };
  for (const auto& c : cases) {
    const auto digits = radixLiteralDigits(c.text);
    ASSERT_EQ(digits.has_value(), c.digits.has_value()) << shown(c.text);
    if (digits) {
      EXPECT_EQ(*digits, *c.digits) << shown(c.text);
    }
  }
}

}  // namespace
}  // namespace quor::number_text
