// A copybook's FILLER ... VALUE in the records built: its characters written on the run's host page as
// a value of its field is (the same characters give other bytes on another page), its bytes as they
// are, and a text its field would write other than it reads refused, naming the line.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "quor/error.hpp"
#include "quor/layout.hpp"
#include "quor/record.hpp"
#include "quor/record_plan.hpp"
#include "support/test_support.hpp"

namespace quor::test {
namespace {

const char* const kCopybook =
    "01 R.\n 05 A PIC X.\n 05 FILLER PIC X(4) VALUE 'ab'.\n 05 FILLER PIC X(2) VALUE X'0D25'.\n"
    " 05 FILLER PIC S9(3) COMP-3 VALUE -5.\n 05 G VALUE SPACES.\n  10 FILLER PIC X(2).\n  10 B PIC S9(4) COMP SYNC.\n";

std::string built(const Layout& layout, const RecordOptions& options) {
  RecordBuilder builder(layout, options);
  const std::u16string_view values[] = {u"Z", u"1"};
  ByteString out;
  builder.append(values, out);
  // The encode plan writes constants as the builder does.
  const PlanTables tables(GaijiMapping(), PlanUse::encode, options.host);
  const EncodePlan plan(layout, options, tables, TextEncoding::utf8);
  std::vector<std::uint8_t> planned(layout.recordLength);
  const std::string_view bytesIn[] = {"Z", "1"};
  if (plan.encode(bytesIn, planned.data())) {
    EXPECT_EQ(hex(ByteString(planned.data(), planned.size())), hex(out));
  }
  return hex(out);
}

TEST(ConstantValue, FillerTextIsWrittenOnTheRunsHostPage) {
  const Layout layout = parseCopybook(kCopybook, "t.cpy");
  RecordOptions fujitsu;
  RecordOptions ibm037;
  ibm037.host = HostCodePage::ibm037;
  // "ab": EBCDIC with katakana has the small letters at 0x62 and 0x63, page 037 at 0x81 and 0x82.
  EXPECT_EQ(built(layout, fujitsu), "E9 62 63 40 40 0D 25 00 5D 40 40 40 00 01");
  EXPECT_EQ(built(layout, ibm037), "E9 81 82 40 40 0D 25 00 5D 40 40 40 00 01");
}

TEST(ConstantValue, ATextItsFieldWouldWriteOtherwiseIsRefused) {
  const struct {
    std::string copybook;
    std::string message;
  } cases[] = {
      {"01 R.\n 05 A PIC X.\n 05 FILLER PIC X(2) VALUE '漢'.\n",
       "t.cpy:3: field 2 (FILLER): VALUE \"漢\": 1 characters do not fit the field's 2 bytes"},
      {"01 R.\n 05 A PIC X.\n 05 FILLER PIC X(2) VALUE 'é'.\n", "t.cpy:3: field 2 (FILLER): VALUE \"é\": character U+00E9"},
  };
  for (const auto& c : cases) {
    const Layout layout = parseCopybook(c.copybook, "t.cpy");
    try {
      RecordBuilder builder(layout);
      ADD_FAILURE() << c.copybook;
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), errors::kInvalidCall);
      EXPECT_EQ(std::string(e.what()).substr(0, c.message.size()), c.message) << e.what();
    }
  }
}

}  // namespace
}  // namespace quor::test
