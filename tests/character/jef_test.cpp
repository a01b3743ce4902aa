// The JEF encoder without a mapping file: the Shift-JIS to JIS arithmetic and the field rules.

#include "character/jef.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <optional>
#include <string>

#include "text/cp932.hpp"
#include "support/test_support.hpp"

namespace quor::character {
namespace {

ByteString encodeJef(std::u16string_view text, std::int32_t length, const GaijiMapping& mapping) {
  ByteString out;
  appendJef(text, length, mapping, out);
  return out;
}

using test::hex;

// The usual Shift-JIS to JIS conversion, written row/cell-wise: the lead byte picks a pair of rows,
// trail bytes from 0x9F on fall in the second row of the pair. A single-byte code c counts as lead
// byte c with trail byte 0.
std::pair<int, int> jisOf(unsigned code) {
  const int s1 = static_cast<int>(code > 0xFF ? code >> 8 : code);
  const int s2 = static_cast<int>(code > 0xFF ? code & 0xFF : 0);
  const bool secondRow = s2 >= 0x9F;
  const int row = (s1 - (s1 < 0xA0 ? 0x70 : 0xB0)) * 2 - (secondRow ? 0 : 1);
  const int cell = secondRow ? s2 - 0x7E : s2 - (s2 >= 0x80 ? 0x20 : 0x1F);
  return {row, cell};
}

std::uint8_t notFoundByte(int jis) {
  return jis + 0x80 >= 0 && jis + 0x80 <= 0xFF ? static_cast<std::uint8_t>(jis + 0x80) : 0;
}

// Every UTF-16 unit in one call: each character's two bytes are its JIS code + 0x80 per byte.
TEST(Jef, ArithmeticOverEveryCharacter) {
  std::u16string text;
  for (unsigned u = 0; u < 0x10000; ++u) text += static_cast<char16_t>(u);
  const ByteString out = encodeJef(text, 0x10000, GaijiMapping());
  ASSERT_EQ(out.size(), 0x20000u);
  int doubleByte = 0;
  for (unsigned u = 0; u < 0x10000; ++u) {
    const unsigned code = text::cp932::encode(static_cast<char16_t>(u));
    const auto [row, cell] = jisOf(code);
    ASSERT_EQ(out[2 * u], notFoundByte(row)) << std::hex << "U+" << u << " code " << code;
    ASSERT_EQ(out[2 * u + 1], notFoundByte(cell)) << std::hex << "U+" << u << " code " << code;
    if (code > 0xFF) ++doubleByte;
  }
  EXPECT_EQ(doubleByte, 9486 - 270);  // every listed character but those with single-byte codes
}

TEST(Jef, EncodesWithoutMappingFile) {
  const struct {
    std::u16string text;
    std::int32_t length;
    const char* expected;
  } cases[] = {
      {u"", 3, "00 00 00 00 00 00"},
      {u"\u4E9C", 1, "B0 A1"},  // 0x889F
      {u"\u3000", 1, "A1 A1"},  // 0x8140
      {u"\u3042", 1, "A4 A2"},  // 0x82A0
      {u"\u00D7", 1, "A1 DF"},  // 0x817E
      {u"\u00F7", 1, "A1 E0"},  // 0x8180
      {u"\u6ECC", 1, "DE FE"},  // 0x9FFC
      {u"\u6F3E", 1, "DF A1"},  // 0xE040
      {u"\uE000", 1, "FF A1"},  // 0xF040, first user-defined character
      {u"\uE05E", 1, "00 A1"},  // 0xF09F: JIS first byte 0x80, no byte for it
      {u"\u2170", 1, "00 A1"},  // 0xFA40
      {u"A", 1, "21 61"},
      {u" ", 1, "00 61"},
      {u"0", 1, "00 61"},
      {u"\uFF71", 1, "81 61"},        // 0xB1: 2 x 0xB1 - 353 = 1
      {u"\u4E9C\u3000", 1, "B0 A1"},  // cut at the field length, no error
      {u"\u4E9C", 3, "B0 A1 00 00 00 00"},
      {u"\u4E9C", 0, ""},
      {u"\u4E9C", -1, ""},
      {u"", INT32_MIN, ""},
      {u"\u4E9C", 0x40000000, ""},  // 2 x length overflows
  };
  for (const auto& c : cases)
    EXPECT_EQ(hex(encodeJef(c.text, c.length, GaijiMapping())), c.expected) << c.expected;
}

}  // namespace
}  // namespace quor::character

namespace quor::character {
namespace {

std::u16string decodeJef(const ByteString& bytes, const GaijiMapping& mapping, bool lenient,
                         std::optional<base::DecodeFault>& fault, bool keepPadding = false) {
  std::u16string out;
  fault = readJef({bytes.data(), bytes.size()}, mapping, keepPadding, lenient, out);
  return out;
}

// Every double-byte code of the code page 932 table in the rows the JIS arithmetic reaches reads back,
// from its JEF code, as the character the table gives it, where the encoder writes that character with
// this code; a second code of a character is refused (it would not come back), read leniently as the
// character.
TEST(JefDecode, EveryCodeReadsAsTheCodePageTableSays) {
  std::ifstream in(std::string(QUOR_CP932_DATA_DIR) + "/cp932-decode.txt");
  std::string line;
  std::size_t checked = 0;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    const auto blank = line.find(' ');
    if (blank != 4) continue;  // single-byte codes
    const unsigned code = static_cast<unsigned>(std::stoul(line.substr(0, 4), nullptr, 16));
    const auto unit = static_cast<char16_t>(std::stoul(line.substr(5, 4), nullptr, 16));
    const auto [row, cell] = jisOf(code);
    // Rows beyond 0x7E (the user-defined area) have no JEF code of their own.
    if (row < 0x21 || row > 0x7E || cell < 0x21 || cell > 0x7E) continue;
    const ByteString jef{static_cast<std::uint8_t>(row + 0x80), static_cast<std::uint8_t>(cell + 0x80)};
    std::optional<base::DecodeFault> fault;
    const std::u16string text = decodeJef(jef, GaijiMapping(), false, fault, true);
    if (text::cp932::encode(unit) == code) {
      ASSERT_FALSE(fault.has_value()) << std::hex << code;
      ASSERT_EQ(text, std::u16string(1, unit)) << std::hex << code;
      ++checked;
    } else {
      ASSERT_TRUE(fault.has_value()) << std::hex << code;
      ASSERT_EQ(decodeJef(jef, GaijiMapping(), true, fault, true), std::u16string(1, unit)) << std::hex << code;
    }
  }
  EXPECT_GT(checked, 6900u);  // JIS X 0208 has 6879 characters
}

TEST(JefDecode, PaddingGaijiAndInvalidBytes) {
  const GaijiMapping mapping = GaijiMapping::fromText("8EA1 7F21\r\n");
  const struct {
    const char* bytes;
    const char16_t* text;  // null when invalid
    std::size_t faultAt;
  } cases[] = {
      {"B0 A1 A1 A1 A1 A1", u"\u4E9C", 0},  // trailing ideographic spaces are padding
      {"A1 A1 B0 A1", u"\u3000\u4E9C", 0},  // leading ones are text
      {"A3 C1 00 00", u"\uFF21", 0},        // 00 00 pads an empty component field
      {"8E A1", u"\uE000", 0},              // the mapping read backwards
      {"00 FE B0 A1", nullptr, 0},          // no JEF code
      {"B0 A1 FF A1", nullptr, 2},
      {"A9 A1", nullptr, 0},                // a JEF code without a character
  };
  for (const auto& c : cases) {
    std::optional<base::DecodeFault> fault;
    const std::u16string text = decodeJef(test::bytes(c.bytes), mapping, false, fault);
    if (c.text != nullptr) {
      EXPECT_FALSE(fault.has_value()) << c.bytes;
      EXPECT_EQ(text, c.text) << c.bytes;
    } else {
      ASSERT_TRUE(fault.has_value()) << c.bytes;
      EXPECT_EQ(fault->offset, c.faultAt) << c.bytes;
      // Leniently, the pair reads as U+FFFD and the rest is read.
      const std::u16string lenient = decodeJef(test::bytes(c.bytes), mapping, true, fault);
      EXPECT_EQ(lenient[c.faultAt / 2], u'\uFFFD') << c.bytes;
      EXPECT_EQ(lenient.size(), test::bytes(c.bytes).size() / 2) << c.bytes;
    }
  }
}

// Every character of a double-byte code page 932 code, the IBM extension rows (FA40-FC4B) and the
// NEC-selected rows (ED40-EEFC) included, goes through a mapping line both ways: the line whose key is
// that of the code the character is written as (FBFC for U+9AD9), alone or beside a line of a second
// code of the character, before or after it. A character written in the IBM extension rows is also
// mapped by the line of its NEC-selected code alone (EEE0 for U+9AD9); the line of any other second
// code alone maps nothing, as the encoder never writes that code.
TEST(JefDecode, EveryCharacterRoundTripsThroughItsMappingLine) {
  const auto keyOf = [](unsigned code) {
    const auto [row, cell] = jisOf(code);
    char key[8];
    std::snprintf(key, sizeof key, "%02X%02X", row, cell);
    return std::string(key);
  };
  const ByteString mapped = test::bytes("8E A1");
  const auto roundTrips = [&](char16_t c, const std::string& file) {
    const GaijiMapping mapping = GaijiMapping::fromText(file);
    std::optional<base::DecodeFault> fault;
    return encodeJef(std::u16string(1, c), 1, mapping) == mapped &&
           decodeJef(mapped, mapping, false, fault) == std::u16string(1, c) && !fault;
  };
  std::size_t characters = 0, secondCodes = 0, necSelected = 0;
  for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
    for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
      const char16_t c =
          text::cp932::decodeDouble(static_cast<std::uint8_t>(lead), static_cast<std::uint8_t>(trail));
      if (c == 0xFFFF || trail == 0x7F) continue;
      ++characters;
      const unsigned code = lead << 8 | trail;
      const unsigned written = text::cp932::encode(c);
      ASSERT_GT(written, 0xFFu) << std::hex << code;
      const std::string line = "8EA1 " + keyOf(written) + "\r\n";
      ASSERT_TRUE(roundTrips(c, line)) << std::hex << code;
      if (written == code) continue;
      ++secondCodes;
      const std::string second = "8EA1 " + keyOf(code) + "\r\n";
      ASSERT_TRUE(roundTrips(c, second + line)) << std::hex << code;
      ASSERT_TRUE(roundTrips(c, line + second)) << std::hex << code;
      const bool nec = written >= 0xFA40 && written <= 0xFC4B;
      necSelected += nec ? 1 : 0;
      ASSERT_EQ(roundTrips(c, second), nec) << std::hex << code;
      // The written code's own line decides where the file has one, wherever it stands.
      const GaijiMapping both = GaijiMapping::fromText(second + "8EA2 " + keyOf(written) + "\r\n");
      ASSERT_EQ(hex(encodeJef(std::u16string(1, c), 1, both)), "8E A2") << std::hex << code;
    }
  }
  // The double-byte lines of data/cp932/cp932-decode.txt; of them, second codes: the 374 NEC-selected
  // codes (ED, EE), 15 of the IBM rows (FA) and 9 of NEC row 13 (87) whose characters JIS codes write.
  // Of the NEC-selected codes, one (EEF9, U+FFE2) is of a character a JIS code writes (81CA).
  EXPECT_EQ(characters, 9604u);
  EXPECT_EQ(secondCodes, 374u + 15u + 9u);
  EXPECT_EQ(necSelected, 373u);
}

TEST(JefDecode, OfTwoLinesGivingOneCodeTheEarlierLinesCharacterReadsBack) {
  const struct {
    const char* file;
    const char16_t* text;
  } cases[] = {
      {"8EA1 7F21\r\n8EA1 7F22\r\n", u"\uE000"},
      {"8EA1 7F22\r\n8EA1 7F21\r\n", u"\uE001"},  // keys out of order
  };
  for (const auto& c : cases) {
    std::optional<base::DecodeFault> fault;
    EXPECT_EQ(decodeJef(test::bytes("8E A1"), GaijiMapping::fromText(c.file), false, fault), c.text) << c.file;
    EXPECT_FALSE(fault.has_value()) << c.file;
  }
}

}  // namespace
}  // namespace quor::character
