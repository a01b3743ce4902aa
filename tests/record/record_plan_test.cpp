// Record plans beside the builder and the decoder: a record the plan takes has the builder's bytes and
// the line the decoder and CSV writer give; every record the plan declines is one they would change,
// refuse or quote. (fuzz/plan_fuzz.cpp holds the same properties on random layouts and values.)

#include <algorithm>
#include <functional>
#include <thread>
#include <vector>

#include "quor/csv_writer.hpp"
#include "quor/record.hpp"
#include "quor/record_plan.hpp"
#include "support/test_support.hpp"

namespace quor::test {
namespace {

// The tables both ways, made once for the tests (a few milliseconds, seconds under valgrind).
const PlanTables& tablesBothWays() {
  static const PlanTables tables{GaijiMapping()};
  return tables;
}

struct PlanCase {
  const char* layout;                 // a layout file's lines
  std::vector<std::string> values;    // UTF-8, one a column
  bool planned;                       // the plan writes it
};

TEST(RecordPlan, WritesWhatTheBuilderWritesOrLeavesItToIt) {
  const PlanCase cases[] = {
      // The benchmark record: every field the plan's, so the speed measured is the plan's.
      {"c 8 1\nk 20 1\nn 10 2\nq 7 0\na 11 3\nd 8 0", {"A0000000", "ﾀｸｴｽﾀ ﾊｱｾ", "央加央", "2376650", "-64330410746", "20240101"}, true},
      {"c 8 1", {"ABC"}, true},
      {"c 8 1", {""}, false},            // written as 0x00 bytes: a change
      {"c 3 1", {"ABCD"}, false},        // cut
      {"c 3 1", {"漢"}, false},          // a double-byte character in a text field
      {"n 3 2", {"ｶﾞ"}, false},          // a sound mark that joins the kana before it
      {"n 3 2", {"亜a"}, true},          // half-width written in full width, as the builder does
      {"q 5 0", {"-12"}, true},
      {"q 3 0", {"1234"}, false},        // cut
      {"q 5 0", {"1.5"}, false},         // no fraction in a component number
      // Numbers are read by the one grammar of number texts, the builder's: blanks around, a sign in
      // front or behind, thousands separators in a typed number, places the scale holds.
      {"q 5 0", {" 12"}, true},
      {"q 5 0", {"12-"}, true},
      {"a 5 3", {"+007"}, true},
      {"q 5 0", {"1,234"}, false},       // the component reads a grouped number otherwise
      {"q 5 0", {"1E2"}, false},         // an exponent
      {"p packed 9 scale=2 signed", {" 1,234.500 "}, true},
      {"p packed 7 scale=2", {"-0.00"}, true},           // a negative zero is zero, no sign to lose
      {"z zoned 5 scale=1 signed", {"- 1"}, false},      // no number
      {"a 5 3", {"-0"}, true},
      {"p packed 7 scale=2 signed", {"-12.5"}, true},
      {"p packed 7 scale=2 signed", {"12.505"}, false},  // more places than the scale
      {"p packed 7 scale=2", {"-1"}, false},             // negative in an unsigned field
      {"b binary 4 signed", {"-9999"}, true},
      {"t text 4\nf filler 2 x00\nz zoned 3", {"", "7"}, true},  // an empty typed text is blanks
      {"c 4 1", {"\xED\xA0\x80"}, false},  // a surrogate in UTF-8: not valid text
      // Text written and read eight bytes at a time while each character is one byte: a kana or a
      // blank run inside the eight, a value filling the field, a character left to the builder after
      // eight that are not, and a field whose padding ends at a multiple of eight.
      {"c 24 1\nt text 19", {"ABCDEFGｱHIJKLMNOPQRｲ", "PURCHASE AT  CAFE X"}, true},
      {"c 16 1\nt text 16", {"ABCDEFGHIJKLMNOP", "abcdefgh"}, true},
      {"c 16 1", {"ABCDEFGHIJKLMNO漢"}, false},
      {"t text 20", {"ABCDEFGH    IJKL"}, true},
      // The clauses of copybooks: floats (an exponent, the nearest value), sign placements, decimal
      // scaling both ways, BLANK WHEN ZERO, a binary field's full range; edited pictures and JUSTIFIED
      // RIGHT are the builder's.
      {"f float4\ng float8 ieee", {"-1.5E-3", "0.1"}, true},
      {"f float8", {"1E300"}, false},                    // beyond the hexadecimal format's range
      {"z zoned 3 signed sign=leading-separate\ny zoned 3 scale=1 signed sign=trailing-separate",
       {"-12", "4.5"}, true},
      {"z zoned 3 signed sign=leading positive-zone=F", {"123"}, true},
      {"z zoned 3 scale=-3\np packed 3 scale=5 signed", {"123000", "-0.00123"}, true},
      {"z zoned 3 scale=-3", {"123456"}, false},         // digits below the lowest place
      {"z zoned 3 scale=1 signed blank-when-zero\ny zoned 2 blank-when-zero", {"0", "7"}, true},
      {"b binary 4 signed range=full\nu binary 4 range=full", {"-32768", "65535"}, true},
      {"b binary 4 signed range=full", {"32768"}, false},  // beyond its bytes
      {"e edited ZZ9.99-", {"1.5"}, false},
      {"t text 4 justified", {"AB"}, false},
      // Each value as long as its line may get: a sign, "0." and every digit a place.
      {"f0 zoned 2 scale=2 signed\nf1 zoned 2 scale=2 signed\nf2 zoned 2 scale=2 signed\nf3 zoned 2 scale=2 signed\nf4 zoned 2 scale=2 signed\nf5 zoned 2 scale=2 signed\nf6 zoned 2 scale=2 signed\nf7 zoned 2 scale=2 signed\nf8 zoned 2 scale=2 signed\nf9 zoned 2 scale=2 signed\nf10 zoned 2 scale=2 signed\nf11 zoned 2 scale=2 signed",
       std::vector<std::string>(12, "-0.12"), true},
  };
  const PlanTables& tables = tablesBothWays();
  for (const PlanCase& c : cases) {
    const Layout layout = parseLayoutFile(c.layout, "t.layout");
    const EncodePlan plan(layout, {}, tables, TextEncoding::utf8);
    const std::vector<std::string_view> values(c.values.begin(), c.values.end());
    std::vector<std::uint8_t> record(layout.recordLength);
    const bool planned = plan.encode(values, record.data()) != 0;
    EXPECT_EQ(planned, c.planned) << c.layout << " | " << c.values.front();
    if (!planned) continue;
    std::vector<std::u16string> texts;
    for (const std::string& value : c.values) texts.push_back(u16(value));
    const std::vector<std::u16string_view> views(texts.begin(), texts.end());
    std::vector<ValueChange> changes(views.size());
    ByteString built;
    RecordBuilder(layout).append(views, built, changes);
    EXPECT_EQ(hex(ByteString(record.data(), record.size())), hex(built)) << c.layout;
    for (const ValueChange& change : changes) EXPECT_EQ(change.kind, Change::none) << c.layout;

    // Read back, padding and zeros dropped and kept: the decode plan's line is the decoder's values
    // through the CSV writer.
    for (const bool keepPadding : {false, true}) {
      RecordOptions options{true, keepPadding};
      options.keepZeros = keepPadding;
      const DecodePlan decode(layout, options, tables, CsvWriteOptions{});
      std::vector<char> line(decode.maxLineBytes());
      const std::size_t length = decode.decode(record, line.data());
      std::vector<std::u16string> read;
      std::vector<FieldFault> faults;
      RecordDecoder(layout, options).decode(record, read, faults, false);
      std::string written;
      appendCsvRecord(read, CsvWriteOptions{}, written);
      ASSERT_NE(length, 0u) << c.layout;
      EXPECT_LE(length, decode.maxLineBytes()) << c.layout;
      EXPECT_EQ(std::string(line.data(), length), written) << c.layout << (keepPadding ? " (padding and zeros kept)" : "");
    }
  }
}

TEST(RecordPlan, LeavesInvalidDataAndQuotedValuesToTheDecoder) {
  const struct {
    const char* layout;
    std::vector<std::uint8_t> record;
    char delimiter;
  } cases[] = {
      {"q 3 0", {0xF1, 0xFA, 0xF3}, ','},             // a digit nibble above 9
      {"t text 2", {0xC1, 0x6B}, ','},                // "A," holds the delimiter
      {"t text 2", {0xC1, 0x5E}, ';'},                // "A;" with ';'
      {"t text 2", {0x7F, 0x40}, ','},                // a quote
      {"n national 1", {0x00, 0xFE}, ','},            // no JEF code
      {"p packed 3 signed", {0x12, 0x3A}, ','},       // no sign nibble
      {"q 3 0", {0xF1, 0xF2, 0xD3}, '-'},             // "-123" holds the delimiter
      {"p packed 3 scale=1", {0x12, 0x3F}, '.'},      // "12.3"
      {"q 3 0", {0xF1, 0xF2, 0xF3}, '2'},             // "123"
      {"f float8 ieee", {0x44, 0x4B, 0x1A, 0xE4, 0xD6, 0xE2, 0xEF, 0x50}, 'E'},  // "1E+21"
      {"f float4 ieee", {0x7F, 0xC0, 0x00, 0x00}, ','},  // a NaN: no number
      {"q 60 0", std::vector<std::uint8_t>(60, 0xF1), ','},   // more digits than a typed number has
      {"q 60 3", [] { std::vector<std::uint8_t> r(60, 0x11); r.back() = 0x1C; return r; }(), ','},
  };
  const PlanTables& tables = tablesBothWays();
  for (const auto& c : cases) {
    const Layout layout = parseLayoutFile(c.layout, "t.layout");
    const DecodePlan plan(layout, {}, tables, CsvWriteOptions{c.delimiter});
    std::vector<char> line(plan.maxLineBytes());
    EXPECT_EQ(plan.decode(c.record, line.data()), 0u) << c.layout;
  }
}

TEST(RecordPlan, HostPagesWriteAndReadWhatTheBuilderAndDecoderDo) {
  const struct {
    HostCodePage page;
    std::vector<std::string> values;  // a typed text field of 12 bytes, a national one of 3 characters
    bool planned;
  } cases[] = {
      {HostCodePage::fujitsu, {"AB山田ｱ", "山"}, true},
      {HostCodePage::ibm930, {"AB山田ｱ", "山"}, true},
      {HostCodePage::ibm930, {"山A田B漢C", "山"}, false},  // 14 bytes with the shifts: cut
      {HostCodePage::ibm939, {"ab漢字", "ab"}, true},
      {HostCodePage::ibm1390, {"～€", "～"}, true},
      {HostCodePage::ibm930, {"ABCDEFGHIJ", "山"}, true},  // ten ASCII characters, two at the end
      {HostCodePage::ibm930, {"ABCDEFGH漢", ""}, true},  // a run after eight
      {HostCodePage::ibm1399, {"", ""}, true},
      {HostCodePage::ibm037, {"abc", ""}, true},  // single-byte pages: the text field only
      {HostCodePage::ibm1140, {"abc€", ""}, true},
      {HostCodePage::ibm500, {"abc山", ""}, false},  // no form: "?"
  };
  for (const auto& c : cases) {
    const std::string where = std::string(hostCodePageName(c.page)) + " " + c.values[0];
    RecordOptions options;
    options.host = c.page;
    const bool national = hasDoubleByte(c.page);
    const Layout layout = parseLayoutFile(national ? "t text 12\nn national 3" : "t text 12", "t.layout");
    const PlanTables tables(GaijiMapping(), PlanUse::both, c.page);
    const std::vector<std::string_view> values(c.values.begin(), c.values.begin() + (national ? 2 : 1));
    const EncodePlan plan(layout, options, tables, TextEncoding::utf8);
    std::vector<std::uint8_t> record(layout.recordLength);
    EXPECT_EQ(plan.encode(values, record.data()) != 0, c.planned) << where;
    if (!c.planned) continue;
    std::vector<std::u16string> texts;
    for (const std::string_view value : values) texts.push_back(u16(value));
    const std::vector<std::u16string_view> views(texts.begin(), texts.end());
    ByteString built;
    RecordBuilder(layout, options).append(views, built);
    EXPECT_EQ(hex(ByteString(record.data(), record.size())), hex(built)) << where;
    for (const TextEncoding encoding : {TextEncoding::utf8, TextEncoding::cp932}) {
      const CsvWriteOptions csv{',', encoding, false};
      const DecodePlan decode(layout, options, tables, csv);
      std::vector<char> line(decode.maxLineBytes());
      const std::size_t length = decode.decode(record, line.data());
      std::vector<std::u16string> read;
      std::vector<FieldFault> faults;
      RecordDecoder(layout, options).decode(record, read, faults);
      std::string written;
      const std::size_t changed = appendCsvRecord(read, csv, written);
      // Declined only where the writer writes a character as another (the euro in code page 932).
      EXPECT_EQ(length == 0, changed > 0) << where;
      if (length != 0) {
        EXPECT_EQ(std::string(line.data(), length), written) << where;
      }
    }
  }
  // The wave dash read from 1390 goes out in code page 932 as Windows writes it: 81 60.
  RecordOptions options;
  options.host = HostCodePage::ibm1390;
  std::vector<std::u16string> read;
  std::vector<FieldFault> faults;
  RecordDecoder(parseLayoutFile("t text 4", "t.layout"), options).decode(bytes("0E 43 A1 0F"), read, faults);
  std::string written;
  appendCsvRecord(read, CsvWriteOptions{',', TextEncoding::cp932, false}, written);
  EXPECT_EQ(written, "\x81\x60\n");
  const Layout layout = parseLayoutFile("t text 4", "t.layout");
  EXPECT_EQ(errorOf([&] { EncodePlan(layout, options, tablesBothWays(), TextEncoding::utf8); }), 5);
}

// A run's tables ask the builder about each character when a plan first meets it, on whichever thread:
// two threads meeting every unit of the Basic Multilingual Plane at once, from opposite ends, through
// one set of tables, write what the builder writes in a text, a national and a typed text field, or
// leave the value to it.
TEST(RecordPlan, CharactersAskedOnFirstMeetingOnTwoThreadsAreTheBuilders) {
  const PlanTables tables(GaijiMapping(), PlanUse::encode);
  std::vector<Layout> layouts;
  std::vector<EncodePlan> plans;
  for (const char* text : {"c 1 1", "n 2 2", "t text 1"}) {
    layouts.push_back(parseLayoutFile(text, "t.layout"));
    plans.emplace_back(layouts.back(), RecordOptions{}, tables, TextEncoding::utf8);
  }
  const auto isSurrogate = [](char32_t unit) { return unit >= 0xD800 && unit < 0xE000; };
  // What the builder writes of each unit in each field, or "" where it changes it.
  std::vector<std::string> built(3 * 0x10000);
  for (std::size_t f = 0; f < layouts.size(); ++f) {
    RecordBuilder builder(layouts[f]);
    for (char32_t unit = 0; unit < 0x10000; ++unit) {
      if (isSurrogate(unit)) continue;
      const std::u16string one(1, static_cast<char16_t>(unit));
      const std::u16string_view values[] = {one};
      ValueChange change;
      ByteString bytes;
      try {
        builder.append(values, bytes, {&change, 1});
      } catch (const Error&) {
        continue;
      }
      if (change.kind == Change::none) built[f * 0x10000 + unit] = hex(bytes);
    }
  }
  const auto meetAll = [&](bool upward, std::vector<std::string>& written) {
    for (char32_t k = 0; k < 0x10000; ++k) {
      const char32_t unit = upward ? k : 0xFFFF - k;
      if (isSurrogate(unit)) continue;
      const std::string utf8 = toUtf8(std::u16string(1, static_cast<char16_t>(unit)));
      const std::string_view values[] = {utf8};
      for (std::size_t f = 0; f < plans.size(); ++f) {
        std::vector<std::uint8_t> record(layouts[f].recordLength);
        const std::size_t length = plans[f].encode(values, record.data());
        if (length != 0) written[f * 0x10000 + unit] = hex(ByteString(record.data(), length));
      }
    }
  };
  std::vector<std::string> up(built.size()), down(built.size());
  std::thread other(meetAll, false, std::ref(down));
  meetAll(true, up);
  other.join();
  std::size_t taken = 0;
  for (std::size_t k = 0; k < built.size(); ++k) {
    for (const std::string* written : {&up[k], &down[k]}) {
      if (written->empty()) continue;
      ++taken;
      ASSERT_EQ(*written, built[k]) << "field " << k / 0x10000 << ", U+" << std::hex << k % 0x10000;
    }
    EXPECT_EQ(up[k].empty(), down[k].empty()) << "field " << k / 0x10000 << ", U+" << std::hex << k % 0x10000;
  }
  EXPECT_GT(taken, 2u * 7000);  // the kanji of code page 932 among them
}

// The same for reading: a run's tables ask the decoder about each pair when a plan first meets it. Two
// threads reading every pair at once, from opposite ends, through one set of tables, in a national
// field, a typed national field and a typed text field's double-byte run of IBM 930, write the line the
// decoder and the CSV writer give, or leave the record to them.
TEST(RecordPlan, PairsAskedOnFirstMeetingOnTwoThreadsReadAsTheDecoder) {
  struct Way {
    HostCodePage page;
    const char* layout;
    bool shifted;  // the pair between the page's shift codes
  };
  const Way ways[] = {{HostCodePage::fujitsu, "n 1 2", false},
                      {HostCodePage::ibm930, "n national 1", false},
                      {HostCodePage::ibm930, "t text 4", true}};
  for (const TextEncoding encoding : {TextEncoding::utf8, TextEncoding::cp932}) {
    for (const Way& way : ways) {
      RecordOptions options;
      options.host = way.page;
      const Layout layout = parseLayoutFile(way.layout, "t.layout");
      const PlanTables tables(GaijiMapping(), PlanUse::decode, way.page);
      const CsvWriteOptions csv{',', encoding, false};
      const DecodePlan plan(layout, options, tables, csv);
      const auto recordOf = [&](unsigned pair) {
        const auto first = static_cast<std::uint8_t>(pair >> 8), second = static_cast<std::uint8_t>(pair);
        return way.shifted ? std::vector<std::uint8_t>{0x0E, first, second, 0x0F} : std::vector<std::uint8_t>{first, second};
      };
      const auto readAll = [&](bool upward, std::vector<std::string>& lines) {
        std::vector<char> line(plan.maxLineBytes());
        for (unsigned k = 0; k < 0x10000; ++k) {
          const unsigned pair = upward ? k : 0xFFFF - k;
          const std::size_t length = plan.decode(recordOf(pair), line.data());
          if (length != 0) lines[pair].assign(line.data(), length);
        }
      };
      std::vector<std::string> up(0x10000), down(0x10000);
      std::thread other(readAll, false, std::ref(down));
      readAll(true, up);
      other.join();
      const RecordDecoder decoder(layout, options);
      std::size_t taken = 0;
      for (unsigned pair = 0; pair < 0x10000; ++pair) {
        const std::string where = std::string(way.layout) + ", pair " + std::to_string(pair);
        ASSERT_EQ(up[pair], down[pair]) << where;
        if (up[pair].empty()) continue;
        ++taken;
        std::vector<std::u16string> read;
        std::vector<FieldFault> faults;
        decoder.decode(recordOf(pair), read, faults);
        std::string written;
        appendCsvRecord(read, csv, written);
        ASSERT_TRUE(faults.empty()) << where;
        ASSERT_EQ(up[pair], written) << where;
      }
      EXPECT_GT(taken, 6000u) << way.layout;  // the kanji among them
    }
  }
}

TEST(RecordPlan, TablesMadeForOneWayServeOnlyIt) {
  const Layout layout = parseLayoutFile("t text 2", "t.layout");
  const PlanTables decodeOnly(GaijiMapping(), PlanUse::decode);
  const PlanTables encodeOnly(GaijiMapping(), PlanUse::encode);
  EXPECT_EQ(errorOf([&] { EncodePlan(layout, {}, decodeOnly, TextEncoding::utf8); }), 5);
  EXPECT_EQ(errorOf([&] { DecodePlan(layout, {}, encodeOnly, CsvWriteOptions{}); }), 5);
  EXPECT_EQ(errorOf([&] { EncodePlan(layout, {}, encodeOnly, TextEncoding::utf8); }), 0);
}

}  // namespace
}  // namespace quor::test
