// Records shorter than their layout, as variable-length files hold them: the fields past the end are
// absent, a field the end cuts is invalid; the plans write and read those that end between fields.

#include "quor/record_plan.hpp"
#include "support/test_support.hpp"

namespace quor::test {
namespace {

TEST(ShortRecord, FieldsPastTheEndAreAbsent) {
  const Layout layout = parseLayoutFile("a text 2\npad filler 1\nb zoned 3\nc text 1\n", "s.layout");
  const RecordDecoder decoder(layout);
  const PlanTables tables(GaijiMapping(), PlanUse::decode);
  const DecodePlan plan(layout, RecordOptions{}, tables, CsvWriteOptions{});
  const ByteString full = bytes("C1 C2 40 F1 F2 F3 C3");
  const struct {
    std::size_t size;
    std::size_t within;      // columnsWithin
    int cut;                 // fieldCutBy, -1 for none
    const char* faultField;  // the column the decoder finds cut, or ""
  } cases[] = {
      {0, 0, -1, ""}, {1, 0, 0, "a"}, {2, 1, -1, ""}, {3, 1, -1, ""},
      {4, 1, 2, "b"}, {6, 2, -1, ""}, {7, 3, -1, ""},
  };
  std::vector<std::u16string> values;
  std::vector<FieldFault> faults;
  std::string line(plan.maxLineBytes(), '\0');
  for (const auto& c : cases) {
    EXPECT_EQ(columnsWithin(layout, c.size), c.within) << c.size;
    EXPECT_EQ(fieldCutBy(layout, c.size).value_or(99), c.cut < 0 ? 99u : static_cast<std::size_t>(c.cut))
        << c.size;
    decoder.decode({full.data(), c.size}, values, faults);
    ASSERT_EQ(values.size(), 3u);
    for (std::size_t column = c.within; column < 3; ++column) EXPECT_EQ(values[column], u"") << c.size;
    EXPECT_EQ(faults.size(), std::string(c.faultField).empty() ? 0u : 1u) << c.size;
    if (!faults.empty()) {
      EXPECT_EQ(layout.fields[layout.columns()[faults[0].column]].name, c.faultField) << c.size;
    }
    // The plan reads a record that ends between fields with a column in it, its line the decoder's
    // columns within it; the others it leaves to the decoder.
    const std::size_t length = plan.decode({full.data(), c.size}, line.data());
    EXPECT_EQ(length != 0, c.cut < 0 && c.within > 0) << c.size;
    if (length != 0) {
      std::string written;
      appendCsvRecord(std::span<const std::u16string>(values.data(), c.within), CsvWriteOptions{}, written);
      EXPECT_EQ(line.substr(0, length), written) << c.size;
    }
  }
  EXPECT_EQ(values, (std::vector<std::u16string>{u"AB", u"123", u"C"}));
  const ByteString longer = bytes("C1 C2 40 F1 F2 F3 C3 C4");
  EXPECT_EQ(errorOf([&] { decoder.decode({longer.data(), longer.size()}, values, faults); }), 5);
}

// Fields of the clauses' kinds end where their bytes do: a separate sign's byte, a float's eight, an
// edited picture's positions. One the record's end cuts is invalid data, never a shorter value.
TEST(ShortRecord, AFieldOfTheClausesCutByTheEndIsInvalid) {
  const Layout layout = parseLayoutFile(
      "s zoned 3 signed sign=trailing-separate\nf float8\ne edited ZZ9.99-\nj text 3 justified\n"
      "p packed 3 scale=-2\n",
      "c.layout");
  const ByteString full = bytes("F0 F1 F2 60 41 10 00 00 00 00 00 00 40 F1 F2 4B F5 F0 60 40 C1 C2 12 3F");
  const RecordDecoder decoder(layout);
  const struct {
    std::size_t size;
    std::size_t within;
    const char* cut;  // the field the end cuts, or ""
  } cases[] = {
      {3, 0, "s"}, {4, 1, ""}, {11, 1, "f"}, {12, 2, ""}, {18, 2, "e"},
      {19, 3, ""}, {21, 3, "j"}, {23, 4, "p"}, {24, 5, ""},
  };
  std::vector<std::u16string> values;
  std::vector<FieldFault> faults;
  for (const auto& c : cases) {
    EXPECT_EQ(columnsWithin(layout, c.size), c.within) << c.size;
    decoder.decode({full.data(), c.size}, values, faults);
    ASSERT_EQ(faults.size(), std::string(c.cut).empty() ? 0u : 1u) << c.size;
    if (!faults.empty()) {
      EXPECT_EQ(layout.fields[layout.columns()[faults[0].column]].name, c.cut);
    }
  }
  EXPECT_EQ(values, (std::vector<std::u16string>{u"-12", u"1", u"-12.50", u"AB", u"12300"}));
}

// A record of its first columns only is the whole record's bytes up to the first column not given, and
// decodes to those columns, the others absent.
TEST(ShortRecord, FirstColumnsAreTheWholeRecordCutBeforeTheRest) {
  const Layout layout = parseLayoutFile(
      "t text 1\npad filler 2\nn packed 5 scale=2 signed\nk national 2\nz 4 0\nc 3 1\n", "s.layout");
  RecordBuilder builder(layout);
  const RecordDecoder decoder(layout);
  const PlanTables tables(GaijiMapping(), PlanUse::encode);
  const EncodePlan plan(layout, RecordOptions{}, tables, TextEncoding::utf8);
  const std::u16string_view all[] = {u"A", u"-12.5", u"山", u"77", u"xy"};
  ByteString whole;
  builder.append(all, whole);
  std::vector<std::u16string> values;
  std::vector<FieldFault> faults;
  for (std::size_t given = 1; given <= std::size(all); ++given) {
    ByteString part;
    std::vector<ValueChange> changes(given);
    builder.appendFirstColumns(std::span(all, given), part, changes);
    const std::size_t end =
        given < std::size(all) ? layout.fields[layout.columns()[given]].offset : whole.size();
    EXPECT_EQ(hex(part), hex(ByteString(whole.data(), end))) << given;
    // The encode plan writes the same short record from the values' UTF-8 bytes.
    const std::string utf8[] = {"A", "-12.5", "山", "77", "xy"};
    const std::vector<std::string_view> planValues(utf8, utf8 + given);
    std::vector<std::uint8_t> planned(layout.recordLength);
    const std::size_t length = plan.encodeFirst(planValues, planned.data());
    EXPECT_EQ(hex(ByteString(planned.data(), length)), hex(part)) << given;
    EXPECT_EQ(columnsWithin(layout, part.size()), given);
    decoder.decode({part.data(), part.size()}, values, faults);
    EXPECT_TRUE(faults.empty());
    for (std::size_t i = 0; i < given; ++i)
      EXPECT_EQ(values[i], i == 1 ? u"-12.50" : i == 2 ? u"山" : std::u16string(all[i]));
  }
  ByteString none;
  EXPECT_EQ(errorOf([&] { builder.appendFirstColumns({}, none); }), 5);
  std::vector<std::uint8_t> record(layout.recordLength);
  EXPECT_EQ(plan.encodeFirst({}, record.data()), 0u);  // no value, and more values than columns
  const std::vector<std::string_view> six(6, "1");
  EXPECT_EQ(plan.encodeFirst(six, record.data()), 0u);
}

}  // namespace
}  // namespace quor::test
