#include "number_text/scaled_decimal.hpp"

#include <algorithm>

#include "number_text/number_scan.hpp"

namespace quor::number_text {

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

void appendScaledText(std::string_view digits, bool negative, int scale, std::u16string& out) {
  const std::size_t first = std::min(digits.find_first_not_of('0'), digits.size());
  std::string_view significant = digits.substr(first);
  if (negative && !significant.empty()) out += u'-';
  const auto places = static_cast<std::size_t>(scale > 0 ? scale : 0);
  if (significant.size() <= places) {
    out += u'0';
    if (places > 0) {
      out += u'.';
      out.append(places - significant.size(), u'0');
      out.append(significant.begin(), significant.end());
    }
    return;
  }
  const std::size_t integer = significant.size() - places;
  out.append(significant.begin(), significant.begin() + static_cast<std::ptrdiff_t>(integer));
  if (places > 0) {
    out += u'.';
    out.append(significant.begin() + static_cast<std::ptrdiff_t>(integer), significant.end());
  }
}

}  // namespace quor::number_text
