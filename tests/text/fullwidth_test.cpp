#include "text/fullwidth.hpp"

#include <gtest/gtest.h>

#include <string>

#include "support/test_support.hpp"

namespace quor::text {
namespace {

using test::u16;

TEST(FullWidth, MapsAsciiBlankAndHalfWidthKana) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"", ""},
      {" ", "\u3000"},
      {"!~", "！～"},
      {"Az09", "Ａｚ０９"},
      {"\\", "＼"},
      {"｡｢｣､･", "。「」、・"},
      {"ｦｧｯｰｱﾝ", "ヲァッーアン"},
      {"ﾜ", "ワ"},
      // Voiced and semi-voiced marks join the katakana before them where a precomposed form exists.
      {"ｶﾞ", "ガ"},
      {"ﾄﾞ", "ド"},
      {"ﾊﾟﾎﾟ", "パポ"},
      {"ﾊﾞ", "バ"},
      {"ｳﾞ", "ヴ"},
      // Marks that cannot join stand as the spacing full-width marks.
      {"ﾞ", "゛"},
      {"ﾟ", "゜"},
      {"ｱﾞ", "ア゛"},
      {"ｶﾟ", "カ゜"},
      {"ﾂﾞ", "ヅ"},
      {"ｯﾞ", "ッ゛"},
      {"ﾞｶ", "゛カ"},
      {"ｶﾞﾞ", "ガ゛"},
      {"Aﾞ", "Ａ゛"},
      // Precomposed forms without a code page 932 code are left in two parts.
      {"ﾜﾞ", "ワ゛"},
      {"ｦﾞ", "ヲ゛"},
      // Already full width, and everything else, stays.
      {"漢字　ガ", "漢字　ガ"},
      {"\x7F\t", "\x7F\t"},
      {"é", "é"},
  };
  for (const auto& c : cases) EXPECT_EQ(toFullWidth(u16(c.in)), u16(c.out)) << c.in;
}

TEST(FullWidth, EveryHalfWidthKanaBecomesItsFullWidthForm) {
  // U+FF61..U+FF9F against the compatibility decompositions of Unicode (the two marks decompose to the
  // combining marks; their spacing full-width forms are U+309B and U+309C).
  const std::u16string half = u16("｡｢｣､･ｦｧｨｩｪｫｬｭｮｯｰｱｲｳｴｵｶｷｸｹｺｻｼｽｾｿﾀﾁﾂﾃﾄﾅﾆﾇﾈﾉﾊﾋﾌﾍﾎﾏﾐﾑﾒﾓﾔﾕﾖﾗﾘﾙﾚﾛﾜﾝﾞﾟ");
  const std::u16string full =
      u16("。「」、・ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホマミム"
          "メモヤユヨラリルレロワン゛゜");
  ASSERT_EQ(half.size(), 0x3Fu);
  for (std::size_t i = 0; i < half.size(); ++i) {
    EXPECT_EQ(half[i], 0xFF61 + i);
    // A blank after each character keeps the voiced marks from joining.
    EXPECT_EQ(toFullWidth(std::u16string{half[i], u' '}), (std::u16string{full[i], u'\u3000'})) << i;
  }
}

}  // namespace
}  // namespace quor::text
