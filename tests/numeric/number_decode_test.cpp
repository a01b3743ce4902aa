// Reading zoned, packed and binary fields back into number texts: a table of bytes and the text each
// gives, or the byte and reason of its invalid data.

#include <vector>

#include "number_text/scaled_decimal.hpp"
#include "numeric/binary.hpp"
#include "numeric/packed.hpp"
#include "numeric/zoned.hpp"
#include "support/test_support.hpp"

namespace quor::numeric {
namespace {

enum class Kind { zoned, packedSigned, packedUnsignedF, packedNone, binarySigned, binaryUnsigned };

struct Case {
  Kind kind;
  const char* bytes;
  int scale;
  std::size_t digits;      // binary only
  const char* text;        // empty when invalid
  std::size_t faultByte;   // where the fault is
};

std::optional<base::DecodeFault> readNumber(const Case& c, std::u16string& text) {
  const ByteString bytes = test::bytes(c.bytes);
  const std::span<const std::uint8_t> span(bytes.data(), bytes.size());
  char digits[2 * 8 + kBinaryDigitsRoom];
  std::size_t count = bytes.size();
  bool negative = false;
  std::optional<base::DecodeFault> fault;
  switch (c.kind) {
    case Kind::zoned:
      fault = readZoned(span, true, digits, negative);
      break;
    case Kind::packedSigned:
      fault = readPacked(span, PackedSign::signedCD, digits, count, negative);
      break;
    case Kind::packedUnsignedF:
      fault = readPacked(span, PackedSign::unsignedF, digits, count, negative);
      break;
    case Kind::packedNone:
      fault = readPacked(span, PackedSign::none, digits, count, negative);
      break;
    case Kind::binarySigned:
    case Kind::binaryUnsigned:
      fault = readBinary(span, c.kind == Kind::binarySigned, c.digits, digits, count, negative);
      break;
  }
  if (!fault) number_text::appendScaledText({digits, count}, negative, c.scale, text);
  return fault;
}

TEST(NumberDecode, BytesGiveTheirText) {
  const Case cases[] = {
      {Kind::zoned, "F0 F1 F2", 0, 0, "12", 0},
      {Kind::zoned, "F0 F0 F5 D0", 2, 0, "-0.50", 0},
      {Kind::zoned, "F0 F0 C0", 0, 0, "0", 0},
      {Kind::zoned, "F0 D0", 0, 0, "0", 0},  // negative zero reads as zero
      {Kind::zoned, "F1 F2 C3", 1, 0, "12.3", 0},
      {Kind::zoned, "F1 FA F3", 0, 0, "", 1},  // digit nibble above 9
      {Kind::zoned, "F1 C2 F3", 0, 0, "", 1},  // a sign zone before the last byte
      {Kind::zoned, "F1 F2 E3", 0, 0, "", 2},
      {Kind::packedSigned, "12 34 5C", 0, 0, "12345", 0},
      {Kind::packedSigned, "00 01 25 0D", 2, 0, "-12.50", 0},
      {Kind::packedSigned, "12 3F", 0, 0, "123", 0},
      {Kind::packedSigned, "12 3A", 0, 0, "", 1},
      {Kind::packedSigned, "1A 3C", 0, 0, "", 0},
      {Kind::packedUnsignedF, "01 23 4F", 0, 0, "1234", 0},
      {Kind::packedUnsignedF, "01 23 4D", 0, 0, "", 2},
      {Kind::packedNone, "12 34", 2, 0, "12.34", 0},
      {Kind::packedNone, "12 3C", 0, 0, "", 1},
      {Kind::binarySigned, "D8 F1", 0, 4, "-9999", 0},
      {Kind::binarySigned, "F2 1F 49 4C 58 9C 00 01", 0, 18, "-999999999999999999", 0},
      {Kind::binarySigned, "FF FF FF 6A", 2, 5, "-1.50", 0},
      {Kind::binarySigned, "80 00", 0, 4, "", 0},  // -32768 has more digits than 4
      {Kind::binaryUnsigned, "FF FF", 0, 4, "", 0},
      {Kind::binaryUnsigned, "27 0F", 0, 4, "9999", 0},
      {Kind::binaryUnsigned, "FF FF FF FF FF FF FF FF", 0, 18, "", 0},
  };
  for (const Case& c : cases) {
    std::u16string text;
    const auto fault = readNumber(c, text);
    const std::u16string expected = test::u16(c.text);
    if (expected.empty()) {
      ASSERT_TRUE(fault.has_value()) << c.bytes;
      EXPECT_EQ(fault->offset, c.faultByte) << c.bytes << ": " << fault->reason;
    } else {
      EXPECT_FALSE(fault.has_value()) << c.bytes;
      EXPECT_EQ(text, expected) << c.bytes;
    }
  }
}

}  // namespace
}  // namespace quor::numeric
