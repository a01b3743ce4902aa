// The list rule: the UTF-16 form (four units at a time) and the byte form (memchr) cut every list
// the same way, at every comma, items as they stand.

#include <string>
#include <vector>

#include "quor/text.hpp"
#include "support/test_support.hpp"

namespace quor::test {
namespace {

TEST(CommaList, BothFormsCutAtEveryComma) {
  const struct {
    std::string list;
    std::vector<std::string> items;
  } cases[] = {
      {"", {}},
      {",", {"", ""}},
      {"A,,B", {"A", "", "B"}},
      {" 1 , 2", {" 1 ", " 2"}},
      {"abc,defgh,", {"abc", "defgh", ""}},
      {"\xE5\xB1\xB1,x", {"\xE5\xB1\xB1", "x"}},  // a character beyond ASCII is no comma
      {"1234567,89,,abcdefghijk,l", {"1234567", "89", "", "abcdefghijk", "l"}},  // across blocks of four
  };
  for (const auto& c : cases) {
    std::vector<std::string_view> bytes;
    listItems(c.list, bytes);
    EXPECT_EQ(std::vector<std::string>(bytes.begin(), bytes.end()), c.items) << c.list;
    const std::u16string text = u16(c.list);
    std::vector<std::u16string> units;
    for (const std::u16string_view item : listItems(text)) units.emplace_back(item);
    std::vector<std::u16string> expected;
    for (const std::string& item : c.items) expected.push_back(u16(item));
    EXPECT_EQ(units, expected) << c.list;
  }
}

}  // namespace
}  // namespace quor::test
