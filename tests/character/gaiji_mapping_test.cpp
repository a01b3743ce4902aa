// The gaiji mapping file: mapping files written into a temporary folder, read once, and the JEF
// encoder's result for characters looked up in them.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "character/jef.hpp"
#include "support/test_support.hpp"

namespace quor::character {
namespace {

using test::hex;
using test::u16;

ByteString encodeJef(std::u16string_view text, std::int32_t length, const GaijiMapping& mapping) {
  ByteString out;
  appendJef(text, length, mapping, out);
  return out;
}

class GaijiMappingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "quor-gaiji-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  // Writes `bytes` (code page 932) to a file in the folder; returns its path as UTF-16.
  std::u16string write(const std::string& bytes, const std::string& utf8Name = "map.txt") {
    const auto path = dir_ / std::filesystem::path(std::u8string(utf8Name.begin(), utf8Name.end()));
    std::ofstream(path, std::ios::binary) << bytes;
    return path.u16string();
  }

  std::filesystem::path dir_;
};

// Shift-JIS codes of the characters used below and their keys: U+E000 = F040 -> "7F21",
// U+E001 = F041 -> "7F22", U+4E9C = 889F -> "3021", "A" = 41 -> "A1E1", " " = 20 -> "5FE1".
TEST_F(GaijiMappingTest, LooksCharactersUp) {
  const struct {
    const char* what;
    std::string file;
    std::u16string text;
    const char* expected;
  } cases[] = {
      {"mapped", "8EA1 7F21", u"\uE000", "8E A1"},
      {"not listed", "8EA1 7F22", u"\uE000", "FF A1"},
      {"two characters", "8EA1 7F21\r\n8EA2 7F22\r\n", u"\uE001\uE000\u4E9C", "8E A2 8E A1 B0 A1"},
      {"single-byte key", "ABCD A1E1", u"A", "AB CD"},
      {"key of a negative value", "1234 5FE1", u" ", "12 34"},
      // The position of the key's first occurrence in its line: 6 and later carry a JEF code before it.
      {"key at 1", "7F21 8EA1", u"\uE000", "FF A1"},
      {"key at 2", "87F21", u"\uE000", "FF A1"},
      {"key at 5", "8EA17F21", u"\uE000", "FF A1"},
      {"key at 6", "8EA1-7F21", u"\uE000", "8E A1"},
      {"key at 7", "x8EA1 7F21 rest", u"\uE000", "8E A1"},
      {"key at 12", "comment 8EA1 7F21", u"\uE000", "8E A1"},
      // A key at 5 or less is not found, and no JEF code of an earlier character is reused for it.
      {"no reuse", "1234 3021\n7F21 8EA1", u"\u4E9C\uE000", "12 34 FF A1"},
      {"first line wins", "1111 7F21\n2222 7F21", u"\uE000", "11 11"},
      {"first line wins in another role", "7F21 0000\n8EA1 7F21", u"\uE000", "FF A1"},
      {"first occurrence in the line", "8EA1 7F21 9999 7F21", u"\uE000", "8E A1"},
      {"key inside another code", "0000 12347F21", u"\uE000", "01 23"},  // JEF text " 123"
      {"key in the code place", "7F21 3021", u"\u4E9C", "7F 21"},
      {"overlapping key", "8EA1 47F21", u"\uE000", "EA 01"},  // JEF text "EA1 "
      {"lower-case key", "8EA1 7f21", u"\uE000", "FF A1"},
      {"lower-case code", "8ea1 7F21", u"\uE000", "8E A1"},
      // The hexadecimal reading of each half.
      {"blank in a half", "8 A1 7F21", u"\uE000", "08 A1"},
      {"tab in a half", "\t8A1 7F21", u"\uE000", "08 A1"},
      {"no digits", "G1A1 7F21", u"\uE000", "00 A1"},
      {"digit then non-digit", "1GA1 7F21", u"\uE000", "01 A1"},
      // Line ends: CR, CRLF and LF each end a line; positions count from the start of the new line.
      {"CR", "0000 1111\r123 7F21", u"\uE000", "FF A1"},
      {"CRLF", "0000 1111\r\n123 7F21", u"\uE000", "FF A1"},
      {"LF", "0000 1111\n123 7F21", u"\uE000", "FF A1"},
      {"CRLF then mapping", "0000 1111\r\n8EA1 7F21\r\n", u"\uE000", "8E A1"},
      {"empty lines", "\r\n\n\r8EA1 7F21", u"\uE000", "8E A1"},
      // Positions count characters, not bytes: a double-byte character is one position.
      {"kanji before the code",
       "\x8A\xBF"
       "8EA1 7F21",
       u"\uE000", "8E A1"},
      {"kanji puts the key at 5",
       "\x8A\xBF"
       "ABC7F21",
       u"\uE000", "FF A1"},
      {"kanji as the separator",
       "8EA1\x8A\xBF"
       "7F21",
       u"\uE000", "8E A1"},
      {"kanji inside the code",
       "8\x8A\xBF"
       "A1 7F21",
       u"\uE000", "08 A1"},
      {"long text, kanji, code",
       "a comment of some length 8EA1\x8A\xBF"
       "7F21",
       u"\uE000", "8E A1"},
      {"kanji, long text, code", "\x8A\xBF a comment of some length 8EA1 7F21", u"\uE000", "8E A1"},
      {"half-width katakana", "\xB6\xC5 8EA1 7F21", u"\uE000", "8E A1"},
      {"lead byte alone",
       "\x81"
       "8EA1 7F21",
       u"\uE000", "8E A1"},
      {"unmapped double-byte code",
       "\x85\x40"
       "8EA1 7F21",
       u"\uE000", "8E A1"},
      // A double-byte character whose trail byte is "A" (0x8941) holds no key.
      {"trail byte A",
       "1234 \x89\x41"
       "1E1",
       u"A", "21 61"},
      {"empty file", "", u"\uE000\u4E9C", "FF A1 B0 A1"},
  };
  for (const auto& c : cases) {
    const GaijiMapping mapping = GaijiMapping::read(write(c.file));
    EXPECT_TRUE(mapping.opened()) << c.what;
    EXPECT_EQ(hex(encodeJef(c.text, static_cast<std::int32_t>(c.text.size()), mapping)), c.expected)
        << c.what;
  }
}

TEST_F(GaijiMappingTest, WithoutAFileEveryCharacterIsNotFound) {
  const std::u16string missing = write("8EA1 7F21") + u".missing";
  const std::u16string withNul = write("8EA1 7F21") + std::u16string(1, u'\0') + u"x";
  const struct {
    const char* what;
    std::u16string path;
  } cases[] = {{"missing file", missing}, {"empty path", u""}, {"path holding U+0000", withNul}};
  for (const auto& c : cases) {
    const GaijiMapping mapping = GaijiMapping::read(c.path);
    EXPECT_FALSE(mapping.opened()) << c.what;
    EXPECT_EQ(hex(encodeJef(u"\uE000", 1, mapping)), "FF A1") << c.what;
  }
  EXPECT_FALSE(GaijiMapping().opened());
}

// A folder cannot be read as a file: whether its open fails (Windows) or its first read fails
// (POSIX), no line is read and every character is not found.
TEST_F(GaijiMappingTest, AFolderGivesNoLines) {
  EXPECT_EQ(hex(encodeJef(u"\uE000", 1, GaijiMapping::read(dir_.u16string()))), "FF A1");
}

TEST_F(GaijiMappingTest, OpensANonAsciiPath) {
  const std::u16string path = write("8EA1 7F21", "外字 map.txt");
  EXPECT_NE(path.find(u"外字"), std::u16string::npos);
  const GaijiMapping mapping = GaijiMapping::read(path);
  EXPECT_TRUE(mapping.opened());
  EXPECT_EQ(hex(encodeJef(u"\uE000", 1, mapping)), "8E A1");
}

// A reading holds the file's content at the moment of the read; copies share it.
TEST_F(GaijiMappingTest, AReadingKeepsTheContentItRead) {
  const std::u16string path = write("8EA1 7F21");
  const GaijiMapping first = GaijiMapping::read(path);
  write("1234 7F21");
  const GaijiMapping copy = first;
  EXPECT_EQ(hex(encodeJef(u"\uE000", 1, copy)), "8E A1");
  EXPECT_EQ(hex(encodeJef(u"\uE000", 1, GaijiMapping::read(path))), "12 34");
}

// Every four-digit key of a large file, each on its own line, is found with its own code.
TEST_F(GaijiMappingTest, FindsEveryUserDefinedCharacterOfAFullFile) {
  std::string file;
  std::u16string text;
  char line[32];
  for (unsigned i = 0; i < 1880; ++i) {  // U+E000..U+E757: the user-defined area
    text += static_cast<char16_t>(0xE000 + i);
    const unsigned lead = 0xF0 + i / 188, trailIndex = i % 188;
    const unsigned trail = 0x40 + trailIndex + (trailIndex >= 0x3F ? 1 : 0);
    const unsigned s2 = trail > 0x7F ? trail - 1 : trail;
    const unsigned j1 = (lead - 0xB1) * 2 + 1 + (s2 >= 0x9E ? 1 : 0);
    const unsigned j2 = s2 >= 0x9E ? s2 - 0x7D : s2 - 0x1F;
    std::snprintf(line, sizeof line, "%04X %02X%02X\r\n", i, j1 & 0xFF, j2);
    file += line;
  }
  const ByteString out = encodeJef(text, 1880, GaijiMapping::read(write(file)));
  for (unsigned i = 0; i < 1880; ++i) {
    ASSERT_EQ(out[2 * i], i >> 8) << i;
    ASSERT_EQ(out[2 * i + 1], i & 0xFF) << i;
  }
}

}  // namespace
}  // namespace quor::character
