// Record selection: the layout a record's type field selects, the value compared as the field decodes.

#include "quor/record_types.hpp"

#include "support/test_support.hpp"

namespace quor::test {
namespace {

LayoutField typeField(std::string_view line, std::size_t offset = 0) {
  LayoutField field = parseLayoutFile(line, "t.layout").fields.front();
  field.offset = offset;
  return field;
}

TEST(RecordTypes, TheTypeFieldSelectsALayout) {
  const struct {
    const char* field;
    std::size_t offset;
    std::vector<RecordTypeChoice> choices;
    const char* record;
    std::size_t layout;
  } cases[] = {
      {"t text 1", 0, {{u"1", 0}, {u"2", 1}, {u"*", 2}}, "F1", 0},
      {"t text 1", 0, {{u"1", 0}, {u"2", 1}, {u"*", 2}}, "F2", 1},
      {"t text 1", 0, {{u"1", 0}, {u"2", 1}, {u"*", 2}}, "F9", 2},
      {"t text 1", 0, {{u"1", 0}, {u"2", 1}}, "F9", kNoLayout},
      {"t text 1", 0, {{u"1", 0}, {u"*", 1}}, "4F", kNoLayout},  // no character: invalid, no default taken
      {"t text 1", 2, {{u"C", 0}, {u"A", 1}}, "00 00 C1", 1},
      {"t text 3", 0, {{u"AB", 0}, {u"X", 1}}, "40 C1 C2", 0},  // blanks around the value
      {"t text 3", 0, {{u"AB", 0}, {u"X", 1}}, "C1 C2 00", 0},
      {"t text 3", 0, {{u"AB", 0}, {u"X", 1}}, "C1 40 C2", kNoLayout},
      {"t zoned 2", 1, {{u"1", 0}, {u"12", 1}}, "00 F0 F1", 0},  // a number by its value
      {"t zoned 2", 0, {{u"01", 0}, {u"12", 1}}, "F1 F2", 1},
      {"t zoned 2", 0, {{u"01", 0}, {u"12", 1}}, "F1 FA", kNoLayout},
      {"t packed 3 scale=2", 0, {{u"1.5", 0}, {u"0", 1}}, "15 0F", 0},
      {"t packed 3 scale=2", 0, {{u"1.5", 0}, {u"0", 1}}, "00 0F", 1},
      {"t binary 4 signed", 0, {{u"-1", 0}, {u"*", 1}}, "FF FF", 0},
      {"t national 2", 0, {{u"ＡＢ", 0}, {u"*", 1}}, "A3 C1 A3 C2", 0},
      {"t national 2", 0, {{u"AB", 0}, {u"*", 1}}, "A3 C1 A3 C2", 0},  // half-width written in full width
      // A signed zoned type field: written with zone C, and F read as the same positive value.
      {"t zoned 1 signed", 0, {{u"1", 0}, {u"-1", 1}}, "C1", 0},
      {"t zoned 1 signed", 0, {{u"1", 0}, {u"-1", 1}}, "F1", 0},
      {"t zoned 1 signed", 0, {{u"1", 0}, {u"-1", 1}}, "D1", 1},
      {"t zoned 1 signed positive-zone=F", 0, {{u"+1", 0}, {u"*", 1}}, "C1", 0},
      {"t zoned 2 signed sign=leading-separate", 0, {{u"12", 0}, {u"-12", 1}}, "4E F1 F2", 0},
      {"t zoned 2 signed sign=leading-separate", 0, {{u"12", 0}, {u"-12", 1}}, "60 F1 F2", 1},
      {"t zoned 2 signed sign=leading-separate", 0, {{u"12", 0}, {u"*", 1}}, "40 F1 F2", kNoLayout},
      {"t zoned 2 signed sign=trailing-separate", 0, {{u"-3", 0}, {u"*", 1}}, "F0 F3 60", 0},
      {"t edited Z9", 0, {{u"7", 0}, {u"*", 1}}, "40 F7", 0},
  };
  for (const auto& c : cases) {
    const RecordSelector selector(typeField(c.field, c.offset), c.choices);
    const ByteString record = bytes(c.record);
    EXPECT_EQ(selector.select({record.data(), record.size()}), c.layout) << c.field << ": " << c.record;
  }
}

TEST(RecordTypes, RefusesChoicesTheFieldCannotHold) {
  const struct {
    const char* field;
    std::vector<RecordTypeChoice> choices;
    const char* message;
  } cases[] = {
      {"t text 1",
       {{u"12", 0}},
       "the value '12' cannot be written in the type field t as it reads: 2 characters, the field holds 1: "
       "the rest is cut"},
      {"t zoned 2", {{u"1", 0}, {u"+01", 1}}, "the value '+01' is given twice (as '1')"},
      {"t zoned 2 scale=1",
       {{u"1.25", 0}},
       "the value '1.25' cannot be written in the type field t as it reads: more decimal places than the "
       "field's 1: the rest are cut"},
      {"t zoned 2",
       {{u"A", 0}},
       "the value 'A' cannot be written in the type field t as it reads: not a number: written as zeros"},
      {"t text 1", {{u"*", 0}, {u"*", 1}}, "the value '*' (any other) is given twice"},
  };
  for (const auto& c : cases) {
    try {
      const RecordSelector selector(typeField(c.field), c.choices);
      ADD_FAILURE() << "accepted: " << c.message;
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), 5);
      EXPECT_EQ(std::string(e.what()), c.message);
    }
  }
}

TEST(RecordTypes, FindFieldTakesTheFirstLayoutThatHasIt) {
  const std::vector<NamedLayout> layouts = parseLayoutFileRecords(
      "record H\nkind text 1\nh zoned 2\nrecord D\nKIND text 1\nd zoned 4\nd_kind text 2\n", "t.layout");
  EXPECT_EQ(findField(layouts, "kind")->name, "kind");
  EXPECT_EQ(findField(layouts, "Kind")->name, "kind");
  EXPECT_EQ(findField(layouts, "d")->offset, 1u);
  EXPECT_EQ(findField(layouts, "D_KIND")->offset, 5u);
  EXPECT_FALSE(findField(layouts, "x").has_value());
}

}  // namespace
}  // namespace quor::test
