// The one grammar of number texts, read from the input's bytes (the encode plan) and from UTF-16 (the
// record builder, the numeric test): both give the same form and parts for every ASCII text, and a
// byte beyond ASCII is never part of a number, even where the locale's separator is such a character.

#include <random>
#include <string>

#include "number_text/number_scan.hpp"
#include "support/test_support.hpp"

namespace quor::number_text {
namespace {

template <class Char>
std::string described(NumberForm form, const NumberParts<Char>& parts, std::basic_string_view<Char> text) {
  const auto at = [&](std::basic_string_view<Char> part) {
    return part.empty() ? std::string("-") : std::to_string(part.data() - text.data()) + "+" + std::to_string(part.size());
  };
  return std::to_string(static_cast<int>(form)) + (parts.negative ? " neg" : "") + " i" + at(parts.integer) +
         " f" + at(parts.fraction) + " e" + at(parts.exponent) + (parts.exponentNegative ? "-" : "") +
         (parts.point ? " point" : "") + (parts.grouped ? " grouped" : "") + " l" + at(parts.literal);
}

TEST(NumberParts, BytesAndUnitsReadAlike) {
  const NumberSeparators separators[] = {{u'.', u','}, {u',', u'.'}, {u'.', u'.'}};
  std::mt19937 random(7);
  const std::string alphabet = "0123456789000 +-.,eEdD&Hh";
  for (int round = 0; round < 20000; ++round) {
    std::string bytes;
    for (std::size_t n = random() % 14; n > 0; --n) bytes += alphabet[random() % alphabet.size()];
    const std::u16string units(bytes.begin(), bytes.end());
    const NumberSeparators& seps = separators[random() % std::size(separators)];
    NumberParts<char> byteParts;
    NumberParts<char16_t> unitParts;
    const NumberForm byteForm = scanNumberParts(std::string_view(bytes), seps, byteParts);
    const NumberForm unitForm = scanNumberParts(std::u16string_view(units), seps, unitParts);
    ASSERT_EQ(described(byteForm, byteParts, std::string_view(bytes)),
              described(unitForm, unitParts, std::u16string_view(units)))
        << bytes;
  }
  // A thousands separator beyond ASCII: UTF-16 reads it, bytes leave the number to be read so.
  const NumberSeparators nbsp{u'.', u'\u00A0'};
  NumberParts<char> byteParts;
  NumberParts<char16_t> unitParts;
  EXPECT_EQ(scanNumberParts(std::string_view("1\xC2\xA0" "234"), nbsp, byteParts), NumberForm::none);
  EXPECT_EQ(scanNumberParts(std::u16string_view(u"1\u00A0234"), nbsp, unitParts), NumberForm::decimal);
  EXPECT_TRUE(unitParts.grouped);
}

}  // namespace
}  // namespace quor::number_text
