#include "quor/text.hpp"

#include <gtest/gtest.h>

#include "text/cp932.hpp"

namespace quor {
namespace {

enum class InputEncoding { utf8, cp932 };

// A line decoded into a buffer grown to hold it, as the tool reads its input lines.
TextDecodeResult decodeLine(std::string_view bytes, InputEncoding encoding, std::u16string& out) {
  if (out.size() < bytes.size()) out.resize(bytes.size());
  return encoding == InputEncoding::utf8 ? decodeUtf8(bytes, out.data()) : decodeCp932(bytes, out.data());
}

std::u16string cp932(const std::string& bytes, TextDecodeResult& result) {
  std::u16string out;
  result = decodeLine(bytes, InputEncoding::cp932, out);
  out.resize(result.length);
  return out;
}

TEST(Cp932Input, ReadsAsWindowsReads) {
  struct Case {
    std::string bytes;
    std::u16string text;
  };
  const Case cases[] = {
      {"A,1", u"A,1"},
      {"\x81\x60", u"\uFF5E"},                  // the wave dash code reads as the full-width tilde
      {"\x95\x5C", u"\u8868"},                  // a trail byte equal to "\" belongs to its kanji
      {"\xB1\xB2", u"\uFF71\uFF72"},            // half-width katakana are single bytes
      {"\xF0\x40", u"\uE000"},                  // the first user-defined character
      {"\x88\x9F,\x82\xA0", u"\u4E9C,\u3042"},  // kanji and hiragana between items
  };
  for (const Case& c : cases) {
    TextDecodeResult result;
    EXPECT_EQ(cp932(c.bytes, result), c.text);
    EXPECT_TRUE(result.ok);
  }
}

TEST(Cp932Input, AsciiBytesAreThemselves) {
  // The decoder takes ASCII without the table; the table must agree.
  for (unsigned b = 0; b < 0x80; ++b)
    EXPECT_EQ(text::cp932::decodeSingle(static_cast<std::uint8_t>(b)), static_cast<char16_t>(b)) << b;
}

TEST(Cp932Input, BytesWithoutACharacterAreRefused) {
  struct Case {
    std::string bytes;
    std::size_t offset;
  };
  const Case cases[] = {
      {"ab\x88", 2},     // a lead byte standing last
      {"\x88\x20x", 0},  // a lead byte followed by a byte outside the trail range
      {"x\x85\x40", 1},  // a pair without a character
  };
  for (const Case& c : cases) {
    TextDecodeResult result;
    cp932(c.bytes, result);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.errorOffset, c.offset);
  }
}

TEST(Cp932Input, AgreesWithTheLibraryOnEveryValidPair) {
  for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
    if (!text::cp932::isLeadByte(static_cast<std::uint8_t>(lead))) continue;
    for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
      const std::string bytes{static_cast<char>(lead), static_cast<char>(trail)};
      const std::u16string windows = text::cp932::decodeText(bytes);
      TextDecodeResult result;
      const std::u16string ours = cp932(bytes, result);
      if (result.ok) {
        EXPECT_EQ(ours, windows) << std::hex << lead << trail;
      } else {
        // Refused only where Windows has no character either.
        EXPECT_EQ(windows.front(), text::cp932::kUndefinedChar) << std::hex << lead << trail;
      }
    }
  }
}

TEST(Utf8Input, DecodeLineGrowsItsBuffer) {
  std::u16string out;
  const TextDecodeResult result = decodeLine("\xE4\xBA\x9C,123", InputEncoding::utf8, out);
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(out.substr(0, result.length), u"\u4E9C,123");
}

}  // namespace
}  // namespace quor
