#include "quor/layout.hpp"

#include <gtest/gtest.h>

#include "quor/error.hpp"

namespace quor {
namespace {

TEST(LayoutFile, ReadsFieldsByNumberOrName) {
  const Layout layout = parseLayoutFile(
      "\xEF\xBB\xBF# orders\r\n"
      "code 8 setCharacter\r\n"
      "\n"
      "  名前\t10\tsetNCharacter   # kanji\n"
      "qty 7 0\n"
      "amount 11 3\n"
      "kana 20 1\n"
      "flag 1 setNumeric\n"
      "price 5 setPackNumeric",
      "t.layout");
  ASSERT_EQ(layout.fields.size(), 7u);
  EXPECT_EQ(layout.fields[1].name, "名前");
  EXPECT_EQ(layout.fields[1].format, setNCharacter);
  EXPECT_EQ(layout.fields[6].format, setPackNumeric);
  EXPECT_EQ(layout.lengthList(), u"8,10,7,11,20,1,5");
  EXPECT_EQ(layout.formatList(), u"1,2,0,3,1,0,3");
  EXPECT_EQ(layout.describe(3), "field 4 (amount)");
}

TEST(LayoutFile, MistakesNameTheLine) {
  struct Case {
    std::string text;
    std::string message;
  };
  const Case cases[] = {
      {"a 1 1\nb 2\n", "t.layout:2: expected 'name length format', found 2 items"},
      {"a 1 1 x\n", "t.layout:1: expected 'name length format', found 4 items"},
      {"a 0 1\n", "t.layout:1: length '0' is not a whole number from 1 to 32767"},
      {"a -3 1\n", "t.layout:1: length '-3' is not a whole number from 1 to 32767"},
      {"a 32768 1\n", "t.layout:1: length '32768' is not a whole number from 1 to 32767"},
      {"a 5x 1\n", "t.layout:1: length '5x' is not a whole number from 1 to 32767"},
      {"a 32767 0\n", "t.layout:1: length 32767 is too long for a zoned field (at most 32766)"},
      {"a 32767 setPackNumeric\n", "t.layout:1: length 32767 is too long for a packed field (at most 32766)"},
      {"# c\na 5 4\n",
       "t.layout:2: format '4' is not 0..3 or one of setNumeric, setCharacter, setNCharacter, "
       "setPackNumeric"},
      {"a 5 setnumeric\n",
       "t.layout:1: format 'setnumeric' is not 0..3 or one of setNumeric, setCharacter, "
       "setNCharacter, setPackNumeric"},
      {"a 5 1\nb 5 1\na 1 0\n", "t.layout:3: field name 'a' is used twice"},
      {"# nothing\n\n", "t.layout: the layout has no fields"},
  };
  for (const Case& c : cases) {
    try {
      parseLayoutFile(c.text, "t.layout");
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()), c.message);
    }
  }
  // A layout made in code is held to the same fit.
  Layout made{{componentField("a", 32767, setPackNumeric)}};
  try {
    finishLayout(made);
    ADD_FAILURE() << "accepted a packed field of 32767 digits";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "field 1 (a): length 32767 is too long for a packed field (at most 32766)");
  }
}

TEST(LayoutLists, JoinsCheckedItems) {
  const Layout layout = layoutFromLists("8,20,010", "1,setCharacter,2");
  EXPECT_EQ(layout.lengthList(), u"8,20,10");
  EXPECT_EQ(layout.formatList(), u"1,1,2");
  EXPECT_EQ(layout.describe(2), "field 3");
}

TEST(LayoutLists, MistakesAreUsageErrors) {
  const std::pair<const char*, const char*> cases[] = {
      {"", ""}, {"8,20", "1"}, {"8,,5", "1,1,1"}, {"8", "9"}, {"8, 5", "1,1"}, {"8", ""}, {"32767", "3"},
  };
  for (const auto& [lengths, formats] : cases)
    EXPECT_THROW(layoutFromLists(lengths, formats), Error) << lengths << " / " << formats;
}

TEST(Layout, ColumnNamesAreTheFieldsNamesOrTheirNumbers) {
  EXPECT_EQ(layoutFromLists("3,4", "1,0").columnNames(), (std::vector<std::string>{"field 1", "field 2"}));
  // Fillers take no column, so the names are those of the columns only.
  EXPECT_EQ(parseLayoutFile("a text 2\npad filler 3\nb zoned 4\n", "t").columnNames(),
            (std::vector<std::string>{"a", "b"}));
}

}  // namespace
}  // namespace quor
