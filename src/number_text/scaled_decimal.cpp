#include "number_text/scaled_decimal.hpp"

#include <algorithm>

namespace quor::number_text {

std::optional<ScaledDecimal> readScaledDecimal(std::u16string_view text, int scale,
                                               const NumberSeparators& separators) {
  // A typed field takes no exponent and no radix literal.
  NumberParts<char16_t> parts;
  if (scanNumberParts(text, separators, parts) != NumberForm::decimal || !parts.exponent.empty()) return std::nullopt;
  ScaledDecimal value;
  value.digits.resize(parts.integer.size() + static_cast<std::size_t>(scale > 0 ? scale : 0));
  value.digits.resize(scaledDigits(parts, scale, value.digits.data(), value.fractionCut));
  value.negative = parts.negative && !value.digits.empty();
  return value;
}

void appendScaledText(std::string_view digits, bool negative, int scale, std::u16string& out) {
  const std::size_t start = out.size();
  out.resize(start + scaledTextRoom(digits.size(), scale));
  out.resize(static_cast<std::size_t>(writeScaledText(digits, negative, scale, out.data() + start) - out.data()));
}

std::optional<DecimalText> readDecimalText(std::u16string_view text, const NumberSeparators& separators) {
  NumberParts<char16_t> parts;
  if (scanNumberParts(text, separators, parts) != NumberForm::decimal) return std::nullopt;
  return decimalTextOf(parts);
}

}  // namespace quor::number_text
