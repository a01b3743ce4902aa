// JSON Lines: records written as objects nested as their copybook, read back to the same values, and
// the objects the reader refuses.

#include "quor/json_lines.hpp"

#include "quor/record.hpp"

#include "support/test_support.hpp"

namespace quor::test {
namespace {

// A record with a filler, a table of groups holding a table, and a REDEFINES.
constexpr const char* kCopybook =
    "01 R.\n"
    "   05 ID PIC X(4).\n"
    "   05 AMT PIC S9(5)V99 COMP-3.\n"
    "   05 FILLER PIC X(2).\n"
    "   05 DAYS OCCURS 2.\n"
    "      10 DAY PIC 99.\n"
    "      10 HOURS PIC 9 OCCURS 3.\n"
    "   05 NOTE PIC X(10).\n"
    "   05 ALT REDEFINES NOTE PIC X(8).\n";

std::vector<std::u16string> u16s(std::initializer_list<const char*> values) {
  std::vector<std::u16string> out;
  for (const char* value : values) out.push_back(u16(value));
  return out;
}

const Layout& copybookLayout() {
  static const Layout layout = parseCopybook(kCopybook, "r.cpy");
  return layout;
}

// A field of every kind the clauses give: separate signs, zone C, floats of both formats, decimal
// scaling, edited pictures, BLANK WHEN ZERO, JUSTIFIED RIGHT and a binary field's full range.
const Layout& clausesLayout() {
  static const Layout layout = parseLayoutFile(
      "id zoned 5\nlead zoned 3 signed sign=leading-separate\ntrail zoned 3 signed sign=trailing-separate\n"
      "bal zoned 3 signed\nf4 float4\nf8 float8\nf4i float4 ieee\nf8i float8 ieee\nbig zoned 3 scale=-3\n"
      "small packed 3 scale=5 signed\nshown edited ZZ9.99-\nbwz zoned 3 blank-when-zero\n"
      "dt edited-text XXBXX\njust text 5 justified\nb binary 4 signed range=full\n",
      "c.layout");
  return layout;
}

struct Written {
  const char* what;
  const Layout* layout;
  const char* name;  // nullptr: no "record"
  std::vector<std::u16string> values;
  std::size_t present;
  const char* line;
};

std::vector<Written> writtenCases() {
  static const Layout flat = parseLayoutFile("code text 4\nqty zoned 3 scale=1 signed\n", "f.layout");
  static const Layout lists = layoutFromLists("2,3", "1,0");
  const Layout* tree = &copybookLayout();
  return {
      {"groups, nested tables, scale, escapes", tree, nullptr,
       u16s({"A\"B\\", "-1234.50", "1", "1", "2", "3", "31", "0", "0", "9", "tab\there\n\x01"}), 11,
       R"({"ID":"A\"B\\","AMT":-1234.50,"DAYS":[{"DAY":1,"HOURS":[1,2,3]},{"DAY":31,"HOURS":[0,0,9]}],"NOTE":"tab\there\n\u0001"})"},
      {"named, with the end of the record absent", tree, "R",
       u16s({"ﾔﾏﾀﾞ", "0.05", "", "", "", "", "", "", "", "", ""}), 2,
       R"({"record":"R","ID":"ﾔﾏﾀﾞ","AMT":0.05,"DAYS":[{"DAY":null,"HOURS":[null,null,null]},{"DAY":null,"HOURS":[null,null,null]}],"NOTE":null})"},
      {"raw digits of invalid data as a string", &flat, nullptr, u16s({"x", "1A3"}), 2,
       R"({"code":"x","qty":"1A3"})"},
      {"a flat layout", &flat, "F", u16s({"", "-0.5"}), 2, R"({"record":"F","code":"","qty":-0.5})"},
      {"the lists' fields by number", &lists, nullptr, u16s({"AB", "12"}), 2,
       R"({"field 1":"AB","field 2":12})"},
      // Decimal values are JSON numbers, exact as written; zeros kept and floats are strings: a float's
      // shortest text is not its value, and a JSON reader would take a number as a binary double.
      {"the clauses' kinds", &clausesLayout(), nullptr,
       u16s({"00042", "-999", "+1", "7", "0.1", "-1.5E-70", "3.4028235E+38", "-0", "999000", "0.00123",
             "-1.50", "000", "AB CD", "ab", "-32768"}),
       15,
       R"({"id":"00042","lead":-999,"trail":"+1","bal":7,"f4":"0.1","f8":"-1.5E-70","f4i":"3.4028235E+38",)"
       R"("f8i":"-0","big":999000,"small":0.00123,"shown":-1.50,"bwz":"000","dt":"AB CD","just":"ab",)"
       R"("b":-32768})"},
  };
}

TEST(JsonLines, WritesRecordsAsTheirCopybookNestsThem) {
  for (const Written& c : writtenCases()) {
    const JsonLinesWriter writer(*c.layout, c.name ? c.name : "", c.name != nullptr);
    std::string out;
    writer.append(c.values, c.present, out);
    EXPECT_EQ(out, std::string(c.line) + "\n") << c.what;
  }
}

// What the writer writes, the reader gives back: the same values, the same absent ones.
TEST(JsonLines, ReadsBackWhatItWrites) {
  for (const Written& c : writtenCases()) {
    const NamedLayout layouts[] = {{c.name ? c.name : "", *c.layout}};
    const JsonLinesReader reader(layouts);
    std::vector<std::u16string> values;
    const JsonLinesReader::Read read = reader.read(c.line, values);
    EXPECT_EQ(read.layout, 0u);
    EXPECT_EQ(read.present, c.present) << c.what;
    for (std::size_t i = 0; i < c.present; ++i)
      EXPECT_EQ(values[i], c.values[i]) << c.what << ", column " << i;
  }
}

// Records of every kind the clauses give, at their boundaries (the largest and smallest floats of both
// formats, negative zero, separate signs, zone C, blanks read as zero), read to JSON, read back and
// written again: the same bytes, zeros kept or not.
TEST(JsonLines, KeepsTheBytesOfEveryFieldKind) {
  const char* const records[] = {
      "F0 F0 F0 F4 F2 60 F9 F9 F9 F9 F9 F9 4E F0 F0 C7 7F FF FF FF 00 10 00 00 00 00 00 00 00 00 00 01 "
      "FF EF FF FF FF FF FF FF F9 F9 F9 12 3C 40 40 F1 4B F5 F0 60 40 40 40 C1 C2 40 C3 C4 40 40 40 62 63 "
      "7F FF",
      "F0 F0 F0 F0 F0 4E F0 F0 F0 F0 F0 F1 60 F9 F9 D9 80 00 00 00 C1 10 00 00 00 00 00 00 7F 7F FF FF "
      "00 00 00 00 00 00 00 01 F0 F0 F0 99 9D F9 F9 F9 4B F9 F9 40 F9 F9 F9 40 40 40 40 40 40 40 40 40 40 "
      "80 00",
      "F9 F9 F9 F9 F9 4E F9 F9 F9 F0 F0 F0 4E F0 F0 C0 00 00 00 00 3F 19 99 99 99 99 99 9A 80 00 00 00 "
      "80 00 00 00 00 00 00 00 F0 F0 F1 00 0C 40 40 F0 4B F0 F1 60 F0 F0 F1 C1 40 40 40 40 C1 C2 C3 C4 C5 "
      "00 00",
  };
  const Layout& layout = clausesLayout();
  const NamedLayout layouts[] = {{"", layout}};
  const JsonLinesReader reader(layouts);
  for (const bool keepZeros : {false, true}) {
    RecordOptions options;
    options.keepZeros = keepZeros;
    const RecordDecoder decoder(layout, options);
    RecordBuilder builder(layout, options);
    for (const char* record : records) {
      const ByteString in = bytes(record);
      std::vector<std::u16string> values;
      std::vector<FieldFault> faults;
      decoder.decode({in.data(), in.size()}, values, faults);
      ASSERT_TRUE(faults.empty()) << record << ": column " << faults[0].column;
      std::string line;
      JsonLinesWriter(layout).append(values, values.size(), line);
      line.pop_back();
      std::vector<std::u16string> read;
      EXPECT_EQ(reader.read(line, read).present, values.size());
      std::vector<std::u16string_view> views(read.begin(), read.end());
      std::vector<ValueChange> changes(views.size());
      ByteString out;
      builder.append(views, out, changes);
      EXPECT_EQ(hex(out), hex(in)) << line;
      for (const ValueChange& change : changes) EXPECT_EQ(change.kind, Change::none) << line;
    }
  }
  // A float takes a JSON number as well as a string.
  std::vector<std::u16string> values;
  (void)reader.read(R"({"id":1,"lead":1,"trail":1,"bal":1,"f4":0.5,"f8":-2.5e-3,"f4i":1E+38,"f8i":0,)"
                    R"("big":0,"small":0,"shown":0,"bwz":0,"dt":"","just":"","b":0})",
                    values);
  EXPECT_EQ(values[4] + u"|" + values[5] + u"|" + values[6], u"0.5|-2.5e-3|1E+38");
}

TEST(JsonLines, RefusesObjectsThatAreNoRecordOfTheLayout) {
  const std::string days = R"("DAYS":[{"DAY":1,"HOURS":[1,2,3]},{"DAY":2,"HOURS":[1,2,3]}])";
  const std::string rest = R"("ID":"x","AMT":1,)" + days + R"(,"NOTE":"n")";
  const struct {
    std::string line;
    std::string message;
  } cases[] = {
      {R"({"ID":"x")", "byte 10: expected ',' or '}'"},
      {"[1]", "byte 1: a record is a JSON object, not an array"},
      {R"({"ID":"x","AMT":1,)" + days + "}", "\"NOTE\" is missing"},
      {"{" + rest + R"(,"EXTRA":1})", "\"EXTRA\" is no field of the record"},
      {R"({"ID":"x","AMT":1,"DAYS":[{"DAY":1,"HOURS":[1,2,3]}],"NOTE":"n"})",
       "\"DAYS\" has 1 element; the table has 2"},
      {R"({"ID":"x","AMT":1,)" + days + R"(,"NOTE":5})",
       "\"NOTE\" is a number, where a text field takes a string"},
      {R"({"ID":"x","AMT":true,)" + days + R"(,"NOTE":"n"})",
       "\"AMT\" is a boolean, where a number is expected"},
      {R"({"ID":"x","AMT":1,"DAYS":[{"DAY":1,"HOURS":[1,2,3]},{"DAY":[],"HOURS":[1,2,3]}],"NOTE":"n"})",
       "\"DAY\" in element 2 of \"DAYS\" is an array, where a number is expected"},
      {R"({"ID":"x","AMT":1,"DAYS":{},"NOTE":"n"})",
       "\"DAYS\" is an object, where a table (an array) is expected"},
      {R"({"ID":null,"AMT":1,)" + days + R"(,"NOTE":"n"})",
       "\"ID\" is null, while a field after it is given: only the fields at the end of a record can be "
       "absent"},
      {R"({"ID":"x","ID":"y"})", "byte 15: the name \"ID\" is given twice"},
      {R"({"ID":"\x"})", "byte 9: \\x is no escape"},
      {R"({"ID":"\ud800"})", "byte 14: a surrogate without its pair"},
      {"{\"ID\":\"a\x01\"}", "byte 9: a control character in a string (write it as \\u0001)"},
      {"{\"ID\":\"\xC3\"}", "byte 8: not valid UTF-8 text"},
      {R"({"ID":01})", "byte 8: expected ',' or '}'"},
      {R"({"ID":"x"} x)", "byte 12: text after the object"},
      {R"({"record":"R",)" + rest + "}", "\"record\" is \"R\", which is no layout of the file ()"},
  };
  const NamedLayout layouts[] = {{"", copybookLayout()}};
  const JsonLinesReader reader(layouts);
  for (const auto& c : cases) {
    std::vector<std::u16string> values;
    try {
      (void)reader.read(c.line, values);
      ADD_FAILURE() << "accepted: " << c.line;
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), 5);
      EXPECT_EQ(std::string(e.what()), c.message) << c.line;
    }
  }
}

TEST(JsonLines, SeveralLayoutsAreNamedUnderRecord) {
  const std::vector<NamedLayout> layouts =
      parseLayoutFileRecords("record H\nh text 1\nrecord D\nd zoned 2\n", "t.layout");
  const JsonLinesReader reader(layouts);
  std::vector<std::u16string> values;
  EXPECT_EQ(reader.read(R"({"record":"D","d":"12"})", values).layout, 1u);
  EXPECT_EQ(values, u16s({"12"}));
  EXPECT_EQ(reader.read(R"( { "h" : "\u00e9" , "record" : "H" } )", values).layout, 0u);
  EXPECT_EQ(values, std::vector<std::u16string>{u"\u00e9"});
  EXPECT_EQ(errorOf([&] { (void)reader.read(R"({"d":"12"})", values); }), 5);
  EXPECT_EQ(errorOf([&] { (void)reader.read(R"({"record":"X","d":"12"})", values); }), 5);
  // A key the record's name takes is no item's.
  EXPECT_EQ(errorOf([] { JsonLinesWriter(parseLayoutFile("record text 1\n", "t.layout"), "R", true); }), 5);
}

}  // namespace
}  // namespace quor::test
