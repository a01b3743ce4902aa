// Records built from three lists: the worked record, each format's formatting, the mended numeric
// rule, the marker, and the errors with their numbers.

#include <ostream>

#include "support/test_support.hpp"

namespace quor::test {
namespace {

struct RecordCase {
  const char* values;
  const char* lengths;
  const char* formats;
  bool sign;
  const char* expected;
  int error;
};

// Cases print as their inputs, not as raw bytes (whose padding is uninitialised).
void PrintTo(const RecordCase& c, std::ostream* os) {
  *os << "[" << c.values << "] [" << c.lengths << "] [" << c.formats << "]"
      << (c.sign ? " signed" : " unsigned");
}

class RecordTest : public ::testing::TestWithParam<RecordCase> {};

TEST_P(RecordTest, BuildsOrFails) {
  const RecordCase& c = GetParam();
  Quor q;
  q.JEFGaijiFilePath(u"");  // no mapping file: every character is encoded from its JIS code
  ByteString got;
  const int error =
      errorOf([&] { got = q.FujitsuHostQuor(u16(c.values), u16(c.lengths), u16(c.formats), c.sign); });
  EXPECT_EQ(error, c.error) << c.values << " | " << c.lengths << " | " << c.formats;
  if (c.error == 0) {
    EXPECT_EQ(hex(got), c.expected) << c.values << " | " << c.lengths << " | " << c.formats;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Worked, RecordTest,
    ::testing::Values(RecordCase{"ABC,123", "5,5", "1,3", true, "C1 C2 C3 40 40 00 12 3C", 0},
                      RecordCase{"ABC,123", "5,5", "1,0", true, "C1 C2 C3 40 40 F0 F0 F1 F2 F3", 0},
                      RecordCase{"", "", "", true, "", 0}));

// The formatter's rule per format code, seen through the bytes the encoders make of its result.
INSTANTIATE_TEST_SUITE_P(
    Formatting, RecordTest,
    ::testing::Values(
        RecordCase{"123", "5", "0", true, "F0 F0 F1 F2 F3", 0},
        RecordCase{"007", "5", "0", true, "F0 F0 F0 F0 F7", 0},
        RecordCase{"1234567", "5", "0", true, "F3 F4 F5 F6 F7", 0},
        RecordCase{"ABC", "5", "0", true, "F0 F0 F0 F0 F0", 0},  // not a number: a field of zeros
        RecordCase{"", "3", "0,", true, "31 00", 0}, RecordCase{"1E3", "5", "0", true, "F0 F1 F0 F0 F0", 0},
        RecordCase{"12.50", "5", "0", true, "", 13},  // a fraction has no zoned form
        RecordCase{"ABC", "5", "3", true, "", 13},    // packed: the empty text is too short
        RecordCase{"ABC", "1", "3", true, "0C", 0},
        RecordCase{"ABCDEFG", "5", "1", true, "C1 C2 C3 C4 C5", 0},
        RecordCase{"A\u4e9c", "3", "1", true, "00 00 00", 0},  // a double-byte character empties the value
        RecordCase{"\uff71\uff72", "3", "1", true, "81 82 40", 0},  // half-width katakana are single-byte
        RecordCase{"AB", "3", "2", true, "A3 C1 A3 C2 A1 A1", 0},   // full width, filled with U+3000
        RecordCase{"\uff76\uff9e", "2", "2", true, "A5 AC A1 A1",
                   0},  // joined sound mark shows the extra blank
        RecordCase{"123", "5", "7", true, "", 5}));

// Signs and blanks in numbers: the digits are filled, the sign put back in front.
INSTANTIATE_TEST_SUITE_P(NumericSigns, RecordTest,
                         ::testing::Values(RecordCase{"-12", "5", "0", true, "F0 F0 F0 F1 D2", 0},
                                           RecordCase{"12-", "5", "0", true, "F0 F0 F0 F1 D2", 0},
                                           RecordCase{"+12", "5", "0", true, "F0 F0 F0 F1 F2", 0},
                                           RecordCase{" 12", "5", "0", true, "F0 F0 F0 F1 F2", 0},
                                           RecordCase{"-1234567", "5", "0", true, "F3 F4 F5 F6 D7", 0},
                                           RecordCase{"-12", "5", "3", true, "00 01 2D", 0},
                                           RecordCase{"12-", "5", "3", true, "00 01 2D", 0},
                                           RecordCase{"+12", "5", "3", true, "00 01 2C", 0},
                                           RecordCase{"-12", "5", "0", false, "", 13},
                                           RecordCase{"-12", "5", "3", false, "", 13},
                                           RecordCase{"12", "5", "3", false, "00 00 12", 0}));

// Values the floating-point text would have lost keep every digit.
INSTANTIATE_TEST_SUITE_P(ExactDigits, RecordTest,
                         ::testing::Values(RecordCase{"1234567890123456", "16", "0", true,
                                                      "F1 F2 F3 F4 F5 F6 F7 F8 F9 F0 F1 F2 F3 F4 F5 F6", 0},
                                           RecordCase{"99999999999999999", "17", "0", true,
                                                      "F9 F9 F9 F9 F9 F9 F9 F9 F9 F9 F9 F9 F9 F9 F9 F9 F9",
                                                      0},
                                           RecordCase{"123456789012345.6", "17", "0", true, "", 13}));

// Radix literals pass the numeric test and are encoded by their value.
INSTANTIATE_TEST_SUITE_P(RadixLiterals, RecordTest,
                         ::testing::Values(RecordCase{"&H1F", "5", "0", true, "F0 F0 F0 F3 F1", 0},
                                           RecordCase{"&H1F", "5", "3", true, "00 03 1C", 0},
                                           RecordCase{"&O17", "3", "0", true, "F0 F1 F5", 0}));

INSTANTIATE_TEST_SUITE_P(
    LengthsAndCodes, RecordTest,
    ::testing::Values(
        RecordCase{"7", " 5", "0", true, "F0 F0 F0 F0 F7", 0},
        RecordCase{"7", "5.5", "0", true, "F0 F0 F0 F0 F0 F7", 0}, RecordCase{"7", "0", "0", true, "F7", 0},
        RecordCase{"7", "-3", "0", true, "", 5}, RecordCase{"7", "-3", "1", true, "", 9},
        RecordCase{"7", "-3", "3", true, "", 9}, RecordCase{"7", "-3", "2", true, "", 0},
        RecordCase{"7", "-40000", "0", true, "", 6}, RecordCase{"5,5,5", "5,,5", "0,0,0", true, "", 13},
        RecordCase{"5,5", "5,5", "0,x", true, "", 13}, RecordCase{"5", "99999999999", "0", true, "", 6},
        RecordCase{"5", "1", "-1", true, "", 5}, RecordCase{"ABC,123", "5,5", "1,3,", true, "31 00", 0},
        RecordCase{"3100", "4", "3", false, "31 00", 0}));  // the same bytes as the marker, by design

// A failing field fails the record; no bytes of an earlier field survive or are repeated.
TEST(Record, FailureDeliversNothing) {
  Quor q;
  EXPECT_EQ(errorOf([&] { (void)q.FujitsuHostQuor(u"1,2,3", u"1,1,1", u"0,9,0"); }), 5);
  EXPECT_EQ(errorOf([&] { (void)q.FujitsuHostQuor(u"1,A", u"1,-2", u"0,1"); }), 9);
  EXPECT_EQ(hex(q.FujitsuHostQuor(u"1,2", u"1,1", u"0,0")), "F1 F2");
}

TEST(Record, SignOmittedMeansTrue) {
  Quor q;
  EXPECT_EQ(q.FujitsuHostQuor(u"-5,7", u"3,3", u"0,3"), q.FujitsuHostQuor(u"-5,7", u"3,3", u"0,3", true));
}

}  // namespace
}  // namespace quor::test

namespace quor::test {
namespace {

// Lengths far beyond any host field are memory that cannot be had: error 7 (or the empty JEF result),
// never an attempt to allocate gigabytes.
TEST(Record, HugeLengthsAreRefusedNotAllocated) {
  Quor q;
  q.JEFGaijiFilePath(u"");
  EXPECT_EQ(errorOf([&] { (void)q.SJIStoEBCDICK(u"", 2000000000); }), 7);
  EXPECT_TRUE(q.FujitsuJEF(u"A", 1000000000).empty());
  EXPECT_EQ(errorOf([&] { (void)q.FujitsuHostQuor(u"A", u"2000000000", u"1"); }), 7);
  EXPECT_EQ(hex(q.FujitsuHostQuor(u"A", u"2000000000", u"2")), "");
  EXPECT_EQ(errorOf([&] { (void)q.FujitsuHostQuor(u"1", u"2000000000", u"0"); }), 6);
  EXPECT_EQ(errorOf([&] { (void)q.FujitsuHostQuor(u"1", u"2000000000", u"3"); }), 6);
  // Around the widest number fields: the value is still filled as far as an encoder reads it.
  const struct {
    const char16_t* value;
    const char16_t* length;
    const char16_t* format;
    int error;  // 0: a record of `bytes` bytes
    std::size_t bytes;
  } numbers[] = {
      {u"1", u"32766", u"0", 0, 32766}, {u"1", u"32767", u"0", 6, 0},     {u"1", u"30000000", u"0", 6, 0},
      {u"x", u"30000000", u"0", 6, 0},  {u"1", u"32766", u"3", 0, 16383}, {u"1", u"32767", u"3", 6, 0},
      {u"1", u"65534", u"3", 6, 0},     {u"1", u"65535", u"3", 6, 0},     {u"-1", u"30000000", u"3", 6, 0},
  };
  for (const auto& c : numbers) {
    const std::u16string_view length = c.length;
    SCOPED_TRACE(std::string(length.begin(), length.end()) + " format " + char(*c.format));
    if (c.error != 0) {
      EXPECT_EQ(errorOf([&] { (void)q.FujitsuHostQuor(c.value, c.length, c.format); }), c.error);
    } else {
      EXPECT_EQ(q.FujitsuHostQuor(c.value, c.length, c.format).size(), c.bytes);
    }
  }
  // Many fields that each fit but together do not.
  std::u16string values, lengths, formats;
  for (int i = 0; i < 3; ++i) {
    values += i ? u",A" : u"A";
    lengths += i ? u",30000000" : u"30000000";
    formats += i ? u",1" : u"1";
  }
  EXPECT_EQ(errorOf([&] { (void)q.FujitsuHostQuor(values, lengths, formats); }), 7);
}

}  // namespace
}  // namespace quor::test
