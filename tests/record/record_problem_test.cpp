#include "quor/record_problem.hpp"

#include <gtest/gtest.h>

#include "quor/column_values.hpp"
#include "quor/gaiji_mapping.hpp"
#include "support/test_support.hpp"

namespace quor {
namespace {

Layout typedLayout() {
  return parseLayoutFile("code text 4\nname national 2\nqty zoned 3\nprice packed 5 scale=2 signed\n", "t.layout");
}

// Each record goes through the builder; the problem of the one it refuses, or of its first change, is
// the message the tool prints for it.
TEST(RecordProblem, WordsOfRefusedValuesAndFailingFields) {
  struct Case {
    std::u16string values[4];
    std::string text;
    std::size_t column;
    int number;
  };
  const Case cases[] = {
      {{u"ABCDE", u"山", u"1", u"1"}, "field 1 (code): \"ABCDE\": 5 characters, the field holds 4: the rest is cut", 0, 0},
      {{u"A\"\t", u"山", u"1", u"1"}, "", 0, 0},
      {{u"A", u"山", u"12A", u"1"}, "field 3 (qty): \"12A\": not a number: written as zeros", 2, 0},
      {{u"A", u"山", u"1", u"1.234"},
       "field 4 (price): \"1.234\": more decimal places than the field's 2: the rest are cut", 3, 0},
      {{u"A", u"\uE000", u"1", u"1"},
       "field 2 (name): \"\uE000\": user-defined character U+E000 and no gaiji mapping given to look it up in", 1, 0},
  };
  RecordBuilder builder(typedLayout());
  for (const Case& c : cases) {
    const std::u16string_view values[] = {c.values[0], c.values[1], c.values[2], c.values[3]};
    ByteString out;
    std::vector<ValueChange> changes(4);
    builder.append(values, out, changes);
    std::size_t changed = 0;
    while (changed < 4 && changes[changed].kind == Change::none) ++changed;
    if (c.text.empty()) {
      EXPECT_EQ(changed, 4u) << test::hex(out);
      continue;
    }
    ASSERT_LT(changed, 4u) << c.text;
    const RecordProblem problem = changeProblem(builder.layout(), changed, values[changed], changes[changed]);
    EXPECT_EQ(problem.text(), c.text);
    EXPECT_EQ(problem.column, c.column);
    EXPECT_EQ(problem.number, c.number);
  }

  // A component field that fails: the words of its failure and its number, unless a change came first.
  RecordBuilder component(layoutFromLists("5,6", "0,3"));
  const std::u16string_view failing[] = {u"1", u"12.50"};
  std::vector<ValueChange> changes(2);
  ByteString out;
  try {
    component.append(failing, out, changes);
    FAIL() << "a fraction in a packed field of the component builds";
  } catch (const Error& error) {
    const RecordProblem problem = failureProblem(component.layout(), error, failing, changes);
    EXPECT_EQ(problem.text(), "field 2: \"12.50\": a number with a fraction, in a field of whole numbers (error 13)");
    EXPECT_EQ(problem.number, 13);
    EXPECT_EQ(failureProblem(component.layout(), Error(7), failing, changes).text(), "error 7: Out of memory");
  }
}

TEST(RecordProblem, ShowsValuesAndBytesAsMessagesDo) {
  EXPECT_EQ(shownValue(u"a\"b\\c\td\r\n\x01"), "\"a\\\"b\\\\c\\td\\r\\n\\x01\"");
  EXPECT_EQ(shownValue(u"山田太郎", 3), "\"山田\xE2\x80\xA6\"");
  EXPECT_EQ(hexPairs(test::bytes("F0 0A D3")), "F0 0A D3");

  // A decoder's fault: the field, the bytes concerned and the reason.
  const Layout layout = typedLayout();
  const RecordDecoder decoder(layout);
  ByteString record = test::bytes("C1 40 40 40  A1 A1 A1 A1  F1 FA F3  00 00 1C");
  std::vector<std::u16string> values;
  std::vector<FieldFault> faults;
  decoder.decode(record, values, faults);
  ASSERT_EQ(faults.size(), 1u);
  const RecordProblem problem = faultProblem(layout, record, faults[0]);
  EXPECT_EQ(problem.text(), "field 3 (qty): bytes FA: " + std::string(faults[0].reason));
  EXPECT_EQ(problem.column, 2u);
}

TEST(ColumnValues, KindDigitsAndScaleOfEachField) {
  const Layout lists = layoutFromLists("8,10,7,11,12", "1,2,0,3,3");
  const Layout typed = parseLayoutFile("a zoned 19\nb packed 9 scale=2 signed\nc binary 4 scale=4\nd text 3\n", "t");
  // Decimal scaling, floats and edited pictures, and a binary field's full range.
  const Layout clauses = parseLayoutFile(
      "p zoned 17 scale=-3\nq packed 3 scale=5 signed\nf float8\ne edited ZZ9.99-\nr binary 4 range=full\n", "c");
  struct Case {
    const LayoutField& field;
    bool convertSign;
    ValueKind kind;
    std::size_t digits;
    std::int32_t scale;
  };
  const Case cases[] = {
      {lists.fields[0], true, ValueKind::text, 0, 0},      {lists.fields[1], true, ValueKind::text, 0, 0},
      {lists.fields[2], true, ValueKind::integer, 7, 0},   {lists.fields[3], true, ValueKind::integer, 11, 0},
      {lists.fields[4], true, ValueKind::integer, 11, 0},  // an even packed length: its lead nibble is the pad
      {lists.fields[4], false, ValueKind::integer, 12, 0},  // no sign nibble: every nibble a digit
      {typed.fields[0], true, ValueKind::integer, 19, 0},  {typed.fields[1], true, ValueKind::decimal, 9, 2},
      {typed.fields[2], true, ValueKind::decimal, 4, 4},   {typed.fields[3], true, ValueKind::text, 0, 0},
      {clauses.fields[0], true, ValueKind::integer, 20, 0}, {clauses.fields[1], true, ValueKind::decimal, 5, 5},
      {clauses.fields[2], true, ValueKind::text, 0, 0},     {clauses.fields[3], true, ValueKind::text, 0, 0},
      {clauses.fields[4], true, ValueKind::integer, 20, 0},
  };
  // Zeros kept: the picture's width as a text.
  RecordOptions keep;
  keep.keepZeros = true;
  EXPECT_EQ(columnValues(typed.fields[0], keep).kind, ValueKind::text);
  for (const Case& c : cases) {
    const ColumnValues values = columnValues(c.field, RecordOptions{c.convertSign});
    EXPECT_EQ(values.kind, c.kind) << c.field.name;
    EXPECT_EQ(values.digits, c.digits) << c.field.name;
    EXPECT_EQ(values.scale, c.scale) << c.field.name;
  }
}

TEST(GaijiMapping, ANamedFileThatCannotBeOneIsRefused) {
  const std::pair<std::string_view, std::string> cases[] = {
      {"", "site.txt is empty"},
      {std::string_view("80A1\0 7F21\n", 11), "site.txt holds NUL bytes: it is not a text file"},
      {"# only a comment\n", "site.txt has no mapping line"},
  };
  for (const auto& [text, message] : cases) {
    try {
      (void)GaijiMapping::fromNamedFile(text, "site.txt");
      ADD_FAILURE() << message;
    } catch (const Error& error) {
      EXPECT_EQ(error.number(), 5);
      EXPECT_EQ(std::string(error.what()).substr(0, message.size()), message);
    }
  }
  EXPECT_EQ(GaijiMapping::fromNamedFile("80A1 7F21\n", "site.txt").size(), 1u);
}

}  // namespace
}  // namespace quor
