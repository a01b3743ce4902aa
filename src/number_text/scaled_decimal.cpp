#include "number_text/scaled_decimal.hpp"

namespace quor::number_text {

std::optional<ScaledDecimal> readScaledDecimal(std::u16string_view text, int scale,
                                               const NumberSeparators& separators) {
  // A typed field takes no exponent and no radix literal.
  NumberParts<char16_t> parts;
  if (scanNumberParts(text, separators, parts) != NumberForm::decimal || !parts.exponent.empty()) return std::nullopt;
  const auto places = static_cast<std::size_t>(scale > 0 ? scale : 0);
  ScaledDecimal value;
  value.digits.resize(parts.integer.size() + places);
  value.digits.resize(scaledDigits(parts, places, value.digits.data(), value.fractionCut));
  value.negative = parts.negative && !value.digits.empty();
  return value;
}

void appendScaledText(std::string_view digits, bool negative, int scale, std::u16string& out) {
  const auto places = static_cast<std::size_t>(scale > 0 ? scale : 0);
  const std::size_t start = out.size();
  out.resize(start + scaledTextRoom(digits.size(), places));
  out.resize(static_cast<std::size_t>(writeScaledText(digits, negative, places, out.data() + start) - out.data()));
}

}  // namespace quor::number_text
