#include "character/ebcdic_kana.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "character/ebcdic_kana_table.hpp"
#include "text/cp932.hpp"
#include "support/test_support.hpp"

namespace quor::character {
namespace {

using test::bytes;
using test::errorOf;
using test::hex;

ByteString encodeEbcdicKana(std::u16string_view text, std::int32_t length) {
  ByteString out;
  appendEbcdicKana(text, length, out);
  return out;
}

// The code table as the host documentation prints it: row = high nibble, column = low nibble.
constexpr const char* kGrid[16] = {
    "00 01 02 03 37 2D 2E 2F 16 05 25 0B 0C 0D 0E 0F", "10 11 12 13 3C 3D 32 26 18 19 3F 27 1C 1D 1E 1F",
    "40 5A 7F 7B E0 6C 50 7D 4D 5D 5C 4E 6B 60 4B 61", "F0 F1 F2 F3 F4 F5 F6 F7 F8 F9 7A 5E 4C 7E 6E 6F",
    "7C C1 C2 C3 C4 C5 C6 C7 C8 C9 D1 D2 D3 D4 D5 D6", "D7 D8 D9 E2 E3 E4 E5 E6 E7 E8 E9 70 5B 80 B0 6D",
    "79 62 63 64 65 66 67 68 69 71 72 73 74 75 76 77", "78 8B 9B AB B3 B4 B5 B6 B7 B8 B9 C0 6A D0 A0 07",
    "20 21 22 23 24 15 06 17 28 29 2A 2B 2C 09 0A 1B", "30 31 1A 33 34 35 36 08 38 39 3A 3B 04 14 3E E1",
    "4A 41 42 43 44 45 46 47 48 49 51 52 53 54 55 56", "58 81 82 83 84 85 86 87 88 89 8A 8C 8D 8E 8F 90",
    "91 92 93 94 95 96 97 98 99 9A 9D 9E 9F A2 A3 A4", "A5 A6 A7 A8 A9 AA AC AD AE AF BA BB BC BD BE BF",
    "4F 57 59 5F 9C A1 B1 B2 CA CB CC CD CE CF DA DB", "DC DD DE DF EA EB EC ED EE EF FA FB FC FD FE FF",
};

// Every code of the table, and every character with a single-byte code through the encoder.
TEST(EbcdicKana, TableMatchesTheGrid) {
  int encoded = 0;
  for (unsigned code = 0; code < 256; ++code) {
    const ByteString row = bytes(kGrid[code / 16]);
    ASSERT_EQ(row.size(), 16u);
    const std::uint8_t expected = row[code % 16];
    EXPECT_EQ(kEbcdicKana[code], expected) << std::hex << code;
    const char16_t c = text::cp932::decodeSingle(static_cast<std::uint8_t>(code));
    if (c == 0xFFFF) continue;  // a lead byte: no character has this single-byte code
    EXPECT_EQ(encodeEbcdicKana(std::u16string(1, c), 1), ByteString{expected}) << std::hex << code;
    ++encoded;
  }
  EXPECT_EQ(encoded, 256 - 60);
}

TEST(EbcdicKana, EncodesTexts) {
  const struct {
    std::u16string text;
    std::int32_t length;
    const char* expected;
  } cases[] = {
      {u"ABC", 5, "C1 C2 C3 00 00"},  // 0x00 after the text, not the EBCDIC blank
      {u"ABC", 3, "C1 C2 C3"},
      {u"", 3, "00 00 00"},
      {u"\u4E9C", 1, "4F"},  // a double-byte character gives one substitute byte
      {u"\u3000", 2, "4F 00"},
      {u"A\u4E9CB", 3, "C1 4F C2"},
      {u"\t\n\r", 4, "05 25 0D 00"},
      {std::u16string(1, u'\0'), 1, "00"},
      {u"0123456789", 10, "F0 F1 F2 F3 F4 F5 F6 F7 F8 F9"},
      {u" az", 3, "40 62 B9"},
      {u"\\~\x7F", 3, "5B A0 07"},
      {u"\u00A5", 1, "5B"},  // the yen sign takes the code 0x5C
      {u"\uFF61\uFF70\uFF71\uFF9F", 4, "41 58 81 BF"},
      {u"\uFF76\uFF9E", 2, "86 BE"},  // half-width katakana stay two characters
      {u"\u301C", 1, "6F"},           // no code page 932 form: "?" (0x3F)
      {u"\xD83D\xDE00", 2, "6F 6F"},  // each half of a surrogate pair is a character without a form
  };
  for (const auto& c : cases) EXPECT_EQ(hex(encodeEbcdicKana(c.text, c.length)), c.expected) << c.expected;
}

TEST(EbcdicKana, RejectsAFieldTooShort) {
  const struct {
    std::u16string text;
    std::int32_t length;
  } cases[] = {
      {u"ABC", 2}, {u"A", 0}, {u"", 0}, {u"", -1}, {u"ABC", -1}, {u"", INT32_MIN}, {u"\u4E9C\u4E9C", 1},
  };
  for (const auto& c : cases)
    EXPECT_EQ(errorOf([&] { (void)encodeEbcdicKana(c.text, c.length); }), 9) << c.length;
}

}  // namespace
}  // namespace quor::character

namespace quor::character {
namespace {

// Every byte reads back as the single-byte character whose code the table gives it, so encoding what
// it reads gives the byte again; the bytes of lead-byte codes (the substitute 0x4F among them) are no
// character.
TEST(EbcdicKanaDecode, EveryByteReadsBackOrIsInvalid) {
  std::size_t characters = 0;
  for (unsigned byte = 0; byte < 256; ++byte) {
    const std::uint8_t field[] = {static_cast<std::uint8_t>(byte), 0xC1};
    std::u16string text;
    const auto fault = readEbcdicKana(field, true, false, text);
    if (fault) {
      EXPECT_TRUE(text::cp932::isLeadByte(kEbcdicKanaInverse[byte])) << std::hex << byte;
      EXPECT_EQ(fault->offset, 0u);
      continue;
    }
    ++characters;
    ASSERT_EQ(text.size(), 2u) << std::hex << byte;
    ByteString again;
    appendEbcdicKana(std::u16string_view(text), 2, again);
    EXPECT_EQ(again, ByteString(field, 2)) << std::hex << byte;
  }
  EXPECT_EQ(characters, 256u - 60u);  // 60 lead bytes
}

TEST(EbcdicKanaDecode, PaddingIsDroppedUnlessKept) {
  const std::uint8_t field[] = {0xC1, 0x40, 0xC2, 0x40, 0x00, 0x40};
  std::u16string dropped;
  std::u16string kept;
  EXPECT_FALSE(readEbcdicKana(field, false, false, dropped));
  EXPECT_FALSE(readEbcdicKana(field, true, false, kept));
  EXPECT_EQ(dropped, u"A B");
  EXPECT_EQ(kept, std::u16string(u"A B \0 ", 6));
  const std::uint8_t substitute[] = {0xC1, 0x4F, 0xC2};
  std::u16string lenient;
  const auto fault = readEbcdicKana(substitute, false, true, lenient);
  ASSERT_TRUE(fault.has_value());
  EXPECT_EQ(fault->offset, 1u);
  EXPECT_EQ(lenient, u"A\uFFFDB");
}

}  // namespace
}  // namespace quor::character
