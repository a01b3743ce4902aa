// Lists of zoned fields: widths read as numbers and rounded, zero widths, the marker, and errors.

#include <ostream>

#include "support/test_support.hpp"

namespace quor::test {
namespace {

struct ListCase {
  const char* values;
  const char* widths;
  bool sign;
  const char* expected;
  int error;
};

// Cases print as their inputs, not as raw bytes (whose padding is uninitialised).
void PrintTo(const ListCase& c, std::ostream* os) {
  *os << "[" << c.values << "] [" << c.widths << "]" << (c.sign ? " signed" : " unsigned");
}

class ZonedListTest : public ::testing::TestWithParam<ListCase> {};

TEST_P(ZonedListTest, EncodesOrFails) {
  const ListCase& c = GetParam();
  Quor q;
  ByteString got;
  const int error = errorOf([&] { got = q.FujitsuZoneFDArray(u16(c.values), u16(c.widths), c.sign); });
  EXPECT_EQ(error, c.error) << c.values << " / " << c.widths;
  if (c.error == 0) {
    EXPECT_EQ(hex(got), c.expected) << c.values << " / " << c.widths;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Lists, ZonedListTest,
    ::testing::Values(ListCase{"123,-45", "5,3", true, "F0 F0 F1 F2 F3 F0 F4 D5", 0},
                      ListCase{"123,-45", "5,3", false, "", 13}, ListCase{"7", "0", true, "F7", 0},
                      ListCase{"7,8", "0.0,-0", true, "F7 F8", 0},  // zero however written is one digit
                      ListCase{"5,", "1,2", true, "F5 F0 F0", 0},
                      ListCase{"1,2", "2.5,1.5", true, "F0 F1 F0 F2", 0},  // halves to even: 2 and 2
                      ListCase{"1", "3.5", true, "F0 F0 F0 F1", 0}, ListCase{"1", " 2 ", true, "F0 F1", 0},
                      ListCase{"", "", true, "", 0}));

INSTANTIATE_TEST_SUITE_P(Marker, ZonedListTest,
                         ::testing::Values(ListCase{"1,2", "1", true, "31 00", 0},
                                           ListCase{"", "3", true, "31 00", 0},
                                           ListCase{"1", "", true, "31 00", 0}));

INSTANTIATE_TEST_SUITE_P(
    Errors, ZonedListTest,
    ::testing::Values(ListCase{"5,6", "1,", true, "", 13}, ListCase{"5", "x", true, "", 13},
                      ListCase{"1", "0.4", true, "", 9}, ListCase{"1", "-2", true, "", 5},
                      ListCase{"1", "32767", true, "", 6}, ListCase{"1", "2147483648", true, "", 6},
                      ListCase{"1,2", "1,x", true, "", 13}, ListCase{"A,2", "1,1", true, "", 13}));

TEST(ZonedList, SignOmittedMeansTrue) {
  Quor q;
  EXPECT_EQ(q.FujitsuZoneFDArray(u"-1,2", u"2,2"), q.FujitsuZoneFDArray(u"-1,2", u"2,2", true));
}

// The widths the list writes back ("1" for 0) stay in the object, but never change a later result.
TEST(ZonedList, KeptListsDoNotLeakIntoTheNextCall) {
  Quor q;
  EXPECT_EQ(hex(q.FujitsuZoneFDArray(u"7", u"0")), "F7");
  EXPECT_EQ(hex(q.FujitsuHostQuor(u"7", u"0", u"0")), "F7");
  EXPECT_EQ(hex(q.FujitsuZoneFDArray(u"12", u"2")), "F1 F2");
}

}  // namespace
}  // namespace quor::test
