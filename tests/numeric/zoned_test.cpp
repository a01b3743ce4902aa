// Zoned decimal through the object's public operation: bytes, sign handling and the order of errors.

#include <ostream>

#include "support/test_support.hpp"

namespace quor::test {
namespace {

struct ZonedCase {
  const char* text;
  std::int32_t width;
  bool sign;
  const char* expected;  // hex bytes, or empty when an error is expected
  int error;
};

// Cases print as their inputs, not as raw bytes (whose padding is uninitialised).
void PrintTo(const ZonedCase& c, std::ostream* os) {
  *os << c.text << " in " << c.width << (c.sign ? " signed" : " unsigned");
}

class ZonedTest : public ::testing::TestWithParam<ZonedCase> {};

TEST_P(ZonedTest, EncodesOrFails) {
  const ZonedCase& c = GetParam();
  Quor q;
  ByteString got;
  const int error = errorOf([&] { got = q.FujitsuZoneFD(u16(c.text), c.width, c.sign); });
  EXPECT_EQ(error, c.error) << c.text << " in " << c.width;
  if (c.error == 0) {
    EXPECT_EQ(hex(got), c.expected) << c.text << " in " << c.width;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Values, ZonedTest,
    ::testing::Values(ZonedCase{"123", 5, true, "F0 F0 F1 F2 F3", 0},
                      ZonedCase{"123", 5, false, "F0 F0 F1 F2 F3", 0},
                      ZonedCase{"-123", 5, true, "F0 F0 F1 F2 D3", 0}, ZonedCase{"0", 1, true, "F0", 0},
                      ZonedCase{"-0", 1, true, "D0", 0}, ZonedCase{"", 2, true, "F0 F0", 0},
                      ZonedCase{"9876543210", 10, false, "F9 F8 F7 F6 F5 F4 F3 F2 F1 F0", 0}));

// The sign is taken from the whole text, wherever the "-" stands, and every "-" reads as 0.
INSTANTIATE_TEST_SUITE_P(
    SignAnywhere, ZonedTest,
    ::testing::Values(ZonedCase{"-1234", 3, true, "F2 F3 D4", 0}, ZonedCase{"1-2", 3, true, "F1 F0 D2", 0},
                      ZonedCase{"5-", 2, true, "F5 D0", 0},
                      ZonedCase{"-5", 1, false, "F5", 0},  // the "-" is cut off before it is read
                      ZonedCase{"-123", 5, false, "", 13}));

// A longer text loses its leading characters, which are never examined.
INSTANTIATE_TEST_SUITE_P(
    CutToWidth, ZonedTest,
    ::testing::Values(ZonedCase{"12345", 3, true, "F3 F4 F5", 0}, ZonedCase{"AB12", 2, true, "F1 F2", 0},
                      ZonedCase{"12A", 3, true, "", 13}, ZonedCase{"1.5", 3, true, "", 13},
                      ZonedCase{" 12", 3, true, "", 13}, ZonedCase{"+12", 3, true, "", 13},
                      ZonedCase{"１２", 2, true, "", 13}));  // full-width digits are not digits here

// Widths: the 16-bit limits decide, in a fixed order.
INSTANTIATE_TEST_SUITE_P(
    Widths, ZonedTest,
    ::testing::Values(ZonedCase{"1", 0, true, "", 9}, ZonedCase{"1", -1, true, "", 5},
                      ZonedCase{"1", -32768, true, "", 5}, ZonedCase{"1", -32769, true, "", 6},
                      ZonedCase{"1", 32767, true, "", 6}, ZonedCase{"1", 32768, true, "", 6},
                      ZonedCase{"", 2147483647, true, "", 6},
                      ZonedCase{"A", 0, true, "", 9},  // the width is checked before any character
                      ZonedCase{"A", -2, true, "", 5}));

TEST(Zoned, LargestWidth) {
  Quor q;
  const ByteString got = q.FujitsuZoneFD(u"1", 32766);
  ASSERT_EQ(got.size(), 32766u);
  EXPECT_EQ(std::count(got.begin(), got.end(), 0xF0), 32765);
  EXPECT_EQ(got[32765], 0xF1);
}

TEST(Zoned, TextLengthLimit) {
  Quor q;
  EXPECT_EQ(errorOf([&] { (void)q.FujitsuZoneFD(std::u16string(32766, u'1'), 5); }), 0);
  EXPECT_EQ(errorOf([&] { (void)q.FujitsuZoneFD(std::u16string(32767, u'1'), 5); }), 6);
  // The text length is checked before the width's sign.
  EXPECT_EQ(errorOf([&] { (void)q.FujitsuZoneFD(std::u16string(32767, u'1'), -1); }), 6);
}

TEST(Zoned, FirstBadCharacterFromTheLeftDecides) {
  Quor q;
  // Both positions are bad; only the number matters, but the call must fail and return nothing.
  EXPECT_EQ(errorOf([&] { (void)q.FujitsuZoneFD(u"A-", 2, false); }), 13);
}

TEST(Zoned, SignOmittedMeansTrue) {
  Quor q;
  EXPECT_EQ(q.FujitsuZoneFD(u"-42", 3), q.FujitsuZoneFD(u"-42", 3, true));
}

}  // namespace
}  // namespace quor::test
