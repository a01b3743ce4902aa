#include "number_text/scaled_decimal.hpp"

#include <algorithm>

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
  if (scale < 0) {
    // Decimal scaling: the field holds the digits above its lowest place; those below are dropped.
    const std::size_t below = std::min(value.digits.size(), static_cast<std::size_t>(-static_cast<std::int64_t>(scale)));
    const std::size_t kept = value.digits.size() - below;
    value.fractionCut = value.fractionCut || value.digits.find_first_not_of('0', kept) != std::string::npos;
    value.digits.resize(kept);
    const std::size_t lead = value.digits.find_first_not_of('0');
    value.digits.erase(0, lead == std::string::npos ? value.digits.size() : lead);
  }
  value.negative = parts.negative && !value.digits.empty();
  return value;
}

void appendScaledText(std::string_view digits, bool negative, int scale, std::u16string& out) {
  const auto places = static_cast<std::size_t>(scale > 0 ? scale : 0);
  const std::size_t start = out.size();
  out.resize(start + scaledTextRoom(digits.size(), places));
  out.resize(static_cast<std::size_t>(writeScaledText(digits, negative, places, out.data() + start) - out.data()));
  if (scale < 0 && !(out.size() == start + 1 && out.back() == u'0'))
    out.append(static_cast<std::size_t>(-static_cast<std::int64_t>(scale)), u'0');
}

std::optional<DecimalText> readDecimalText(std::u16string_view text, const NumberSeparators& separators) {
  NumberParts<char16_t> parts;
  if (scanNumberParts(text, separators, parts) != NumberForm::decimal) return std::nullopt;
  DecimalText number;
  number.negative = parts.negative;
  for (const char16_t c : parts.integer)
    if (detail::isDigitUnit(c) && (!number.digits.empty() || c != u'0')) number.digits += static_cast<char>(c);
  for (const char16_t c : parts.fraction)
    if (!number.digits.empty() || c != u'0') number.digits += static_cast<char>(c);
  // The exponent, held at +-2^62 so the sums below cannot wrap.
  constexpr std::int64_t kHeld = std::int64_t{1} << 62;
  std::int64_t exponent = 0;
  for (const char16_t c : parts.exponent) exponent = exponent >= kHeld / 10 ? kHeld : exponent * 10 + (c - u'0');
  if (parts.exponentNegative) exponent = -exponent;
  // The last digit's place: the digits after the point count down from the exponent.
  const auto places = static_cast<std::int64_t>(std::min<std::size_t>(parts.fraction.size(), std::size_t{1} << 40));
  number.exponent = number.digits.empty() ? 0 : exponent - places;
  return number;
}

}  // namespace quor::number_text
