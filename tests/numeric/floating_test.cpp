// Floating point both ways: IBM hexadecimal against cases worked out with exact rational arithmetic by
// tools/hexadecimal_float_cases.py, the rounding core against std::from_chars for IEEE formats, and the
// shortest text of random bytes read back to the same bytes, no text of one digit fewer doing so.

#include <gtest/gtest.h>

#include <charconv>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "number_text/scaled_decimal.hpp"
#include "numeric/floating.hpp"
#include "support/test_support.hpp"

namespace quor::numeric {
namespace {

struct HexadecimalReading {
  const char* bytes;
  const char* text;
};
struct HexadecimalWriting {
  int size;
  const char* text;
  const char* bytes;  // or "big", "small"
};
#include "numeric/hexadecimal_float_cases.inc"

std::vector<std::uint8_t> bytesOf(std::string_view hexText) {
  const ByteString b = test::bytes(hexText);
  return {b.begin(), b.end()};
}

std::string hexOf(const std::vector<std::uint8_t>& b) {
  std::string out;
  for (const std::uint8_t byte : b) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    out += kHex[byte >> 4];
    out += kHex[byte & 0x0Fu];
  }
  return out;
}

// The text's bytes in a field of `size`, or "big" / "small".
std::string written(std::string_view text, std::size_t size, FloatEncoding encoding) {
  const std::u16string units(text.begin(), text.end());
  const auto number = number_text::readDecimalText(units);
  EXPECT_TRUE(number.has_value()) << text;
  if (!number) return "no number";
  std::vector<std::uint8_t> field(size);
  switch (writeFloat({number->digits, number->exponent, number->negative}, encoding, field)) {
    case FloatFit::tooLarge:
      return "big";
    case FloatFit::tooSmall:
      return "small";
    default:
      return hexOf(field);
  }
}

std::string read(const std::vector<std::uint8_t>& field, FloatEncoding encoding) {
  std::string text;
  if (readFloat(field, encoding, text)) return "fault";
  return text;
}

TEST(HexadecimalFloat, ReadsTheShortestTextThatWritesBack) {
  for (const HexadecimalReading& c : kHexadecimalReadings) {
    const std::vector<std::uint8_t> field = bytesOf(c.bytes);
    EXPECT_EQ(read(field, FloatEncoding::hexadecimal), c.text) << c.bytes;
    EXPECT_EQ(written(c.text, field.size(), FloatEncoding::hexadecimal), c.bytes) << c.text;
  }
}

TEST(HexadecimalFloat, WritesTheNearestValueTiesToEven) {
  for (const HexadecimalWriting& c : kHexadecimalWritings)
    EXPECT_EQ(written(c.text, static_cast<std::size_t>(c.size), FloatEncoding::hexadecimal), c.bytes) << c.text;
}

// Fields no encoder writes read as their value: a fraction not normalized, a zero fraction with any
// exponent; but not one below the smallest normalized value. IEEE infinities and NaNs are no number.
TEST(Float, ReadsUnnormalizedFractionsAndRefusesWhatIsNoNumber) {
  EXPECT_EQ(read(bytesOf("41010000"), FloatEncoding::hexadecimal), "0.0625");
  EXPECT_EQ(read(bytesOf("C5000000"), FloatEncoding::hexadecimal), "-0");
  EXPECT_EQ(read(bytesOf("42000100"), FloatEncoding::hexadecimal), "0.00390625");
  EXPECT_EQ(written("0.00390625", 4, FloatEncoding::hexadecimal), "3F100000");
  EXPECT_EQ(read(bytesOf("00000001"), FloatEncoding::hexadecimal), "fault");  // 2^-280: below 16^-65
  EXPECT_EQ(read(bytesOf("7F800000"), FloatEncoding::ieee), "fault");
  EXPECT_EQ(read(bytesOf("FFF8000000000001"), FloatEncoding::ieee), "fault");
}

// The rounding core with a binary format's parameters gives what std::from_chars gives, on decimal
// texts of every length around both ends of the range and the subnormal numbers.
TEST(Float, RoundingCoreAgreesWithFromChars) {
  std::mt19937_64 random(19);
  for (int i = 0; i < 6000; ++i) {
    const bool single = i % 2 == 0;
    const std::size_t count = 1 + random() % (i % 7 == 0 ? 60u : 20u);
    std::string digits(1, static_cast<char>('1' + random() % 9));
    for (std::size_t k = 1; k < count; ++k) digits += static_cast<char>('0' + random() % 10);
    const int reach = single ? 50 : 330;
    const auto exponent = static_cast<std::int64_t>(random() % static_cast<std::uint64_t>(2 * reach)) - reach - static_cast<std::int64_t>(count) + 1;
    const std::string text = digits + "e" + std::to_string(exponent);
    std::uint64_t expected = 0;
    std::errc error{};
    if (single) {
      float value = 0;
      error = std::from_chars(text.data(), text.data() + text.size(), value).ec;
      expected = std::bit_cast<std::uint32_t>(value);
    } else {
      double value = 0;
      error = std::from_chars(text.data(), text.data() + text.size(), value).ec;
      expected = std::bit_cast<std::uint64_t>(value);
    }
    if (error != std::errc()) continue;  // beyond the range: no value to compare
    const unsigned bits = single ? 24 : 53;
    const std::int64_t lowest = single ? -149 : -1074;
    const detail::Rounded r = detail::roundDecimal(digits, exponent, bits, 1, lowest);
    // fraction x 2^power as the format's bits: a biased exponent over the fraction without its top bit.
    const std::uint64_t top = std::uint64_t{1} << (bits - 1);
    const std::uint64_t biased = r.fraction >= top ? static_cast<std::uint64_t>(r.power - lowest + 1) : 0;
    const std::uint64_t got = (biased << (bits - 1)) | (r.fraction & (top - 1));
    ASSERT_EQ(got, expected) << text;
  }
}

// Random bytes of every format, their text written back: the same bytes (for IEEE, its negative zero
// and subnormal numbers among them).
TEST(Float, TextsOfRandomBytesWriteBackToThem) {
  std::mt19937_64 random(7);
  for (int i = 0; i < 6000; ++i) {
    const std::size_t size = i % 2 == 0 ? 4 : 8;
    const FloatEncoding encoding = i % 4 < 2 ? FloatEncoding::hexadecimal : FloatEncoding::ieee;
    std::vector<std::uint8_t> field(size);
    for (std::uint8_t& byte : field) byte = static_cast<std::uint8_t>(random());
    if (i % 16 == 3) std::fill(field.begin() + 1, field.end(), 0);  // powers of 16 and 2, zeros
    if (encoding == FloatEncoding::hexadecimal) {
      if ((field[1] & 0xF0u) == 0) field[1] |= 0x10u;  // normalized: what the encoder writes
    } else if ((size == 4 && (field[0] & 0x7Fu) == 0x7F && (field[1] & 0x80u) != 0) ||
               (size == 8 && (field[0] & 0x7Fu) == 0x7F && (field[1] & 0xF0u) == 0xF0)) {
      continue;  // infinity or NaN
    }
    const std::string text = read(field, encoding);
    ASSERT_LE(text.size(), kFloatTextRoom);
    ASSERT_EQ(written(text, size, encoding), hexOf(field)) << text;
    // And it is the shortest: of the texts of one digit fewer, those next to it (its digits cut, and
    // one more in the last place kept) write other bytes; any other lies farther from the value.
    const auto number = number_text::readDecimalText(std::u16string(text.begin(), text.end()));
    ASSERT_TRUE(number.has_value()) << text;
    std::string digits = number->digits;
    std::int64_t exponent = number->exponent;
    for (; digits.size() > 1 && digits.back() == '0'; ++exponent) digits.pop_back();
    if (digits.size() < 2) continue;
    std::string down = digits.substr(0, digits.size() - 1);
    std::string up = down;
    std::size_t at = up.size();
    while (at > 0 && up[at - 1] == '9') up[--at] = '0';
    if (at == 0)
      up.insert(up.begin(), '1');
    else
      ++up[at - 1];
    const std::string sign = number->negative ? "-" : "";
    for (const std::string& shorter : {down, up})
      EXPECT_NE(written(sign + shorter + "e" + std::to_string(exponent + 1), size, encoding), hexOf(field)) << text;
  }
}

// The short way of reading a hexadecimal float (128-bit arithmetic, digits cut past the twentieth) gives
// what the whole exact expansions give: random fractions of both lengths over every exponent, with the
// smallest and largest fraction of an exponent and even ones (whose ends write back) among them.
TEST(HexadecimalFloat, ShortWayReadsAsTheExactExpansions) {
  std::mt19937_64 random(11);
  for (int i = 0; i < 40000; ++i) {
    const unsigned bits = i % 2 == 0 ? 24 : 56;
    const std::uint64_t top = std::uint64_t{1} << bits;
    std::uint64_t fraction = (random() % (top - top / 16)) + top / 16;  // normalized
    if (i % 8 == 1) fraction = top / 16;
    if (i % 8 == 3) fraction = top - 1;
    if (i % 8 == 5) fraction &= ~std::uint64_t{1};
    const auto power = (static_cast<std::int64_t>(random() % 128) - 64 - static_cast<std::int64_t>(bits / 4)) * 4;
    std::string shortWay, exact;
    detail::appendShortestHexadecimal(i % 3 == 0, fraction, power, bits, shortWay, true);
    detail::appendShortestHexadecimal(i % 3 == 0, fraction, power, bits, exact, false);
    ASSERT_EQ(shortWay, exact) << bits << " bits, fraction " << fraction << ", power " << power;
  }
}

// The ends of each format: the largest and smallest values, a subnormal IEEE one, ties to even.
TEST(Float, Boundaries) {
  const struct {
    std::size_t size;
    FloatEncoding encoding;
    const char* text;
    const char* bytes;
    const char* readBack;
  } cases[] = {
      {4, FloatEncoding::hexadecimal, "7.237005E+75", "7FFFFFFF", "7.237005E+75"},
      {4, FloatEncoding::hexadecimal, "7.2370056E+75", "big", nullptr},
      {4, FloatEncoding::hexadecimal, "5.397605E-79", "small", nullptr},
      {4, FloatEncoding::hexadecimal, "5.3976053E-79", "00100000", "5.397606E-79"},
      {4, FloatEncoding::hexadecimal, "-1.000000476837158203125", "C1100000", "-1"},  // a tie: the even one
      {8, FloatEncoding::hexadecimal, "7.2370055773322621E+75", "7FFFFFFFFFFFFFFF", "7.2370055773322621E+75"},
      {8, FloatEncoding::hexadecimal, "-0", "8000000000000000", "-0"},
      {4, FloatEncoding::ieee, "3.4028235E+38", "7F7FFFFF", "3.4028235E+38"},
      {4, FloatEncoding::ieee, "3.5E+38", "big", nullptr},
      {4, FloatEncoding::ieee, "1E-45", "00000001", "1E-45"},
      {4, FloatEncoding::ieee, "8E-46", "00000001", "1E-45"},
      {4, FloatEncoding::ieee, "7E-46", "small", nullptr},
      {4, FloatEncoding::ieee, "1.1754944E-38", "00800000", "1.1754944E-38"},
      {4, FloatEncoding::ieee, "16777217", "4B800000", "16777216"},  // a tie: the even one
      {8, FloatEncoding::ieee, "1.7976931348623157E+308", "7FEFFFFFFFFFFFFF", "1.7976931348623157E+308"},
      {8, FloatEncoding::ieee, "5E-324", "0000000000000001", "5E-324"},
      {8, FloatEncoding::ieee, "2.2250738585072014E-308", "0010000000000000", "2.2250738585072014E-308"},
      {8, FloatEncoding::ieee, "0.1", "3FB999999999999A", "0.1"},
      {8, FloatEncoding::ieee, "1E+21", "444B1AE4D6E2EF50", "1E+21"},
      {8, FloatEncoding::ieee, "123456789012345680000", "441AC53A7E04BCDA", "123456789012345680000"},
      {8, FloatEncoding::ieee, "1E-7", "3E7AD7F29ABCAF48", "0.0000001"},
      {8, FloatEncoding::ieee, "0.00000001", "3E45798EE2308C3A", "1E-8"},
      {8, FloatEncoding::ieee, "1E999999999999", "big", nullptr},
      // Exponents beyond 64 bits are held at the far end of the range, not wrapped around.
      {4, FloatEncoding::hexadecimal, "7E-32455773322756727733", "small", nullptr},
      {4, FloatEncoding::hexadecimal, "7E+32455773322756727733", "big", nullptr},
      {8, FloatEncoding::ieee, "-0.5E-99999999999999999999999", "small", nullptr},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(written(c.text, c.size, c.encoding), c.bytes) << c.text;
    if (c.readBack != nullptr) {
      EXPECT_EQ(read(bytesOf(c.bytes), c.encoding), c.readBack) << c.bytes;
    }
  }
}

}  // namespace
}  // namespace quor::numeric
