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
      // Zoned with a scale: exact digits, the sign in the last zone (C positive, as host compilers
      // write it), decimal places beyond the scale cut.
      {"f zoned 5 scale=2 signed", "12.5", "F0 F1 F2 F5 C0", Change::none},
      {"f zoned 5 scale=2 signed", "-12.50", "F0 F1 F2 F5 D0", Change::none},
      {"f zoned 5 scale=2 signed", "-0", "F0 F0 F0 F0 C0", Change::none},
      {"f zoned 5 scale=2 signed", "0.125", "F0 F0 F0 F1 C2", Change::moreDecimalsThanScale},
      {"f zoned 5 scale=2 signed", "1234.5", "F2 F3 F4 F5 C0", Change::longerThanField},
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

// The EBCDIC bytes of an edited text, by the component's own single-byte encoder.
std::string ebcdic(std::string_view text) {
  return hex(Quor().SJIStoEBCDICK(u16(text), static_cast<std::int32_t>(text.size())));
}

// Every encoding a clause gives, both ways: the bytes a value gets and how it is written other than it
// reads, and for a value written as it reads, the text the decoder gives back.
TEST(TypedFields, ClausesBothWays) {
  struct Clause {
    const char* line;
    const char* value;
    std::string bytes;
    Change change;
    const char* read;  // the decoder's text of `bytes`, when the value is written as it reads
  };
  const Clause cases[] = {
      // Signs: the positive zone, a leading overpunch, separate signs, BLANK WHEN ZERO.
      {"f zoned 3 signed", "12", "F0 F1 C2", Change::none, "12"},
      {"f zoned 3 signed positive-zone=F", "12", "F0 F1 F2", Change::none, "12"},
      {"f zoned 3 sign=leading", "-12", "D0 F1 F2", Change::none, "-12"},
      {"f zoned 3 sign=leading", "12", "C0 F1 F2", Change::none, "12"},
      {"f zoned 3 sign=trailing-separate", "-12", "F0 F1 F2 60", Change::none, "-12"},
      {"f zoned 3 sign=leading-separate", "12", "4E F0 F1 F2", Change::none, "12"},
      {"f zoned 3 sign=leading-separate", "-0", "4E F0 F0 F0", Change::none, "0"},
      {"f zoned 1 sign=leading-separate scale=1", "-0.5", "60 F5", Change::none, "-0.5"},
      {"f zoned 3 blank-when-zero", "0", "40 40 40", Change::none, "0"},
      {"f zoned 3 blank-when-zero", "5", "F0 F0 F5", Change::none, "5"},
      {"f zoned 3 sign=trailing-separate blank-when-zero", "0.00", "40 40 40 40", Change::none, "0"},
      // Decimal scaling: PIC 9(3)PPP holds 123000 as 123, PIC SVPP9(3) 0.00123.
      {"f zoned 3 scale=-3", "123000", "F1 F2 F3", Change::none, "123000"},
      {"f zoned 3 scale=-3", "0", "F0 F0 F0", Change::none, "0"},
      {"f zoned 3 scale=-3", "123456", "F1 F2 F3", Change::moreDecimalsThanScale, nullptr},
      {"f zoned 3 scale=-3", "5", "F0 F0 F0", Change::moreDecimalsThanScale, nullptr},
      {"f zoned 3 scale=-3", "1234000", "F2 F3 F4", Change::longerThanField, nullptr},
      {"f packed 3 scale=5 signed", "0.00123", "12 3C", Change::none, "0.00123"},
      {"f packed 3 scale=5 signed", "-0.00999", "99 9D", Change::none, "-0.00999"},
      {"f packed 3 scale=5 signed", "0.01", "00 0C", Change::longerThanField, nullptr},
      {"f packed 3 scale=5 signed", "0.000001", "00 0C", Change::moreDecimalsThanScale, nullptr},
      {"f binary 4 scale=-2", "9900", "00 63", Change::none, "9900"},
      // Binary fields of the full range of their bytes (COMP-5), and beyond it its low-order bytes.
      {"f binary 4 signed range=full", "32767", "7F FF", Change::none, "32767"},
      {"f binary 4 signed range=full", "-32768", "80 00", Change::none, "-32768"},
      {"f binary 4 signed range=full", "32768", "80 00", Change::longerThanField, nullptr},
      {"f binary 4 range=full", "65535", "FF FF", Change::none, "65535"},
      {"f binary 4 range=full", "65536", "00 00", Change::longerThanField, nullptr},
      {"f binary 9 signed range=full scale=2", "-21474836.48", "80 00 00 00", Change::none, "-21474836.48"},
      {"f binary 18 range=full", "18446744073709551615", "FF FF FF FF FF FF FF FF", Change::none,
       "18446744073709551615"},
      {"f binary 18 signed range=full", "-9223372036854775808", "80 00 00 00 00 00 00 00", Change::none,
       "-9223372036854775808"},
      {"f binary 18 signed range=full", "99999999999999999999999", "02 C7 E1 4A F6 7F FF FF",
       Change::longerThanField, nullptr},
      // Floating point, hexadecimal and IEEE (the boundaries are the float tests').
      {"f float4", "1", "41 10 00 00", Change::none, "1"},
      {"f float4", "-123.456", "C2 7B 74 BC", Change::none, "-123.456"},
      {"f float8", "0.1", "40 19 99 99 99 99 99 9A", Change::none, "0.1"},
      {"f float4", "-0", "80 00 00 00", Change::none, "-0"},
      {"f float4", "1,234.5E-1", "42 7B 73 33", Change::none, "123.45"},
      {"f float4 ieee", "1", "3F 80 00 00", Change::none, "1"},
      {"f float8 ieee", "-2.5E-3", "BF 64 7A E1 47 AE 14 7B", Change::none, "-0.0025"},
      {"f float4", "abc", "00 00 00 00", Change::notANumber, nullptr},
      // Numeric-edited pictures (the editing rules have their own table).
      {"f edited ZZZ,ZZ9.99-", "-1234.5", ebcdic("  1,234.50-"), Change::none, "-1234.50"},
      {"f edited $$,$$9.99", "5", ebcdic("    $5.00"), Change::none, "5.00"},
      {"f edited 9(4)/99/99", "20240131", ebcdic("2024/01/31"), Change::none, "20240131"},
      {"f edited ZZ9.99 blank-when-zero", "0", ebcdic("      "), Change::none, "0.00"},
      {"f edited ***9.99", "0", ebcdic("***0.00"), Change::none, "0.00"},
      {"f edited 9999CR", "-42", ebcdic("0042CR"), Change::none, "-42"},
      {"f edited ZZ9", "1234", ebcdic("234"), Change::longerThanField, nullptr},
      {"f edited ZZ9", "-5", ebcdic("  5"), Change::negativeInUnsignedField, nullptr},
      {"f edited ZZ9.9", "1.25", ebcdic("  1.2"), Change::moreDecimalsThanScale, nullptr},
      // Alphanumeric-edited pictures.
      {"f edited-text XXBXX", "ABCD", ebcdic("AB CD"), Change::none, "ABCD"},
      {"f edited-text X(3)/X(2)", "AB", ebcdic("AB /  "), Change::none, "AB"},
      {"f edited-text XX0XX", "ABCDE", ebcdic("AB0CD"), Change::longerThanField, nullptr},
      // JUSTIFIED RIGHT: blanks in front; a long value loses its first characters.
      {"f text 5 justified", "AB", "40 40 40 C1 C2", Change::none, "AB"},
      {"f text 5 justified", "AB ", "40 40 C1 C2 40", Change::none, "AB "},
      {"f text 3 justified", "ABCD", "C2 C3 C4", Change::longerThanField, nullptr},
      {"f national 3 justified", "AB", "A1 A1 A3 C1 A3 C2", Change::none, "ＡＢ"},
      {"f national 2 justified", "ABC", "A3 C2 A3 C3", Change::longerThanField, nullptr},
  };
  for (const Clause& c : cases) {
    SCOPED_TRACE(std::string(c.line) + " <- " + c.value);
    const Layout layout = parseLayoutFile(c.line, "t.layout");
    RecordBuilder builder(layout);
    const std::u16string value = u16(c.value);
    const std::u16string_view values[] = {value};
    std::vector<ValueChange> changes(1);
    ByteString out;
    builder.append(values, out, changes);
    EXPECT_EQ(hex(out), c.bytes);
    EXPECT_EQ(changes[0].kind, c.change);
    if (c.read == nullptr) continue;
    std::vector<std::u16string> decoded;
    std::vector<FieldFault> faults;
    RecordDecoder(layout).decode(out, decoded, faults);
    EXPECT_TRUE(faults.empty());
    EXPECT_EQ(decoded.at(0), u16(c.read));
  }
}

// Zeros kept: unsigned whole numbers read with as many digits as the picture has, its P places too;
// signed and scaled numbers as before.
TEST(TypedFields, ZerosKeptOnReading) {
  const struct {
    const char* line;
    const char* bytes;
    const char* read;
  } cases[] = {
      {"f zoned 5", "F0 F0 F0 F4 F2", "00042"},
      {"f packed 4", "00 04 2F", "0042"},
      {"f binary 4", "00 2A", "0042"},
      {"f binary 4 range=full", "FF FF", "65535"},
      {"f zoned 3 scale=-3", "F0 F0 F5", "005000"},
      {"f zoned 3 blank-when-zero", "40 40 40", "000"},
      {"f zoned 5 signed", "F0 F0 F0 F4 C2", "42"},
      {"f zoned 5 scale=2", "F0 F0 F0 F4 F2", "0.42"},
  };
  RecordOptions options;
  options.keepZeros = true;
  for (const auto& c : cases) {
    std::vector<std::u16string> decoded;
    std::vector<FieldFault> faults;
    RecordDecoder(parseLayoutFile(c.line, "t.layout"), options).decode(bytes(c.bytes), decoded, faults);
    EXPECT_TRUE(faults.empty()) << c.line;
    EXPECT_EQ(decoded.at(0), u16(c.read)) << c.line;
  }
}

// JUSTIFIED RIGHT with mixed text and on IBM pages, edited pictures as the page's single-byte text.
TEST(TypedFields, ClausesOnHostPages) {
  const struct {
    HostCodePage host;
    const char* line;
    const char* value;
    const char* bytes;
    Change change;
    const char* read;
  } cases[] = {
      {HostCodePage::fujitsu, "f text 6 justified", "亜", "40 40 28 B0 A1 29", Change::none, "亜"},
      // An ideographic space in a text field is the value's, not padding.
      {HostCodePage::fujitsu, "f text 6 justified", "\u3000亜", "28 A1 A1 B0 A1 29", Change::none, "\u3000亜"},
      {HostCodePage::fujitsu, "f text 4 justified", "A亜B", "40 40 40 C2", Change::longerThanField, nullptr},
      {HostCodePage::ibm930, "f national 3 justified", "AB", "40 40 42 C1 42 C2", Change::none, "ＡＢ"},
      {HostCodePage::ibm037, "f text 4 justified", "ab", "40 40 81 82", Change::none, "ab"},
      {HostCodePage::ibm037, "f edited-text XXBXX", "abcd", "81 82 40 83 84", Change::none, "abcd"},
      {HostCodePage::ibm037, "f edited $$9.99", "1.5", "40 5B F1 4B F5 F0", Change::none, "1.50"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.line) + " <- " + c.value);
    RecordOptions options;
    options.host = c.host;
    const Layout layout = parseLayoutFile(c.line, "t.layout");
    RecordBuilder builder(layout, options);
    const std::u16string value = u16(c.value);
    const std::u16string_view values[] = {value};
    std::vector<ValueChange> changes(1);
    ByteString out;
    builder.append(values, out, changes);
    EXPECT_EQ(hex(out), c.bytes);
    EXPECT_EQ(changes[0].kind, c.change);
    if (c.read == nullptr) continue;
    std::vector<std::u16string> decoded;
    std::vector<FieldFault> faults;
    RecordDecoder(layout, options).decode(out, decoded, faults);
    EXPECT_TRUE(faults.empty());
    EXPECT_EQ(decoded.at(0), u16(c.read));
  }
}

}  // namespace
}  // namespace quor::test
