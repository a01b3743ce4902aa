#include "number/scaled_decimal.hpp"

#include "number/number_scan.hpp"

namespace quor::number {

std::optional<ScaledDecimal> readScaledDecimal(std::u16string_view text, int scale,
                                               const NumberSeparators& separators) {
  // The whole-number reading also takes exponents and radix literals; a typed field takes neither.
  if (text.find_first_of(u"eEdD&") != std::u16string_view::npos) return std::nullopt;
  const auto scanned = detail::scanWholeNumber(text, separators);
  if (!scanned) return std::nullopt;
  const auto* number = std::get_if<detail::DecimalNumber>(&*scanned);
  if (number == nullptr) return std::nullopt;

  ScaledDecimal value;
  if (number->digits.empty()) return value;  // zero, "-0" included
  value.negative = number->negative;
  // The digits never end in zero, so dropping any of them drops a non-zero digit.
  const std::int64_t shift = number->exponent + scale;
  if (shift >= 0) {
    value.digits = number->digits;
    value.digits.append(static_cast<std::size_t>(shift), '0');
  } else {
    const auto dropped = static_cast<std::size_t>(-shift);
    value.fractionCut = true;
    if (dropped < number->digits.size()) value.digits = number->digits.substr(0, number->digits.size() - dropped);
    const std::size_t zeros = value.digits.find_first_not_of('0');
    value.digits.erase(0, zeros == std::string::npos ? value.digits.size() : zeros);
    if (value.digits.empty()) value.negative = false;
  }
  return value;
}

}  // namespace quor::number
