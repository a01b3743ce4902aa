// The character encoders beside a literal implementation of their algorithms, measured in one run:
// the literal EBCDIC encoder searches a table of "&Hxx" texts for every character, and the literal JEF
// encoder opens the mapping file and reads it from its start for every character. The ratios of the
// *Literal to the plain figures are the speed-ups of the table lookup and of the indexed mapping.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "character/ebcdic_kana.hpp"
#include "character/jef.hpp"
#include "text/cp932.hpp"
#include "platform/path.hpp"
#include "quor/error.hpp"

namespace {

using quor::ByteString;
using quor::GaijiMapping;
namespace cp932 = quor::text::cp932;

// The library's encoders, each giving its field as a ByteString.
quor::ByteString ebcdicKana(std::u16string_view text, std::int32_t length) {
  quor::ByteString out;
  quor::character::appendEbcdicKana(text, length, out);
  return out;
}

quor::ByteString jef(std::u16string_view text, std::int32_t length, const quor::GaijiMapping& mapping) {
  quor::ByteString out;
  quor::character::appendJef(text, length, mapping, out);
  return out;
}

// ---------------------------------------------------------------------------------------------------
// Inputs

// Single-byte text: letters, digits, signs and half-width katakana.
std::u16string singleByteText(std::size_t n) {
  const std::u16string pattern = u"ABC-123 \uFF76\uFF85\uFF9E\uFF80\uFF9E\uFF73 xyz/09";
  std::u16string text;
  while (text.size() < n) text += pattern;
  text.resize(n);
  return text;
}

// Ten characters of a kanji name field: eight ordinary characters (no mapping line holds them) and two
// user-defined characters whose lines lie in the middle and near the end of the file.
const std::u16string kKanjiField = u"\u5C71\u7530\u592A\u90CE\uE100\u3000\u6771\u4EAC\uE700\u90FD";

// A mapping file of 2,000 lines: one line per user-defined character (1,880), then 120 comment lines.
class MappingFile {
 public:
  MappingFile() {
    path_ =
        std::filesystem::temp_directory_path() / ("quor-bench-gaiji-" + std::to_string(getpid()) + ".txt");
    std::ofstream out(path_, std::ios::binary);
    char line[64];
    for (unsigned i = 0; i < 1880; ++i) {
      const unsigned code = cp932::encode(static_cast<char16_t>(0xE000 + i));
      unsigned s1 = code >> 8, s2 = code & 0xFF;
      unsigned j1 = (s1 - 0xB1) * 2 + 1;
      if (s2 > 0x7F) --s2;
      unsigned j2;
      if (s2 >= 0x9E) {
        j2 = s2 - 0x7D;
        ++j1;
      } else {
        j2 = s2 - 0x1F;
      }
      std::snprintf(line, sizeof line, "%02X%02X %02X%02X\r\n", 0x40 + i / 94, 0xA1 + i % 94, j1 & 0xFF, j2);
      out << line;
    }
    for (unsigned i = 0; i < 120; ++i) out << "' site character list, kept by the host team\r\n";
  }
  ~MappingFile() { std::filesystem::remove(path_); }
  std::u16string path() const { return path_.u16string(); }

 private:
  std::filesystem::path path_;
};

const MappingFile& mappingFile() {
  static const MappingFile file;
  return file;
}

const std::u16string kMissingPath = u"/nonexistent/quor/FMB1JEFM.TXT";

// ---------------------------------------------------------------------------------------------------
// The literal algorithms

std::u16string hexText(unsigned value, int minDigits) {
  static const char16_t digits[] = u"0123456789ABCDEF";
  std::u16string out;
  do {
    out.insert(out.begin(), digits[value % 16]);
    value /= 16;
  } while (value != 0);
  while (static_cast<int>(out.size()) < minDigits) out.insert(out.begin(), u'0');
  return out;
}

// Hexadecimal reading of a text: blanks, tabs and line feeds skipped, digits up to the first other.
int hexValue(std::u16string_view text) {
  int value = 0;
  for (char16_t c : text) {
    if (c == u' ' || c == u'\t' || c == u'\n') continue;
    int d;
    if (c >= u'0' && c <= u'9')
      d = c - u'0';
    else if (c >= u'A' && c <= u'F')
      d = c - u'A' + 10;
    else if (c >= u'a' && c <= u'f')
      d = c - u'a' + 10;
    else
      break;
    value = value * 16 + d;
  }
  return value;
}

struct LiteralTables {
  std::vector<std::u16string> sjis;
  std::vector<std::u16string> ebcdic;
};

// The two lists of 256 texts, built from 16 comma-separated row texts as the object's creation does.
const LiteralTables& literalTables() {
  static const LiteralTables tables = [] {
    static const char* const rows[16] = {
        "&H00,&H01,&H02,&H03,&H37,&H2D,&H2E,&H2F,&H16,&H05,&H25,&H0B,&H0C,&H0D,&H0E,&H0F,",
        "&H10,&H11,&H12,&H13,&H3C,&H3D,&H32,&H26,&H18,&H19,&H3F,&H27,&H1C,&H1D,&H1E,&H1F,",
        "&H40,&H5A,&H7F,&H7B,&HE0,&H6C,&H50,&H7D,&H4D,&H5D,&H5C,&H4E,&H6B,&H60,&H4B,&H61,",
        "&HF0,&HF1,&HF2,&HF3,&HF4,&HF5,&HF6,&HF7,&HF8,&HF9,&H7A,&H5E,&H4C,&H7E,&H6E,&H6F,",
        "&H7C,&Hc1,&Hc2,&Hc3,&Hc4,&Hc5,&Hc6,&Hc7,&Hc8,&Hc9,&Hd1,&Hd2,&Hd3,&Hd4,&Hd5,&Hd6,",
        "&Hd7,&Hd8,&Hd9,&He2,&He3,&He4,&He5,&He6,&He7,&He8,&He9,&H70,&H5B,&H80,&HB0,&H6D,",
        "&H79,&H62,&H63,&H64,&H65,&H66,&H67,&H68,&H69,&H71,&H72,&H73,&H74,&H75,&H76,&H77,",
        "&H78,&H8B,&H9B,&HAB,&HB3,&HB4,&HB5,&HB6,&HB7,&HB8,&HB9,&HC0,&H6A,&HD0,&HA0,&H07,",
        "&H20,&H21,&H22,&H23,&H24,&H15,&H06,&H17,&H28,&H29,&H2A,&H2B,&H2C,&H09,&H0A,&H1B,",
        "&H30,&H31,&H1A,&H33,&H34,&H35,&H36,&H08,&H38,&H39,&H3A,&H3B,&H04,&H14,&H3E,&HE1,",
        "&H4A,&H41,&H42,&H43,&H44,&H45,&H46,&H47,&H48,&H49,&H51,&H52,&H53,&H54,&H55,&H56,",
        "&H58,&H81,&H82,&H83,&H84,&H85,&H86,&H87,&H88,&H89,&H8A,&H8C,&H8D,&H8E,&H8F,&H90,",
        "&H91,&H92,&H93,&H94,&H95,&H96,&H97,&H98,&H99,&H9A,&H9D,&H9E,&H9F,&HA2,&HA3,&HA4,",
        "&HA5,&HA6,&HA7,&HA8,&HA9,&HAA,&HAC,&HAD,&HAE,&HAF,&HBA,&HBB,&HBC,&HBD,&HBE,&HBF,",
        "&H4F,&H57,&H59,&H5F,&H9C,&HA1,&HB1,&HB2,&HCA,&HCB,&HCC,&HCD,&HCE,&HCF,&HDA,&HDB,",
        "&HDC,&HDD,&HDE,&HDF,&HEA,&HEB,&HEC,&HED,&HEE,&HEF,&HFA,&HFB,&HFC,&HFD,&HFE,&HFF",
    };
    LiteralTables t;
    std::u16string sjisJoined, ebcdicJoined;
    for (int row = 0; row < 16; ++row) {
      for (int col = 0; col < 16; ++col)
        sjisJoined += u"&H" + hexText(static_cast<unsigned>(row * 16 + col), 2) + u",";
      for (const char* p = rows[row]; *p != '\0'; ++p) ebcdicJoined += static_cast<char16_t>(*p);
    }
    sjisJoined.pop_back();
    auto split = [](const std::u16string& joined) {
      std::vector<std::u16string> items;
      std::size_t start = 0;
      for (std::size_t comma; (comma = joined.find(u',', start)) != std::u16string::npos; start = comma + 1)
        items.push_back(joined.substr(start, comma - start));
      items.push_back(joined.substr(start));
      return items;
    };
    t.sjis = split(sjisJoined);
    t.ebcdic = split(ebcdicJoined);
    return t;
  }();
  return tables;
}

ByteString literalEbcdicKana(std::u16string_view text, std::int32_t length) {
  const LiteralTables& tables = literalTables();
  if (length < 1) throw quor::Error(9);
  ByteString out(static_cast<std::size_t>(length));
  const std::size_t n = text.size();
  for (std::size_t p = 1; p <= n; ++p) {
    const unsigned code = cp932::encode(text[p - 1]);
    const std::u16string key = u"&H" + hexText(code, code > 0xFF ? 4 : 2);
    std::size_t found = tables.sjis.size();
    for (std::size_t i = 0; i < tables.sjis.size(); ++i) {
      if (tables.sjis[i] == key) {
        found = i;
        break;
      }
    }
    if (p > static_cast<std::size_t>(length)) throw quor::Error(9);
    out[p - 1] =
        found < tables.sjis.size()
            ? static_cast<std::uint8_t>(hexValue(std::u16string_view(tables.ebcdic[found]).substr(2)))
            : std::uint8_t{0x4F};
  }
  return out;
}

// Reads one line (ending at CR, CRLF or LF) as code page 932 bytes; false at the end of the file.
bool readLine(std::FILE* file, std::string& line) {
  line.clear();
  int c;
  while ((c = std::fgetc(file)) != EOF) {
    if (c == '\n') return true;
    if (c == '\r') {
      const int next = std::fgetc(file);
      if (next != '\n' && next != EOF) std::ungetc(next, file);
      return true;
    }
    line += static_cast<char>(c);
  }
  return !line.empty();
}

ByteString literalJef(std::u16string_view text, std::int32_t length, const std::u16string& gaijiPath) {
  ByteString out;
  if (length >= 1 && length <= INT32_MAX / 2) out = ByteString(2 * static_cast<std::size_t>(length));
  std::u16string lastJef;
  std::string bytes;
  for (std::size_t p = 1; p <= text.size(); ++p) {
    const std::u16string h = hexText(cp932::encode(text[p - 1]), 1);
    std::int32_t j1 = hexValue(std::u16string_view(h).substr(0, 2));
    std::int32_t j2 = h.size() > 2 ? hexValue(std::u16string_view(h).substr(2, 2)) : 0;
    j1 = j1 <= 0x9F ? j1 - 0x71 : j1 - 0xB1;
    j1 = j1 * 2 + 1;
    if (j2 > 0x7F) j2 -= 1;
    if (j2 >= 0x9E) {
      j2 -= 0x7D;
      j1 += 1;
    } else {
      j2 -= 0x1F;
    }
    const std::u16string key =
        hexText(static_cast<unsigned>(j1) & 0xFF, 2) + hexText(static_cast<unsigned>(j2) & 0xFF, 2);
    bool found = false;
    if (std::FILE* file = quor::platform::openFile(gaijiPath, "rb")) {
      while (readLine(file, bytes)) {
        const std::u16string line = cp932::decodeText(bytes);
        const std::size_t q = line.find(key);
        if (q == std::u16string::npos) continue;
        if (q + 1 > 5) lastJef = line.substr(q - 5, 4);
        j1 = lastJef.empty() ? 0 : hexValue(std::u16string_view(lastJef).substr(0, 2));
        j2 = lastJef.empty() ? 0 : hexValue(std::u16string_view(lastJef).substr(2, 2));
        found = true;
        break;
      }
      std::fclose(file);
    }
    const std::int32_t b1 = found ? j1 : j1 + 0x80, b2 = found ? j2 : j2 + 0x80;
    if (2 * p - 1 <= out.size() && b1 >= 0 && b1 <= 0xFF) out[2 * p - 2] = static_cast<std::uint8_t>(b1);
    if (2 * p <= out.size() && b2 >= 0 && b2 <= 0xFF) out[2 * p - 1] = static_cast<std::uint8_t>(b2);
  }
  return out;
}

// ---------------------------------------------------------------------------------------------------
// SJIStoEBCDICK

void EbcdicKana(benchmark::State& state) {
  const auto n = static_cast<std::int32_t>(state.range(0));
  const std::u16string text = singleByteText(static_cast<std::size_t>(n));
  for (auto _ : state) benchmark::DoNotOptimize(ebcdicKana(text, n));
}
BENCHMARK(EbcdicKana)->Arg(20)->Arg(200);

void EbcdicKanaLiteral(benchmark::State& state) {
  const auto n = static_cast<std::int32_t>(state.range(0));
  const std::u16string text = singleByteText(static_cast<std::size_t>(n));
  if (literalEbcdicKana(text, n) != ebcdicKana(text, n))
    state.SkipWithError("results differ");
  for (auto _ : state) benchmark::DoNotOptimize(literalEbcdicKana(text, n));
}
BENCHMARK(EbcdicKanaLiteral)->Arg(20)->Arg(200);

// ---------------------------------------------------------------------------------------------------
// FujitsuJEF on a 10-character field

// Per call, as FujitsuJEF does: read the mapping file, then encode.
void JefPerCall(benchmark::State& state, const std::u16string& path) {
  for (auto _ : state) {
    const GaijiMapping mapping = GaijiMapping::read(path);
    benchmark::DoNotOptimize(jef(kKanjiField, 10, mapping));
  }
}

void JefNoFile(benchmark::State& state) {
  JefPerCall(state, kMissingPath);
}
BENCHMARK(JefNoFile);

void JefNoFileLiteral(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(literalJef(kKanjiField, 10, kMissingPath));
}
BENCHMARK(JefNoFileLiteral);

void JefFile2000(benchmark::State& state) {
  const std::u16string path = mappingFile().path();
  if (literalJef(kKanjiField, 10, path) !=
      jef(kKanjiField, 10, GaijiMapping::read(path)))
    state.SkipWithError("results differ");
  JefPerCall(state, path);
}
BENCHMARK(JefFile2000);

// The reading pinned: encode only.
void JefFile2000Pinned(benchmark::State& state) {
  const GaijiMapping mapping = GaijiMapping::read(mappingFile().path());
  for (auto _ : state) benchmark::DoNotOptimize(jef(kKanjiField, 10, mapping));
}
BENCHMARK(JefFile2000Pinned);

void JefFile2000Literal(benchmark::State& state) {
  const std::u16string path = mappingFile().path();
  for (auto _ : state) benchmark::DoNotOptimize(literalJef(kKanjiField, 10, path));
}
BENCHMARK(JefFile2000Literal);

}  // namespace
