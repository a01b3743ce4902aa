// Packed decimal through the object's public operation: sign nibbles, the prepared text, over-long
// texts keeping their low-order digits, and the order of errors.

#include <ostream>

#include "support/test_support.hpp"

namespace quor::test {
namespace {

struct PackedCase {
  const char* text;
  std::int32_t nibbles;
  bool sign;
  const char* expected;
  int error;
};

// Cases print as their inputs, not as raw bytes (whose padding is uninitialised).
void PrintTo(const PackedCase& c, std::ostream* os) {
  *os << c.text << " in " << c.nibbles << (c.sign ? " signed" : " unsigned");
}

class PackedTest : public ::testing::TestWithParam<PackedCase> {};

TEST_P(PackedTest, EncodesOrFails) {
  const PackedCase& c = GetParam();
  Quor q;
  ByteString got;
  const int error = errorOf([&] { got = q.FujitsuPack(u16(c.text), c.nibbles, c.sign); });
  EXPECT_EQ(error, c.error) << c.text << " in " << c.nibbles;
  if (c.error == 0) {
    EXPECT_EQ(hex(got), c.expected) << c.text << " in " << c.nibbles;
  }
}

INSTANTIATE_TEST_SUITE_P(
    ExactSize, PackedTest,
    ::testing::Values(PackedCase{"12345", 5, true, "12 34 5C", 0},
                      PackedCase{"12345", 5, false, "01 23 45", 0},
                      PackedCase{"00123", 5, true, "00 12 3C", 0}, PackedCase{"1234", 5, true, "01 23 4C", 0},
                      PackedCase{"-1234", 5, true, "01 23 4D", 0}, PackedCase{"-5", 3, true, "00 5D", 0},
                      PackedCase{"123", 4, true, "12 3C", 0}, PackedCase{"123", 4, false, "01 23", 0},
                      PackedCase{"5", 1, true, "5C", 0}, PackedCase{"", 1, true, "0C", 0},
                      PackedCase{"00-12", 5, true, "00 01 2D", 0}));

// Over-long texts keep their rightmost digits, so the sign nibble always stays in place.
INSTANTIATE_TEST_SUITE_P(
    OverLong, PackedTest,
    ::testing::Values(PackedCase{"1234", 4, true, "23 4C", 0}, PackedCase{"1295", 4, true, "29 5C", 0},
                      PackedCase{"-5", 1, true, "5D", 0}, PackedCase{"12345", 4, false, "23 45", 0},
                      PackedCase{"A2345", 4, false, "23 45", 0}));  // the dropped characters are never read

INSTANTIATE_TEST_SUITE_P(
    Errors, PackedTest,
    ::testing::Values(PackedCase{"123", 5, true, "", 13}, PackedCase{"123", 5, false, "", 13},
                      PackedCase{"-123", 5, false, "", 13}, PackedCase{"12.5", 4, false, "", 13},
                      PackedCase{"1", 0, true, "", 9}, PackedCase{"1", -1, true, "", 9},
                      PackedCase{"1", 2147483647, true, "", 6}, PackedCase{"1", 65535, true, "", 6},
                      PackedCase{"1", 2147483646, true, "", 6},
                      PackedCase{"1", 32767, true, "",
                                 13}));  // too short: byte 1 fails before the 16-bit limit

TEST(Packed, LargestField) {
  Quor q;
  const ByteString got = q.FujitsuPack(std::u16string(32765, u'1'), 32766);
  ASSERT_EQ(got.size(), 16383u);
  EXPECT_EQ(got[0], 0x11);
  EXPECT_EQ(got[16382], 0x1C);
  // 16384 bytes fail once the first 16383 are done: a bad character among those is 13, a later one 6.
  std::u16string text(32767, u'1');
  EXPECT_EQ(errorOf([&] { (void)q.FujitsuPack(text, 32767); }), 6);
  text[20000] = u'x';
  EXPECT_EQ(errorOf([&] { (void)q.FujitsuPack(text, 32767); }), 13);
  text[20000] = u'1';
  text[32766] = u'x';  // byte 16384
  EXPECT_EQ(errorOf([&] { (void)q.FujitsuPack(text, 32767); }), 6);
}

TEST(Packed, SignOmittedMeansTrue) {
  Quor q;
  EXPECT_EQ(q.FujitsuPack(u"-12", 3), q.FujitsuPack(u"-12", 3, true));
}

}  // namespace
}  // namespace quor::test
