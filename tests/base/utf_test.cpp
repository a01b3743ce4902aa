#include "quor/text.hpp"

#include <gtest/gtest.h>

#include <string>

namespace quor {
namespace {

// An independent encoder for the reference direction: code point to UTF-8 bytes.
std::string encodeUtf8(char32_t c) {
  std::string out;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
  return out;
}

std::u16string decode(const std::string& bytes, TextDecodeResult& result) {
  std::u16string out(bytes.size(), u'\0');
  result = decodeUtf8(bytes, out.data());
  out.resize(result.length);
  return out;
}

TEST(Utf8, EveryScalarValueDecodesToItsUtf16Form) {
  // Each code point placed after seven ASCII bytes and before nine, so it lands on and off the
  // eight-byte ASCII path, 4096 of them a call (one call each takes minutes under valgrind).
  constexpr char32_t kBlock = 4096;
  for (char32_t first = 0; first <= 0x10FFFF; first += kBlock) {
    std::string bytes;
    std::u16string expected;
    for (char32_t c = first; c < first + kBlock && c <= 0x10FFFF; ++c) {
      if (c >= 0xD800 && c <= 0xDFFF) continue;
      bytes += "abcdefg" + encodeUtf8(c) + "hijklmnop";
      expected += u"abcdefg";
      if (c < 0x10000) {
        expected += static_cast<char16_t>(c);
      } else {
        expected += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
        expected += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
      }
      expected += u"hijklmnop";
    }
    TextDecodeResult result;
    const std::u16string got = decode(bytes, result);
    ASSERT_TRUE(result.ok) << "block from " << std::hex << static_cast<unsigned>(first) << ", byte " << std::dec
                           << result.errorOffset;
    ASSERT_EQ(got, expected) << "block from " << std::hex << static_cast<unsigned>(first);
  }
}

TEST(Utf8, InvalidSequencesAreRefusedAtTheirFirstByte) {
  struct Case {
    std::string bytes;
    std::size_t offset;
  };
  const Case cases[] = {
      {"ab\x80", 2},            // a continuation byte on its own
      {"\xC0\x80", 0},          // overlong two-byte form of U+0000
      {"\xC1\xBF", 0},          // overlong two-byte form
      {"x\xE0\x80\xAF", 1},     // overlong three-byte form
      {"\xED\xA0\x80", 0},      // a surrogate, U+D800
      {"\xED\xBF\xBF", 0},      // a surrogate, U+DFFF
      {"\xF0\x8F\xBF\xBF", 0},  // overlong four-byte form
      {"\xF4\x90\x80\x80", 0},  // above U+10FFFF
      {"\xF5\x80\x80\x80", 0},  // a lead byte that is never valid
      {"\xFF", 0},              // likewise
      {"abc\xE3\x81", 3},       // cut short at the end
      {"\xE3\x41\x81", 0},      // a continuation byte missing
      {"12345678\xC3", 8},      // cut short after the ASCII run
  };
  for (const Case& c : cases) {
    TextDecodeResult result;
    decode(c.bytes, result);
    EXPECT_FALSE(result.ok) << c.bytes;
    EXPECT_EQ(result.errorOffset, c.offset) << c.bytes;
  }
}

TEST(Utf8, EmptyInputIsEmptyText) {
  TextDecodeResult result;
  EXPECT_EQ(decode("", result), u"");
  EXPECT_TRUE(result.ok);
}

}  // namespace
}  // namespace quor
