// Records of a layout with tables of varying length (OCCURS DEPENDING ON), both ways: the builder
// writes as many elements as each counter says and the fields after them where they then lie; the
// decoder finds the record's length and its fields' places from its counters; the padded form; a
// record shorter than its layout; and the gate's checks of tables made in code.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "quor/csv_writer.hpp"
#include "quor/error.hpp"
#include "quor/layout.hpp"
#include "quor/record.hpp"
#include "quor/record_plan.hpp"
#include "quor/text.hpp"
#include "support/test_support.hpp"

namespace quor::test {
namespace {

// Columns: N1, N2, T1(1), T1(2), K(1), T2(1,1), T2(1,2), K(2), T2(2,1), T2(2,2), TAIL. T1 and T2 hold
// 0 to 2 elements as N1 says, G 1 to 2 as N2 says; T2 lies in each element of G.
const char* const kCopybook =
    "01 R.\n 05 N1 PIC 9.\n 05 N2 PIC S9(3) COMP-3.\n 05 T1 OCCURS 0 TO 2 DEPENDING ON N1 PIC XX.\n"
    " 05 G OCCURS 1 TO 2 DEPENDING ON N2.\n  10 K PIC 9.\n  10 T2 OCCURS 0 TO 2 DEPENDING ON N1 PIC X.\n"
    " 05 TAIL PIC X.\n";

std::vector<std::u16string_view> views(const std::vector<std::u16string>& texts) {
  return {texts.begin(), texts.end()};
}

std::vector<std::u16string> texts(const std::vector<std::string>& values) {
  std::vector<std::u16string> out;
  for (const std::string& value : values) out.push_back(u16(value));
  return out;
}

ByteString built(const Layout& layout, const std::vector<std::string>& values, const RecordOptions& options = {}) {
  RecordBuilder builder(layout, options);
  const std::vector<std::u16string> units = texts(values);
  std::vector<ValueChange> changes(units.size());
  ByteString out;
  builder.append(views(units), out, changes);
  for (const ValueChange& change : changes) EXPECT_EQ(change.kind, Change::none);
  return out;
}

TEST(VaryingRecord, ValuesAndBytesBothWays) {
  const Layout layout = parseCopybook(kCopybook, "t.cpy");
  ASSERT_EQ(layout.recordLength, 14u);
  ASSERT_EQ(layout.shortestLength, 5u);
  const struct {
    std::vector<std::string> values;
    std::string bytes;
  } cases[] = {
      // Every table at its fewest: 0, 1 and 0 elements.
      {{"0", "1", "", "", "5", "", "", "", "", "", "Z"}, "F0 00 1C F5 E9"},
      // Every table at its most; TAIL after all of them.
      {{"2", "2", "AA", "BB", "1", "C", "D", "2", "E", "F", "Z"}, "F2 00 2C C1 C1 C2 C2 F1 C3 C4 F2 C5 C6 E9"},
      // One of two in T1 and in each T2: G's second element moves up by T2's absent element too.
      {{"1", "2", "AA", "", "1", "C", "", "2", "E", "", "Z"}, "F1 00 2C C1 C1 F1 C3 F2 C5 E9"},
  };
  const RecordDecoder decoder(layout);
  RecordOptions padded;
  padded.padVarying = true;
  const RecordDecoder paddedDecoder(layout, padded);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes);
    const ByteString record = built(layout, c.values);
    EXPECT_EQ(hex(record), c.bytes);
    std::vector<std::u16string> values;
    std::vector<FieldFault> faults;
    decoder.decode({record.data(), record.size()}, values, faults);
    EXPECT_TRUE(faults.empty());
    EXPECT_EQ(values, texts(c.values));
    // The length is known once the counters are read: asked with fewer bytes, the counters' end.
    for (std::size_t given = 0; given <= record.size(); ++given) {
      const RecordExtent extent = decoder.extent({record.data(), given});
      EXPECT_FALSE(extent.fault);
      EXPECT_EQ(extent.length, given < 3 ? 3 : record.size()) << given;
    }
    // Padded: blanks to the longest record's length, read back alike.
    const ByteString slot = built(layout, c.values, padded);
    std::string blanks;
    for (std::size_t i = record.size(); i < 14; ++i) blanks += " 40";
    EXPECT_EQ(hex(slot), c.bytes + blanks);
    EXPECT_EQ(paddedDecoder.extent({slot.data(), 1}).length, 14u);
    paddedDecoder.decode({slot.data(), slot.size()}, values, faults);
    EXPECT_TRUE(faults.empty());
    EXPECT_EQ(values, texts(c.values));
    // Without the padded form the slot is longer than its record.
    EXPECT_EQ(errorOf([&] { decoder.decode({slot.data(), slot.size()}, values, faults); }),
              record.size() == 14 ? 0 : errors::kInvalidCall);
  }
}

TEST(VaryingRecord, ACountOutsideItsTableIsRefusedBothWays) {
  const Layout layout = parseCopybook(kCopybook, "t.cpy");
  RecordBuilder builder(layout);
  const struct {
    std::string n1, n2;
    std::size_t field;
    std::string message;
  } refused[] = {
      {"3", "1", 1, "more elements than its table holds (T1 holds 0 to 2)"},
      {"0", "0", 2, "fewer elements than the fewest its table holds (G holds 1 to 2)"},
      {"0", "-1", 2, "a negative number of elements (G holds 1 to 2)"},
      {"1.5", "1", 1, "no whole number of elements (T1 holds 0 to 2)"},
      {"", "1", 1, "no whole number of elements (T1 holds 0 to 2)"},
      {"12", "1", 1, "a count its field would write as another (T1 holds 0 to 2)"},
  };
  for (const auto& c : refused) {
    const std::vector<std::u16string> values = texts({c.n1, c.n2, "", "", "", "", "", "", "", "", ""});
    ByteString out{0x99};
    // What a caller's changes held before stays no answer for this record.
    std::vector<ValueChange> changes(values.size(), ValueChange{Change::longerThanField});
    try {
      builder.append(views(values), out, changes);
      ADD_FAILURE() << c.n1 << " " << c.n2;
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), errors::kSubscript);
      EXPECT_EQ(e.field(), c.field);
      EXPECT_EQ(std::string(e.what()), c.message);
    }
    EXPECT_EQ(hex(out), "99");
    for (const ValueChange& change : changes) EXPECT_EQ(change.kind, Change::none);
  }
  // A value in an element past the count is left out, and said so.
  const std::vector<std::u16string> past = texts({"0", "1", "XX", "", "5", "Y", "", "", "", "", "Z"});
  std::vector<ValueChange> changes(past.size());
  ByteString out;
  builder.append(views(past), out, changes);
  EXPECT_EQ(hex(out), "F0 00 1C F5 E9");
  EXPECT_EQ(changes[2].kind, Change::pastTableCount);
  EXPECT_EQ(changes[5].kind, Change::pastTableCount);
  EXPECT_EQ(changes[3].kind, Change::none);
  EXPECT_EQ(describeChange(changes[2], u"XX", layout.fields[2]), "a value in an element past its table's count: not written");

  // Reading: the counter's fault, and the columns after it empty; the length unknown.
  const RecordDecoder decoder(layout);
  const struct {
    std::string bytes;
    const char* reason;
  } faulty[] = {
      {"F3 00 1C F5 E9", "more elements than its table holds"},
      {"F0 00 0C F5 E9", "fewer elements than the fewest its table holds"},
      {"F0 00 1D F5 E9", "a negative number of elements"},
      {"FA 00 1C F5 E9", "digit nibble above 9"},
  };
  for (const auto& c : faulty) {
    SCOPED_TRACE(c.bytes);
    const ByteString record = bytes(c.bytes);
    std::vector<std::u16string> values;
    std::vector<FieldFault> faults;
    decoder.decode({record.data(), record.size()}, values, faults);
    ASSERT_EQ(faults.size(), 1u);
    EXPECT_STREQ(faults[0].reason, c.reason);
    for (std::size_t column = 2; column < values.size(); ++column) EXPECT_EQ(values[column], u"");
    const RecordExtent extent = decoder.extent({record.data(), record.size()});
    ASSERT_TRUE(extent.fault);
    EXPECT_STREQ(extent.fault->reason, c.reason);
    EXPECT_EQ(extent.fault->column, faults[0].column);
  }
}

// Records back to back, each as long as its counters make it: walking them by extent finds every
// record whole, whatever the counts, and reads each back to its values.
TEST(VaryingRecord, BackToBackRecordsAreFoundByTheirCounters) {
  const Layout layout = parseCopybook(kCopybook, "t.cpy");
  RecordBuilder builder(layout);
  const RecordDecoder decoder(layout);
  ByteString stream;
  std::vector<std::vector<std::u16string>> written;
  std::uint32_t state = 12345;
  const auto next = [&](std::uint32_t range) {
    state = state * 1103515245u + 12345u;
    return (state >> 16) % range;
  };
  for (int r = 0; r < 200; ++r) {
    const std::uint32_t n1 = next(3);
    const std::uint32_t n2 = 1 + next(2);
    std::vector<std::u16string> values(11);
    values[0] = u16(std::to_string(n1));
    values[1] = u16(std::to_string(n2));
    for (std::uint32_t i = 0; i < n1; ++i) values[2 + i] = u"T" + u16(std::to_string(i));
    for (std::uint32_t g = 0; g < n2; ++g) {
      values[4 + 3 * g] = u16(std::to_string(next(10)));
      for (std::uint32_t i = 0; i < n1; ++i) values[5 + 3 * g + i] = std::u16string(1, static_cast<char16_t>(u'A' + next(26)));
    }
    values[10] = u"Z";
    builder.append(views(values), stream);
    written.push_back(values);
  }
  std::size_t at = 0;
  std::vector<std::u16string> values;
  std::vector<FieldFault> faults;
  for (const auto& expected : written) {
    const RecordExtent extent = decoder.extent({stream.data() + at, stream.size() - at});
    ASSERT_FALSE(extent.fault);
    ASSERT_LE(at + extent.length, stream.size());
    decoder.decode({stream.data() + at, extent.length}, values, faults);
    EXPECT_TRUE(faults.empty());
    EXPECT_EQ(values, expected);
    at += extent.length;
  }
  EXPECT_EQ(at, stream.size());
}

TEST(VaryingRecord, AShorterRecordEndsEarly) {
  // A fixed layout: a field wholly past the end is absent, one the end cuts is invalid.
  const Layout fixed = parseLayoutFile("a text 2\nb zoned 3\nc text 1\n", "t.layout");
  const RecordDecoder decoder(fixed);
  const struct {
    std::string bytes;
    std::vector<std::string> values;
    std::size_t faultAt;  // kAbsentField: none
  } cases[] = {
      {"C1 C1 F1 F2 F3 C3", {"AA", "123", "C"}, kAbsentField},
      {"C1 C1 F1 F2 F3", {"AA", "123", ""}, kAbsentField},
      {"C1 C1", {"AA", "", ""}, kAbsentField},
      {"C1 C1 F1", {"AA", "", ""}, 2},
      {"", {"", "", ""}, kAbsentField},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes);
    const ByteString record = bytes(c.bytes);
    std::vector<std::u16string> values;
    std::vector<FieldFault> faults;
    decoder.decode({record.data(), record.size()}, values, faults);
    EXPECT_EQ(values, texts(c.values));
    if (c.faultAt == kAbsentField) {
      EXPECT_TRUE(faults.empty());
    } else {
      ASSERT_EQ(faults.size(), 1u);
      EXPECT_EQ(faults[0].offset, c.faultAt);
      EXPECT_EQ(faults[0].length, 1u);
      EXPECT_STREQ(faults[0].reason, "field cut by the end of the record");
    }
  }
  // A varying layout's record cut in its second T1 element; and one ending before its counters.
  const Layout varying = parseCopybook(kCopybook, "t.cpy");
  const RecordDecoder reader(varying);
  const ByteString whole = bytes("F2 00 2C C1 C1 C2 C2 F1 C3 C4 F2 C5 C6 E9");
  std::vector<std::u16string> values;
  std::vector<FieldFault> faults;
  reader.decode({whole.data(), 6}, values, faults);
  EXPECT_EQ(values, texts({"2", "2", "AA", "", "", "", "", "", "", "", ""}));
  ASSERT_EQ(faults.size(), 1u);
  EXPECT_EQ(faults[0].column, 3u);
  reader.decode({whole.data(), 2}, values, faults);
  EXPECT_EQ(values, texts({"2", "", "", "", "", "", "", "", "", "", ""}));
  ASSERT_EQ(faults.size(), 1u);
  EXPECT_EQ(faults[0].column, 1u);
  EXPECT_EQ(errorOf([&] { reader.decode({whole.data(), whole.size() - 1}, values, faults); }), 0);
}

// A record of the first k columns only, as a variable-length file holds one, reads back as those k
// columns (and the empty ones of elements its counters leave out), the rest absent: the builder's cut
// and the decoder's count of columns within agree for every k.
TEST(VaryingRecord, FirstColumnsReadBackAsWritten) {
  const struct {
    const char* copybook;
    std::vector<std::string> record;
  } cases[] = {
      {kCopybook, {"1", "2", "AA", "", "1", "X", "", "2", "Y", "", "Z"}},
      {kCopybook, {"0", "1", "", "", "7", "", "", "", "", "", "Z"}},
      {kCopybook, {"2", "2", "AA", "BB", "1", "W", "X", "2", "Y", "Z", "T"}},
      // The columns after the first are all left out by the count: the record keeps its filler.
      {"01 R.\n 05 N PIC 9.\n 05 T OCCURS 0 TO 2 DEPENDING ON N PIC X.\n 05 FILLER PIC XX.\n", {"0", "", ""}},
      // Two tables of one counter, the fewest of one above the other's: a counter past the end counts
      // the fewest both hold.
      {"01 R.\n 05 K PIC X.\n 05 N PIC 9.\n 05 A OCCURS 1 TO 2 DEPENDING ON N PIC X.\n"
       " 05 B OCCURS 0 TO 2 DEPENDING ON N PIC X.\n",
       {"K", "1", "A", "", "B", ""}},
  };
  for (const auto& c : cases) {
    const Layout layout = parseCopybook(c.copybook, "t.cpy");
    RecordBuilder builder(layout);
    const RecordDecoder decoder(layout);
    const std::vector<std::u16string> all = texts(c.record);
    const std::vector<std::u16string_view> given = views(all);
    ByteString whole;
    builder.append(given, whole);
    EXPECT_EQ(decoder.columnsWithin({whole.data(), whole.size()}), all.size());
    for (std::size_t k = 1; k < all.size(); ++k) {
      SCOPED_TRACE(c.record[0] + c.record[1] + " first " + std::to_string(k));
      ByteString cut;
      builder.appendFirstColumns(std::span<const std::u16string_view>(given).first(k), cut);
      ASSERT_LE(cut.size(), whole.size());
      EXPECT_EQ(cut, ByteString(whole.data(), cut.size()));
      const std::size_t present = decoder.columnsWithin({cut.data(), cut.size()});
      EXPECT_GE(present, k);
      std::vector<std::u16string> values;
      std::vector<FieldFault> faults;
      decoder.decode({cut.data(), cut.size()}, values, faults);
      EXPECT_TRUE(faults.empty());
      for (std::size_t column = 0; column < present; ++column) EXPECT_EQ(values[column], all[column]) << column;
      for (std::size_t column = present; column < all.size(); ++column) EXPECT_EQ(values[column], u"") << column;
      // Fewer columns read back is a shorter record; all of them, the whole record.
      EXPECT_EQ(present < all.size(), cut.size() < whole.size());
    }
  }
}

// The plans beside the builder and the decoder, for each way a record of the copybook's tables is
// written: a record the plan writes or reads has their bytes and their line, padded or not; what the
// plan declines (a count other than plain digits or out of range, a value past its table's count, a
// record of another length than its counters make, invalid data) is theirs to refuse or report.
TEST(VaryingRecord, PlansWriteAndReadWhatTheBuilderAndDecoderDo) {
  const Layout layout = parseCopybook(kCopybook, "t.cpy");
  const PlanTables tables{GaijiMapping()};
  const struct {
    std::vector<std::string> values;
    bool planned;
  } cases[] = {
      {{"0", "1", "", "", "5", "", "", "", "", "", "Z"}, true},
      {{"2", "2", "AA", "BB", "1", "C", "D", "2", "E", "F", "Z"}, true},
      {{"1", "2", "AA", "", "1", "C", "", "2", "E", "", "Z"}, true},
      {{"1", "1", "AA", "", "1", "C", "", "", "", "", "Z"}, true},      // G's second element absent, T2 in it too
      {{"1", "1", "AA", "", "1", "C", "", "2", "", "", "Z"}, false},    // a value in it: left out, a change
      {{"2", "+2", "AA", "BB", "1", "C", "D", "2", "E", "F", "Z"}, false},  // a count with a sign
      {{"3", "1", "AA", "BB", "1", "C", "D", "", "", "", "Z"}, false},  // more than T1 holds
      {{"", "1", "", "", "5", "", "", "", "", "", "Z"}, false},
  };
  for (const bool pad : {false, true}) {
    RecordOptions options;
    options.padVarying = pad;
    const EncodePlan encode(layout, options, tables, TextEncoding::utf8);
    const DecodePlan decode(layout, options, tables, CsvWriteOptions{});
    const RecordDecoder decoder(layout, options);
    for (const auto& c : cases) {
      SCOPED_TRACE(c.values[0] + " " + c.values[1] + (pad ? " padded" : ""));
      const std::vector<std::string_view> values(c.values.begin(), c.values.end());
      std::vector<std::uint8_t> record(layout.recordLength);
      const std::size_t length = encode.encode(values, record.data());
      EXPECT_EQ(length != 0, c.planned);
      if (length == 0) continue;
      const ByteString bytes = built(layout, c.values, options);
      EXPECT_EQ(hex(ByteString(record.data(), length)), hex(bytes));
      std::vector<char> line(decode.maxLineBytes());
      const std::size_t lineLength = decode.decode({record.data(), length}, line.data());
      std::vector<std::u16string> read;
      std::vector<FieldFault> faults;
      decoder.decode({record.data(), length}, read, faults);
      std::string written;
      appendCsvRecord(read, CsvWriteOptions{}, written);
      EXPECT_EQ(std::string(line.data(), lineLength), written);
      // One byte more or less than the counters make, or a counter of invalid data, is the decoder's.
      EXPECT_EQ(decode.decode({record.data(), length - 1}, line.data()), 0u);
      if (length < layout.recordLength) {
        EXPECT_EQ(decode.decode({record.data(), length + 1}, line.data()), 0u);
      }
      record[0] = 0x5A;
      EXPECT_EQ(decode.decode({record.data(), length}, line.data()), 0u);
    }
  }

  // A FILLER's VALUE is the plan's and the builder's alike.
  const Layout valued = parseCopybook("01 R.\n 05 A PIC X(2).\n 05 FILLER PIC X(3) VALUE 'OK'.\n", "v.cpy");
  const EncodePlan plan(valued, RecordOptions{}, tables, TextEncoding::utf8);
  std::vector<std::uint8_t> planned(valued.recordLength);
  const std::vector<std::string_view> one = {"AB"};
  ASSERT_TRUE(plan.encode(one, planned.data()));
  EXPECT_EQ(hex(ByteString(planned.data(), planned.size())), hex(built(valued, {"AB"})));
  EXPECT_EQ(hex(built(valued, {"AB"})), "C1 C2 D6 D2 40");
}

LayoutField typed(std::string name, FieldKind kind, std::int32_t length, FieldRole role = FieldRole::column) {
  LayoutField field;
  field.name = std::move(name);
  field.kind = kind;
  field.length = length;
  field.role = role;
  return field;
}

TEST(VaryingRecord, TheGateRefusesTablesNoRecordCanBeReadBy) {
  // n, t(1), t(2), t(3), tail: a table of 0 to 3 elements counted by n.
  const auto layoutOf = [](VaryingTable table, LayoutField last = typed("tail", FieldKind::text, 1)) {
    Layout layout;
    layout.fields = {typed("n", FieldKind::zoned, 1), typed("t", FieldKind::text, 2), typed("t", FieldKind::text, 2),
                     typed("t", FieldKind::text, 2), last};
    layout.tables = {table};
    return layout;
  };
  const VaryingTable good{"T", 0, 0, 3, 1, 1};
  LayoutField overlay = typed("o", FieldKind::text, 2, FieldRole::overlay);
  overlay.offset = 3;
  LayoutField before = overlay;
  before.offset = 0;
  before.length = 1;
  const struct {
    Layout layout;
    std::string message;
  } cases[] = {
      {layoutOf(good), "accepted"},
      {layoutOf({"T", 1, 0, 3, 1, 1}),
       "field 2 (t): varying table 1 (T): its counter (field 2) must come before every varying table, so a record's "
       "length can be read from its start"},
      {layoutOf({"T", 0, 0, 5, 1, 1}),
       "field 2 (t): varying table 1 (T): its 5 elements of 1 fields from field 2 lie beyond the layout's 5 fields"},
      {layoutOf({"T", 0, 4, 3, 1, 1}),
       "field 2 (t): varying table 1 (T): its fewest elements (4) are more than its most (3)"},
      {layoutOf({"T", 0, 0, 2, 1, 2}),
       "field 5 (tail): varying table 1 (T): element 2 differs from element 1 in this field's size or role"},
      {layoutOf({"T", 0, 0, 0, 1, 1}),
       "field 2 (t): varying table 1 (T): its 0 elements of 1 fields from field 2 lie beyond the layout's 5 fields"},
      // An overlay on bytes a count leaves out, listed outside the table; and one before it, on fixed bytes.
      {layoutOf(good, overlay),
       "field 5 (o): an overlay must lie on fields of its own element of a varying table (or, outside every "
       "table, on fields outside every table): a count would leave out the one and not the other"},
      {layoutOf(good, before), "accepted"},
  };
  for (const auto& c : cases) EXPECT_EQ(layoutRefusal(c.layout), c.message);

  Layout text = layoutOf(good);
  text.fields[0] = typed("n", FieldKind::text, 1);
  EXPECT_EQ(layoutRefusal(text),
            "field 1 (n): the counter of varying table 1 (T) must be a column of whole numbers (zoned, packed or "
            "binary, scale 0)");
  Layout overlapping = layoutOf(good);
  overlapping.tables.push_back({"U", 0, 0, 2, 2, 1});
  EXPECT_EQ(layoutRefusal(overlapping),
            "field 3 (t): varying table 2 overlaps varying table 1 other than by lying within one of its elements");

  // The fields' places for given counts; a count out of range is error 9.
  Layout layout = layoutOf(good);
  finishLayout(layout);
  EXPECT_EQ(layout.recordLength, 8u);
  EXPECT_EQ(layout.shortestLength, 2u);
  std::vector<std::size_t> offsets;
  const std::size_t counts[] = {1};
  EXPECT_EQ(placeFields(layout, counts, offsets), 4u);
  EXPECT_EQ(offsets, (std::vector<std::size_t>{0, 1, kAbsentField, kAbsentField, 3}));
  const std::size_t tooMany[] = {4};
  EXPECT_EQ(errorOf([&] { placeFields(layout, tooMany, offsets); }), errors::kSubscript);

  // Two tables of one counter hold one count: the shortest record has the fewest both hold.
  Layout shared = layoutOf({"T", 0, 0, 2, 1, 1});
  shared.tables.push_back({"U", 0, 1, 1, 3, 1});
  finishLayout(shared);
  EXPECT_EQ(shared.shortestLength, 1u + 2 + 2 + 1);
}

}  // namespace
}  // namespace quor::test
