// The IBM host code pages' compiled tables against the data they were generated from (data/ibm-*/),
// each code and character through the text and national field encoders and decoders, and the field
// encoder against the system's iconv where it knows the pages.

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#if __has_include(<iconv.h>)
#include <iconv.h>
#define QUOR_HAVE_ICONV 1
#endif

#include "character/gaiji_index.hpp"
#include "character/host_page.hpp"
#include "character/host_text.hpp"

namespace quor::character {
namespace {

struct Page {
  HostCodePage page;
  const char* name;
  const char* iconvName;
};
constexpr Page kPages[] = {
    {HostCodePage::ibm930, "ibm-930", "IBM930"},    {HostCodePage::ibm939, "ibm-939", "IBM939"},
    {HostCodePage::ibm1390, "ibm-1390", "IBM1390"}, {HostCodePage::ibm1399, "ibm-1399", "IBM1399"},
    {HostCodePage::ibm037, "ibm-037", "IBM037"},    {HostCodePage::ibm1140, "ibm-1140", "IBM1140"},
    {HostCodePage::ibm1047, "ibm-1047", "IBM1047"}, {HostCodePage::ibm500, "ibm-500", "IBM500"},
};

// The Windows forms and their JIS forms: the host has one code for both.
constexpr std::pair<char16_t, char16_t> kWindowsForms[] = {{u'\uFF5E', u'\u301C'}, {u'\u2225', u'\u2016'},
                                                           {u'\uFF0D', u'\u2212'}, {u'\uFFE0', u'\u00A2'},
                                                           {u'\uFFE1', u'\u00A3'}, {u'\uFFE2', u'\u00AC'}};

// The codes the Windows forms take where the data gives them another or none: the double-byte code of
// their JIS form on 1390 and 1399, the JIS form's code on the single-byte pages.
std::map<char16_t, std::uint16_t> windowsCodes(HostCodePage page, const std::vector<std::uint16_t>& data) {
  if (page == HostCodePage::ibm1390 || page == HostCodePage::ibm1399)
    return {{u'\uFF5E', 0x43A1}, {u'\u2225', 0x447C}, {u'\uFF0D', 0x4260}};
  std::map<char16_t, std::uint16_t> codes;
  if (!hasDoubleByte(page))
    for (const auto& [windows, jis] : kWindowsForms) codes[windows] = data[jis];
  return codes;
}

struct Line {
  unsigned first;
  unsigned second;
  bool oneWay;
  bool doubleByte;  // the code has four digits
};

std::vector<Line> readData(const std::string& page, const char* kind) {
  std::ifstream in(std::string(QUOR_DATA_DIR) + "/" + page + "/" + page + "-" + kind + ".txt");
  std::vector<Line> lines;
  std::string text;
  while (std::getline(in, text)) {
    if (text.empty() || text[0] == '#') continue;
    std::istringstream fields(text);
    std::string a, b, mark;
    fields >> a >> b >> mark;
    lines.push_back({static_cast<unsigned>(std::stoul(a, nullptr, 16)), static_cast<unsigned>(std::stoul(b, nullptr, 16)),
                     mark == "oneway",
                     (kind[0] == 'd' ? a : b).size() == 4});
  }
  return lines;
}

TEST(HostPages, TablesMatchTheirData) {
  const GaijiIndex none;
  for (const Page& p : kPages) {
    SCOPED_TRACE(p.name);
    const HostText host(p.page, none);
    const auto decode = readData(p.name, "decode");
    ASSERT_GT(decode.size(), 250u) << "data not found under " << QUOR_DATA_DIR;
    std::size_t characters = 0;
    for (unsigned b = 0; b < 256; ++b) characters += ibmDecodeSingle(p.page, static_cast<std::uint8_t>(b)) != 0xFFFF;
    for (unsigned c = 0; c < 0x10000; ++c)
      characters += ibmDecodeDouble(p.page, static_cast<std::uint8_t>(c >> 8), static_cast<std::uint8_t>(c)) != 0xFFFF;
    EXPECT_EQ(characters, decode.size()) << "codes the tables read that the data does not list";
    for (const Line& line : decode) {
      const char16_t expected = static_cast<char16_t>(line.second);
      if (!line.doubleByte) {
        EXPECT_EQ(host.readSingle(static_cast<std::uint8_t>(line.first)), expected) << std::hex << line.first;
        continue;
      }
      const char* reason = nullptr;
      EXPECT_EQ(host.readPair(static_cast<std::uint8_t>(line.first >> 8), static_cast<std::uint8_t>(line.first), reason),
                expected)
          << std::hex << line.first;
      EXPECT_EQ(reason, nullptr);
    }

    std::vector<std::uint16_t> expected(0x10000, kNoHostCode);
    std::vector<bool> exact(0x10000, false);
    for (const Line& line : readData(p.name, "encode")) {
      expected[line.first] = static_cast<std::uint16_t>(line.second);
      exact[line.first] = !line.oneWay;
    }
    for (const auto& [unit, code] : windowsCodes(p.page, expected)) expected[unit] = code;
    std::map<unsigned, char16_t> read;
    for (const Line& line : decode) read[line.first] = static_cast<char16_t>(line.second);
    for (const auto& [windows, jis] : kWindowsForms)
      if (expected[windows] != kNoHostCode && read[expected[windows]] == jis) exact[windows] = true;
    for (unsigned u = 0; u < 0x10000; ++u) {
      const auto unit = static_cast<char16_t>(u);
      ASSERT_EQ(ibmEncode(p.page, unit), expected[u]) << std::hex << u;
      if (expected[u] == kNoHostCode) continue;
      // The text field's encoder writes the code, and says whether it reads back as the character.
      const HostForm form = host.textForm(unit);
      const unsigned written = form.size == 1 ? form.bytes[0] : (form.bytes[0] << 8 | form.bytes[1]);
      EXPECT_EQ(written, expected[u]) << std::hex << u;
      EXPECT_EQ(form.issue == FormIssue::none, exact[u]) << std::hex << u;
    }
  }
}

#ifdef QUOR_HAVE_ICONV
// `value` (UTF-16) as iconv writes it on `page`: SO and SI around each double-byte run.
bool iconvBytes(iconv_t cd, std::u16string_view value, ByteString& out) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  std::string in(reinterpret_cast<const char*>(value.data()), 2 * value.size());
  std::string buffer(4 * value.size() + 8, '\0');
  char* inPtr = in.data();
  char* outPtr = buffer.data();
  std::size_t inLeft = in.size();
  std::size_t outLeft = buffer.size();
  if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) return false;
  if (iconv(cd, nullptr, nullptr, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) return false;
  out.clear();
  out.append(reinterpret_cast<const std::uint8_t*>(buffer.data()), static_cast<std::size_t>(outPtr - buffer.data()));
  return true;
}

TEST(HostPages, FieldsAsTheSystemIconvWritesThem) {
  const GaijiIndex none;
  for (const Page& p : kPages) {
    SCOPED_TRACE(p.name);
    const iconv_t cd = iconv_open(p.iconvName, "UTF-16LE");
    if (cd == reinterpret_cast<iconv_t>(-1)) GTEST_SKIP() << "iconv does not know " << p.iconvName;
    const HostText host(p.page, none);
    // Every character that round trips, 64 to a value: single-byte and double-byte ones mixed, so the
    // runs start and end all through the values.
    std::u16string value;
    const auto check = [&] {
      ByteString expected;
      ASSERT_TRUE(iconvBytes(cd, value, expected));
      ByteString ours;
      appendHostText(host, value, expected.size() + 1, hasDoubleByte(p.page), ours);
      std::u16string read;
      EXPECT_FALSE(readHostText(host, expected, hasDoubleByte(p.page), true, false, read));
      EXPECT_EQ(read, value);
      expected.push_back(0x40);  // the field's one blank after the text
      EXPECT_EQ(ours, expected);
      value.clear();
    };
    for (unsigned u = 1; u < 0x10000; ++u) {
      const auto unit = static_cast<char16_t>(u);
      const HostForm form = host.textForm(unit);
      if (form.issue != FormIssue::none || (form.size == 1 && (form.bytes[0] == 0x40 || form.bytes[0] == 0x00))) continue;
      // The Windows forms, which read back in their JIS form, are not iconv's.
      if (form.size == 1 && ibmDecodeSingle(p.page, form.bytes[0]) != unit) continue;
      if (form.size == 2 && ibmDecodeDouble(p.page, form.bytes[0], form.bytes[1]) != unit) continue;
      value += unit;
      if (value.size() == 64) check();
    }
    if (!value.empty()) check();
    iconv_close(cd);
  }
}
#endif

}  // namespace
}  // namespace quor::character
