// Edited pictures: what a MOVE of a value to an edited item shows, and the value read back. The table's
// texts are those GnuCOBOL 3.1 (cobc -x -std=ibm, MOVE and DISPLAY) shows, but for the cases marked
// where it departs from the COBOL rules: it keeps a "0" or "/" insertion among suppressed zeros, where
// the rules (and host compilers) replace every insertion before the first digit shown, and shows a fixed
// leading "+" before a floating "$" as "+" for a negative value.

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "number_text/scaled_decimal.hpp"
#include "numeric/edited.hpp"

namespace quor::numeric {
namespace {

EditedPicture pictureOf(std::string_view written) {
  std::string problem;
  const auto picture = readEditedPicture(written, problem);
  EXPECT_TRUE(picture.has_value()) << written << ": " << problem;
  return picture.value_or(EditedPicture{});
}

std::string edit(const EditedPicture& picture, std::string_view value, bool blankWhenZero = false) {
  const std::u16string units(value.begin(), value.end());
  const auto number = number_text::readScaledDecimal(units, static_cast<int>(picture.fractionDigits));
  std::string out(picture.positions.size(), '?');
  editNumber(picture, number->digits, number->negative, blankWhenZero, out.data());
  return out;
}

TEST(EditedPicture, EditsAsAMoveDoes) {
  const struct {
    const char* picture;
    const char* value;
    const char* shown;
  } cases[] = {
      {"ZZZ,ZZ9.99-", "1234.5", "  1,234.50 "},
      {"ZZZ,ZZ9.99-", "-1234.5", "  1,234.50-"},
      {"ZZZ,ZZ9.99-", "0", "      0.00 "},
      {"ZZZ,ZZ9.99-", "-0.05", "      0.05-"},
      {"$$,$$9.99", "1234.5", "$1,234.50"},
      {"$$,$$9.99", "5", "    $5.00"},
      {"$$,$$9.99", "500", "  $500.00"},
      {"***9.99", "12.3", "**12.30"},
      {"***9.99", "0", "***0.00"},
      {"***,**9.99", "5", "******5.00"},
      {"9(4)/99/99", "20240131", "2024/01/31"},
      {"+9999", "42", "+0042"},
      {"+9999", "-42", "-0042"},
      {"+9999", "0", "+0000"},
      {"9999-", "-42", "0042-"},
      {"9999-", "42", "0042 "},
      {"9999CR", "-42", "0042CR"},
      {"9999CR", "42", "0042  "},
      {"9999DB", "-42", "0042DB"},
      {"999B999", "12345", "012 345"},
      {"9909", "123", "1203"},
      {"+++9", "5", "  +5"},
      {"+++9", "-5", "  -5"},
      {"+++9", "123", "+123"},
      {"---9", "5", "   5"},
      {"---9.99", "-0.5", "  -0.50"},
      {"$$$.$$", "0.05", "  $.05"},
      {"$$$.$$", "0", "      "},
      {"ZZZ.ZZ", "0.05", "   .05"},
      {"ZZZ.ZZ", "0", "      "},
      {"ZZ.99", "0", "  .00"},
      {"ZZ,999", "5", "   005"},
      {"***.**", "0", "***.**"},
      {"$ZZ9.99CR", "-5", "$  5.00CR"},
      {"Z(4)9", "12", "   12"},
      {"ZZZ9-", "0", "   0 "},
      {"**9.99+", "-3.5", "**3.50-"},
      {"$***9.99", "7", "$***7.00"},
      {"-$$$9", "-12", "- $12"},
      {"ZZBZZ9", "5", "     5"},
      {"$$B$$9", "5", "    $5"},
      // Where GnuCOBOL shows "  0  5", "  /  5", "**/**5" and "+ $5".
      {"ZZ0ZZ9", "5", "     5"},
      {"ZZ/ZZ9", "5", "     5"},
      {"**/**9", "5", "*****5"},
      {"+$$9", "-5", "- $5"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.picture) + " <- " + c.value);
    const EditedPicture picture = pictureOf(c.picture);
    const std::string shown = edit(picture, c.value);
    EXPECT_EQ(shown, c.shown);
    // Read back: the same digits, which edit to the same text.
    std::string digits;
    bool negative = false;
    ASSERT_TRUE(uneditNumber(picture, std::u16string(shown.begin(), shown.end()), false, digits, negative));
    std::string again(shown.size(), '?');
    editNumber(picture, digits, negative, false, again.data());
    EXPECT_EQ(again, shown);
  }
  EXPECT_EQ(edit(pictureOf("ZZ9.99"), "0", true), "      ");
  EXPECT_EQ(edit(pictureOf("ZZ9.99"), "0.01", true), "  0.01");
}

TEST(EditedPicture, AlphanumericInsertions) {
  const EditedPicture picture = pictureOf("X(2)BX/0A9");
  EXPECT_FALSE(picture.numeric);
  EXPECT_EQ(picture.characters, 5u);
  std::u16string out(picture.positions.size(), u'?');
  editText(picture, u"ABC", out.data());
  EXPECT_EQ(out, u"AB C/0  ");
  std::u16string text;
  EXPECT_TRUE(uneditText(picture, out, text));
  EXPECT_EQ(text, u"ABC  ");
  text.clear();
  EXPECT_FALSE(uneditText(picture, u"AB C-0  ", text));
}

TEST(EditedPicture, RefusesWhatTheRulesDoNotWrite) {
  const struct {
    const char* picture;
    const char* problem;  // empty: no edited picture at all
  } cases[] = {
      {"S9(3)V99", ""},
      {"X(5)", ""},
      {"ZZ9Z", "'Z' comes before every 9"},
      {"Z*9", "Z and * do not go together"},
      {"$$ZZ9", "a floating string and zero suppression (Z, *) do not go together"},
      {"9CR9", "CR and DB stand only at the end"},
      {"+9999-", "it has more than one sign (+, -, CR, DB)"},
      {"+99CR", "it has more than one sign (+, -, CR, DB)"},
      {"9+9", "a fixed '+' stands first or last"},
      {"9$9", "a fixed '$' comes before the digits"},
      {"$$9$", "a 9 inside a floating string"},
      {"9$$", "a floating string comes before the digits"},
      {"9.9.9", "it has more than one decimal point (V or .)"},
      {"ZZ9.ZZ", "'Z' comes before every 9"},
      {"$$9.$$", "a 9 inside a floating string"},
      {"S9,999", "S has no place in an edited picture (its sign is shown by +, -, CR or DB)"},
      {"9(3)P.9", "P (decimal scaling) does not go with editing symbols"},
      {"+9.9E+99", "'E' is no symbol of a numeric-edited picture"},
      {"XXZX", "'Z' has no place in an alphanumeric-edited picture (A, X, 9, B, 0, /)"},
      {"9(32),9", "it has 33 digit positions; at most 31"},
      {"9(0)/9", "a repeat count is not a whole number from 1"},
      {"CR", "it has no digit position"},
  };
  for (const auto& c : cases) {
    std::string problem;
    EXPECT_FALSE(readEditedPicture(c.picture, problem).has_value()) << c.picture;
    EXPECT_EQ(problem, c.problem) << c.picture;
  }
}

// Any text that reads back as a number edits back to itself, and every value of a picture's digits
// edits to a text that reads back as it.
TEST(EditedPicture, WhatReadsBackWritesBack) {
  const char* const pictures[] = {"ZZZ,ZZ9.99-", "$$,$$9.99", "***9.99CR", "+++9", "---.--", "9(3)/99",
                                  "Z,ZZZ.ZZDB", "$ZZ9B99", "ZZ.ZZ+", "***.**"};
  std::mt19937 random(5);
  const char alphabet[] = " 0123456789$*+-.,/CRDB";
  for (const char* written : pictures) {
    const EditedPicture picture = pictureOf(written);
    for (int i = 0; i < 2000; ++i) {
      // A value's digits and sign.
      std::string digits(picture.digits(), '0');
      for (char& d : digits) d = static_cast<char>('0' + (random() % 3 == 0 ? 0 : random() % 10));
      const bool negative = random() % 2 == 0;
      std::string shown(picture.positions.size(), '?');
      editNumber(picture, digits, negative, i % 5 == 0, shown.data());
      std::string read;
      bool readNegative = false;
      ASSERT_TRUE(uneditNumber(picture, std::u16string(shown.begin(), shown.end()), i % 5 == 0, read, readNegative))
          << written << " " << shown;
      // A text of the picture's symbols and digits, mostly not one the picture writes.
      std::u16string text = std::u16string(shown.begin(), shown.end());
      text[random() % text.size()] = static_cast<char16_t>(alphabet[random() % (sizeof alphabet - 1)]);
      if (uneditNumber(picture, text, false, read, readNegative)) {
        std::string again(text.size(), '?');
        editNumber(picture, read, readNegative, false, again.data());
        ASSERT_EQ(std::u16string(again.begin(), again.end()), text) << written;
      }
    }
  }
}

}  // namespace
}  // namespace quor::numeric
