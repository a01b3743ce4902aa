// Typed fields, each in a one-field layout from a new-style layout line: the bytes a value gets and
// how it is written other than it reads.

#include <vector>

#include "quor/record.hpp"
#include "support/test_support.hpp"

namespace quor::test {
namespace {

struct Case {
  const char* line;  // the field, as a layout file line
  const char* value;
  const char* bytes;
  Change change;
};

TEST(TypedFields, WriteTheirValues) {
  const Case cases[] = {
      // Zoned with a scale: exact digits, the sign in the last zone, decimal places beyond the scale cut.
      {"f zoned 5 scale=2 signed", "12.5", "F0 F1 F2 F5 F0", Change::none},
      {"f zoned 5 scale=2 signed", "-12.50", "F0 F1 F2 F5 D0", Change::none},
      {"f zoned 5 scale=2 signed", "-0", "F0 F0 F0 F0 F0", Change::none},
      {"f zoned 5 scale=2 signed", "0.125", "F0 F0 F0 F1 F2", Change::moreDecimalsThanScale},
      {"f zoned 5 scale=2 signed", "1234.5", "F2 F3 F4 F5 F0", Change::longerThanField},
      {"f zoned 5 scale=2", "-12.5", "F0 F1 F2 F5 F0", Change::negativeInUnsignedField},
      {"f zoned 5", "1,234", "F0 F1 F2 F3 F4", Change::none},
      {"f zoned 5", "abc", "F0 F0 F0 F0 F0", Change::notANumber},
      {"f zoned 5", "1E3", "F0 F0 F0 F0 F0", Change::notANumber},
      // Packed: digits / 2 + 1 bytes, C/D signed, F unsigned.
      {"f packed 5 signed", "-12345", "12 34 5D", Change::none},
      {"f packed 4 signed", "1234", "01 23 4C", Change::none},
      {"f packed 4", "1234", "01 23 4F", Change::none},
      {"f packed 7 scale=2 signed", "-12.50", "00 01 25 0D", Change::none},
      {"f packed 3", "12345", "34 5F", Change::longerThanField},
      // Binary: 2, 4 or 8 bytes by digits; the largest value of each size and its negative.
      {"f binary 4 signed", "9999", "27 0F", Change::none},
      {"f binary 4 signed", "-9999", "D8 F1", Change::none},
      {"f binary 4", "10000", "00 00", Change::longerThanField},
      {"f binary 9 signed", "999999999", "3B 9A C9 FF", Change::none},
      {"f binary 9 signed", "-999999999", "C4 65 36 01", Change::none},
      {"f binary 18 signed", "999999999999999999", "0D E0 B6 B3 A7 63 FF FF", Change::none},
      {"f binary 18 signed", "-999999999999999999", "F2 1F 49 4C 58 9C 00 01", Change::none},
      {"f binary 5 scale=2 signed", "-1.5", "FF FF FF 6A", Change::none},
      {"f binary 4", "-5", "00 05", Change::negativeInUnsignedField},
      // Text and national: an empty value is blanks and no change.
      {"f text 5", "AB", "C1 C2 40 40 40", Change::none},
      {"f text 3", "", "40 40 40", Change::none},
      {"f text 3", "ABCD", "C1 C2 C3", Change::longerThanField},
      {"f text 3", "A山", "C1 40 40", Change::longerThanField},  // 山 between its shift codes takes 4 bytes
      {"f national 3", "", "A1 A1 A1 A1 A1 A1", Change::none},
      {"f national 3", "AB", "A3 C1 A3 C2 A1 A1", Change::none},
      {"f national 1", "髙", "00 FE", Change::notAJefCode},
  };
  for (const Case& c : cases) {
    RecordBuilder builder(parseLayoutFile(c.line, "t.layout"));
    const std::u16string value = u16(c.value);
    const std::u16string_view values[] = {value};
    std::vector<ValueChange> changes(1);
    ByteString out;
    builder.append(values, out, changes);
    EXPECT_EQ(hex(out), c.bytes) << c.line << " <- " << c.value;
    EXPECT_EQ(changes[0].kind, c.change) << c.line << " <- " << c.value;
  }
}

// Fillers and constants take no value; a failing column is named by its column number.
TEST(TypedFields, FillersTakeNoValue) {
  const Layout layout = parseLayoutFile("a text 2\npad filler 2 x00\nb zoned 3 signed\nend filler 1\n", "t.layout");
  EXPECT_EQ(layout.recordLength, 8u);
  EXPECT_EQ(layout.columns(), (std::vector<std::size_t>{0, 2}));
  EXPECT_EQ(layout.describe(2), "field 2 (b)");
  RecordBuilder builder(layout);
  const std::u16string_view values[] = {u"A", u"-7"};
  ByteString out;
  builder.append(values, out);
  EXPECT_EQ(hex(out), "C1 40 00 00 F0 F0 D7 40");
}

}  // namespace
}  // namespace quor::test
