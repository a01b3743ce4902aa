// Typed text and national fields on each host family: mixed values and their bytes (the shift codes of
// the Fujitsu and the IBM pages), and the decoder's reading of malformed shift data.

#include <vector>

#include "quor/record.hpp"
#include "support/test_support.hpp"

namespace quor::test {
namespace {

// The gaiji mappings: on the Fujitsu page U+E000 (key 7F21) to JEF 8EA1; on the IBM pages U+E001 (key
// 7F22) to 7FFE, the last user-defined code, while U+E000 keeps its code in the page's own order, 6941.
constexpr const char* kFujitsuGaiji = "8EA1 7F21\r\n";
constexpr const char* kIbmGaiji = "7FFE 7F22\r\n";

RecordOptions on(HostCodePage page, bool shifts = true) {
  RecordOptions options;
  options.host = page;
  options.shiftCodes = shifts;
  return options;
}

struct WriteCase {
  HostCodePage page;
  const char* line;
  const char* value;
  const char* bytes;
  Change change;
  bool shifts = true;
  const char* readBack = nullptr;  // where it is not the value
};

TEST(HostText, MixedValuesAndTheirBytes) {
  using enum HostCodePage;
  const WriteCase cases[] = {
      // Fujitsu: JEF between KI 0x28 and KO 0x29; 山 is JEF BB B3, 田 C5 C4, ｱ 81.
      {fujitsu, "f text 8", "山田AB", "28 BB B3 C5 C4 29 C1 C2", Change::none},
      {fujitsu, "f text 8", "A山B", "C1 28 BB B3 29 C2 40 40", Change::none},
      {fujitsu, "f text 8", "AB山", "C1 C2 28 BB B3 29 40 40", Change::none},
      {fujitsu, "f text 9", "山A田", "28 BB B3 29 C1 28 C5 C4 29", Change::none},
      {fujitsu, "f text 6", "ｱ山ｱ", "81 28 BB B3 29 81", Change::none},
      // A run that fits only without its shifts: cut before it, nothing left open.
      {fujitsu, "f text 4", "山田", "28 BB B3 29", Change::longerThanField},
      {fujitsu, "f text 5", "A山田", "C1 28 BB B3 29", Change::longerThanField},
      {fujitsu, "f text 3", "A山", "C1 40 40", Change::longerThanField},
      // The gaiji mapping's JEF code; without a mapping a user-defined character has no JEF code.
      {fujitsu, "f text 4", "\xEE\x80\x80", "28 8E A1 29", Change::none},
      {fujitsu, "f text 3", "A山", "40 40 40", Change::doubleByteInSingleByteField, false},
      // IBM 930: SO 0x0E, SI 0x0F; 山 45 65, 田 45 63, ｱ 81, katakana single bytes.
      {ibm930, "f text 8", "山田AB", "0E 45 65 45 63 0F C1 C2", Change::none},
      {ibm930, "f text 8", "A山B", "C1 0E 45 65 0F C2 40 40", Change::none},
      {ibm930, "f text 8", "AB山", "C1 C2 0E 45 65 0F 40 40", Change::none},
      {ibm930, "f text 9", "山A田", "0E 45 65 0F C1 0E 45 63 0F", Change::none},
      {ibm930, "f text 6", "ｱ山ｱ", "81 0E 45 65 0F 81", Change::none},
      {ibm930, "f text 4", "山田", "0E 45 65 0F", Change::longerThanField},
      {ibm930, "f text 4", "\xEE\x80\x80", "0E 69 41 0F", Change::none},
      {ibm930, "f text 4", "\xEE\x80\x81", "0E 7F FE 0F", Change::none},
      // 930's single-byte page has no backslash: it is written as the yen sign's code.
      {ibm930, "f text 2", "\\", "5B 40", Change::noHostCodePageForm},
      // The Windows form of the wave dash is the host's wave dash.
      {ibm1390, "f text 4", "\xEF\xBD\x9E", "0E 43 A1 0F", Change::none, true, "\xE3\x80\x9C"},
      {ibm939, "f text 6", "ab漢", "81 82 0E 4F 58 0F", Change::none},
      {ibm939, "f text 3", "a漢", "40 40 40", Change::doubleByteInSingleByteField, false},
      // Single-byte pages: text only, a character without a code written as "?".
      {ibm037, "f text 4", "abc", "81 82 83 40", Change::none},
      {ibm037, "f text 2", "山", "6F 40", Change::noHostCodePageForm},
      {ibm1140, "f text 1", "\xE2\x82\xAC", "9F", Change::none},
      // National fields of IBM pages: double-byte blanks 40 40; full width as written.
      {ibm930, "f national 3", "山", "45 65 40 40 40 40", Change::none},
      {ibm930, "f national 2", "A", "42 C1 40 40", Change::none},
      {ibm930, "f national 1", "山田", "45 65", Change::longerThanField},
      {ibm1399, "f national 1", "\xEE\x80\x81", "7F FE", Change::none},
  };
  const GaijiMapping fujitsuGaiji = GaijiMapping::fromText(kFujitsuGaiji);
  const GaijiMapping ibmGaiji = GaijiMapping::fromText(kIbmGaiji);
  for (const WriteCase& c : cases) {
    const GaijiMapping& gaiji = c.page == HostCodePage::fujitsu ? fujitsuGaiji : ibmGaiji;
    const RecordOptions options = on(c.page, c.shifts);
    const Layout layout = parseLayoutFile(c.line, "t.layout");
    RecordBuilder builder(layout, options, gaiji);
    const std::u16string value = u16(c.value);
    const std::u16string_view values[] = {value};
    std::vector<ValueChange> changes(1);
    ByteString out;
    builder.append(values, out, changes);
    const std::string where = std::string(hostCodePageName(c.page)) + " " + c.line + " '" + c.value + "'";
    EXPECT_EQ(hex(out), c.bytes) << where;
    EXPECT_EQ(changes[0].kind, c.change) << where;
    EXPECT_EQ(valueChange(value, layout.fields[0], options, gaiji).kind, c.change) << where;
    if (c.change != Change::none) continue;
    // What is written as it reads reads back as written (national values in full width).
    RecordDecoder decoder(layout, options, gaiji);
    std::vector<std::u16string> read;
    std::vector<FieldFault> faults;
    decoder.decode(out, read, faults);
    ASSERT_TRUE(faults.empty()) << where << ": " << faults[0].reason;
    if (layout.fields[0].kind == FieldKind::text) {
      EXPECT_EQ(read[0], c.readBack != nullptr ? u16(c.readBack) : value) << where;
    }
  }
}

struct ReadCase {
  HostCodePage page;
  const char* bytes;  // a text field's bytes
  const char* text;   // read leniently
  std::size_t offset;  // of the first fault, or npos for none
  std::size_t length;
  const char* reason;
};

TEST(HostText, DecoderChecksTheShifts) {
  using enum HostCodePage;
  constexpr std::size_t kNone = std::string::npos;
  const ReadCase cases[] = {
      {ibm930, "C1 0E 45 65 0F 40", "A山", kNone, 0, ""},
      {fujitsu, "C1 28 BB B3 29 40", "A山", kNone, 0, ""},
      {fujitsu, "C1 38 BB B3 29 40", "A山", kNone, 0, ""},  // 0x38 opens a run too
      {ibm930, "0E 45 65 0F 0E 45 63 0F", "山田", kNone, 0, ""},
      {ibm930, "0E 40 40 0F 40 40", "\xE3\x80\x80", kNone, 0, ""},  // a double-byte blank is text
      {ibm930, "C1 0E 45 65 40 40", "A山\xE3\x80\x80", 1, 5, "double-byte run not closed by the field's end"},
      {ibm930, "0E 45 65 0E 45 63 0F", "山\xEF\xBF\xBD田", 3, 1, "shift-out inside a double-byte run"},
      {fujitsu, "28 BB B3 38 C5 C4 29", "山\xEF\xBF\xBD田", 3, 1, "shift-out inside a double-byte run"},
      {ibm930, "C1 0F C2", "A\xEF\xBF\xBD" "B", 1, 1, "shift-in with no double-byte run open"},
      {ibm930, "0E 45 65 45 0F", "山\xEF\xBF\xBD", 3, 1, "odd byte in a double-byte run"},
      {ibm930, "0E 45 65 45", "山\xEF\xBF\xBD", 3, 1, "odd byte in a double-byte run"},
      {ibm930, "C1 0E 0F C2", "A\xEF\xBF\xBD" "B", 1, 2, "double-byte run with no character"},
      {ibm930, "0E 45 40 0F", "\xEF\xBF\xBD", 1, 2, "double-byte code of no character"},
      {ibm930, "0E", "", 0, 1, "double-byte run not closed by the field's end"},
  };
  for (const ReadCase& c : cases) {
    const ByteString record = bytes(c.bytes);
    Layout layout = parseLayoutFile("f text " + std::to_string(record.size()), "t.layout");
    const std::string where = std::string(hostCodePageName(c.page)) + " " + c.bytes;
    RecordDecoder decoder(layout, on(c.page));
    std::vector<std::u16string> read;
    std::vector<FieldFault> faults;
    decoder.decode(record, read, faults, true);
    EXPECT_EQ(toUtf8(read[0]), c.text) << where;
    if (c.offset == kNone) {
      EXPECT_TRUE(faults.empty()) << where;
      continue;
    }
    ASSERT_EQ(faults.size(), 1u) << where;
    EXPECT_EQ(faults[0].offset, c.offset) << where;
    EXPECT_EQ(faults[0].length, c.length) << where;
    EXPECT_STREQ(faults[0].reason, c.reason) << where;
    decoder.decode(record, read, faults);  // strict: no text, the same fault
    EXPECT_TRUE(read[0].empty()) << where;
    EXPECT_STREQ(faults[0].reason, c.reason) << where;
  }
}

TEST(HostText, LayoutsAPageCannotHoldAreRefused) {
  const Layout national = parseLayoutFile("f national 2", "t.layout");
  const Layout component = parseLayoutFile("f 2 setCharacter", "t.layout");
  EXPECT_EQ(errorOf([&] { RecordBuilder(national, on(HostCodePage::ibm037)); }), 5);
  EXPECT_EQ(errorOf([&] { RecordDecoder(national, on(HostCodePage::ibm500)); }), 5);
  EXPECT_EQ(errorOf([&] { RecordBuilder(component, on(HostCodePage::ibm930)); }), 5);
  EXPECT_EQ(errorOf([&] { RecordBuilder(national, on(HostCodePage::ibm1390)); }), 0);
  EXPECT_EQ(errorOf([&] { RecordBuilder(component, on(HostCodePage::fujitsu)); }), 0);
}

TEST(HostText, PageNames) {
  const std::pair<const char*, HostCodePage> names[] = {
      {"fujitsu", HostCodePage::fujitsu}, {"FUJITSU", HostCodePage::fujitsu}, {"ibm-930", HostCodePage::ibm930},
      {"IBM-930", HostCodePage::ibm930},  {"cp930", HostCodePage::ibm930},    {"ibm930", HostCodePage::ibm930},
      {"Cp1399", HostCodePage::ibm1399},  {"ibm-37", HostCodePage::ibm037},   {"cp037", HostCodePage::ibm037},
      {"IBM500", HostCodePage::ibm500},   {"ibm-1047", HostCodePage::ibm1047}};
  for (const auto& [name, page] : names) {
    HostCodePage read = HostCodePage::fujitsu;
    EXPECT_TRUE(parseHostCodePage(name, read)) << name;
    EXPECT_EQ(read, page) << name;
    HostCodePage back = HostCodePage::fujitsu;
    EXPECT_TRUE(parseHostCodePage(hostCodePageName(page), back));
    EXPECT_EQ(back, page);
  }
  for (const char* bad : {"", "ibm", "ibm-", "ibm-931", "cp932", "fujitsu2", "ebcdic"}) {
    HostCodePage read = HostCodePage::fujitsu;
    EXPECT_FALSE(parseHostCodePage(bad, read)) << bad;
  }
}

}  // namespace
}  // namespace quor::test
