// The compiled code page 932 tables against the data files they were generated from (data/cp932).

#include "text/cp932.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace quor::text {
namespace {

struct DataLine {
  unsigned first;
  unsigned second;
  bool bestFit;
};

// The lines "XXXX YYYY [bestfit]" of a shared data file, comments skipped.
std::vector<DataLine> readData(const std::string& name) {
  std::ifstream in(std::string(QUOR_CP932_DATA_DIR) + "/" + name);
  std::vector<DataLine> lines;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string a, b, mark;
    fields >> a >> b >> mark;
    lines.push_back({static_cast<unsigned>(std::stoul(a, nullptr, 16)),
                     static_cast<unsigned>(std::stoul(b, nullptr, 16)), mark == "bestfit"});
  }
  return lines;
}

char16_t decodeCode(unsigned code) {
  return code > 0xFF
             ? cp932::decodeDouble(static_cast<std::uint8_t>(code >> 8), static_cast<std::uint8_t>(code))
             : cp932::decodeSingle(static_cast<std::uint8_t>(code));
}

TEST(Cp932, EncodesEveryBmpCodePointAsTheDataFileSays) {
  const auto lines = readData("cp932-encode.txt");
  ASSERT_EQ(lines.size(), 9486u) << "shared data not found under " << QUOR_CP932_DATA_DIR;
  std::vector<unsigned> expected(0x10000, 0x3F);  // no form: the single-byte substitute "?"
  for (const auto& l : lines) expected[l.first] = l.second;

  int checked = 0;
  for (unsigned cp = 0; cp < 0x10000; ++cp) {
    const bool surrogate = cp >= 0xD800 && cp <= 0xDFFF;
    const auto unit = static_cast<char16_t>(cp);
    ASSERT_EQ(cp932::encode(unit), surrogate ? 0x3Fu : expected[cp]) << std::hex << "U+" << cp;
    ASSERT_EQ(cp932::byteLength(unit), expected[cp] > 0xFF ? 2 : 1) << std::hex << "U+" << cp;
    if (!surrogate) ++checked;
  }
  EXPECT_EQ(checked, 63488);
}

TEST(Cp932, SpotChecks) {
  const std::pair<char16_t, unsigned> cases[] = {
      {0x2170, 0xFA40}, {0x2160, 0x8754}, {0x2252, 0x81E0}, {0xFFE2, 0x81CA}, {0xFFE4, 0xFA55},
      {0x00A5, 0x5C},   {0x00B7, 0x8145}, {0x301C, 0x3F},   {0xE000, 0xF040}, {0xE757, 0xF9FC},
      {0xE758, 0x3F},   {0xFF61, 0xA1},   {0xFF9F, 0xDF},   {0x0080, 0x80},   {0xF8F0, 0xA0},
      {0xFF5E, 0x8160}, {0x4E9C, 0x889F}, {0x3000, 0x8140}, {0xD800, 0x3F},   {0xFFFF, 0x3F},
  };
  for (const auto& [unit, code] : cases)
    EXPECT_EQ(cp932::encode(unit), code) << std::hex << "U+" << static_cast<unsigned>(unit);
}

// Every round-trip line decodes back to its character, and every code decodes to a character whose
// code decodes to that same character (duplicate-coded characters take one code, as Windows does).
TEST(Cp932, DecodeTableAgreesWithEncodeTable) {
  for (const auto& l : readData("cp932-encode.txt")) {
    if (l.bestFit) continue;
    EXPECT_EQ(decodeCode(l.second), l.first) << std::hex << "code " << l.second;
  }
  const auto decodeLines = readData("cp932-decode.txt");
  ASSERT_EQ(decodeLines.size(), 9800u);
  std::vector<bool> listed(0x10000);
  for (const auto& l : decodeLines) {
    listed[l.first] = true;
    EXPECT_EQ(decodeCode(l.first), l.second) << std::hex << "code " << l.first;
    EXPECT_EQ(decodeCode(cp932::encode(static_cast<char16_t>(l.second))), l.second)
        << std::hex << "U+" << l.second;
  }
  // Codes the file does not list have no character.
  for (unsigned lead = 0; lead < 0x100; ++lead) {
    const auto leadByte = static_cast<std::uint8_t>(lead);
    EXPECT_EQ(cp932::isLeadByte(leadByte), (lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC))
        << std::hex << lead;
    if (!cp932::isLeadByte(leadByte)) {
      EXPECT_TRUE(listed[lead]) << std::hex << lead;
      continue;
    }
    EXPECT_EQ(cp932::decodeSingle(leadByte), 0xFFFF);
    for (unsigned trail = 0; trail < 0x100; ++trail) {
      if (listed[lead << 8 | trail]) continue;
      ASSERT_EQ(cp932::decodeDouble(leadByte, static_cast<std::uint8_t>(trail)), 0xFFFF)
          << std::hex << lead << trail;
    }
  }
}

TEST(Cp932, DecodesText) {
  const struct {
    std::string bytes;
    std::u16string text;
  } cases[] = {
      {"", u""},
      {"A\r\nB", u"A\r\nB"},
      {"\x88\x9F\x81\x60", u"\u4E9C\uFF5E"},  // 0x8160 reads as the full-width tilde
      {"\xB1\xDF\xA0", u"\uFF71\uFF9F\uF8F0"},
      {"\x85\x40x", u"\u30FBx"},  // a lead byte and a trail byte without a character: one substitute
      {"\x81"
       "8A",
       u"\u30FB"
       "8A"},  // a lead byte without a trail byte does not swallow the next byte
      {"\x81\r\n", u"\u30FB\r\n"},
      {"x\x9F", u"x\u30FB"},  // a lead byte at the end
  };
  for (const auto& c : cases) EXPECT_EQ(cp932::decodeText(c.bytes), c.text) << c.bytes;
}

}  // namespace
}  // namespace quor::text
