// The values of number texts: the numeric test, the rounded 32-bit integer value and the leading
// number's exact decimal text. All of them start from the digits the scanner collects, so nothing is
// rounded before the one rounding each result needs.

#include "number_text/number_reading.hpp"

#include <charconv>
#include <new>

#include "number_text/number_scan.hpp"
#include "quor/error.hpp"

namespace quor::number_text {

namespace {

using detail::DecimalNumber;
using detail::RadixLiteral;

// The longest exact text exactNumberText writes. An exponent that would need more (a thousand-digit
// power of ten is already far beyond any field) is reported as an overflow instead of filling memory.
constexpr std::int64_t kLongestExactText = 100'000;

std::u16string widened(std::string_view ascii) {
  return {ascii.begin(), ascii.end()};
}

template <typename Integer>
std::u16string decimalDigitsOf(Integer value) {
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return widened({buffer, static_cast<std::size_t>(result.ptr - buffer)});
}

// The number of digits in front of the decimal point of a non-zero decimal number written out:
// the value lies in [10^(n-1), 10^n).
std::int64_t integerDigitCount(const DecimalNumber& number) {
  return static_cast<std::int64_t>(number.digits.size()) + number.exponent;
}

// The decimal number rounded to the nearest integer, an exact half to the even neighbour, as a 32-bit
// value; error 6 outside the range. Works on the digits, so "2147483647.5" is not first rounded to a
// nearby double.
std::int32_t roundedInteger(const DecimalNumber& number) {
  const std::int64_t integerDigits = integerDigitCount(number);
  if (number.digits.empty() || integerDigits < 0) return 0;  // below 0.1
  if (integerDigits > 10)
    throw Error(errors::kOverflow);  // at least 10^10; also keeps `magnitude` in 64 bits
  const auto count = static_cast<std::int64_t>(number.digits.size());
  const auto digitAt = [&](std::int64_t k) {
    return k < count ? number.digits[static_cast<std::size_t>(k)] - '0' : 0;
  };
  std::int64_t magnitude = 0;
  for (std::int64_t k = 0; k < integerDigits; ++k) magnitude = magnitude * 10 + digitAt(k);
  if (integerDigits < count) {
    // The first fraction digit decides; the digits never end in "0", so any digit after it means
    // more than a half.
    const int first = digitAt(integerDigits);
    const bool moreThanHalf = first > 5 || (first == 5 && integerDigits + 1 < count);
    const bool exactHalf = first == 5 && integerDigits + 1 == count;
    if (moreThanHalf || (exactHalf && magnitude % 2 == 1)) ++magnitude;
  }
  const std::int64_t value = number.negative ? -magnitude : magnitude;
  if (value < INT32_MIN || value > INT32_MAX) throw Error(errors::kOverflow);
  return static_cast<std::int32_t>(value);
}

// A literal's value as decimal digits: its 16- or 32-bit value when it has one, otherwise its unsigned
// value; nothing beyond 64 bits.
std::optional<std::u16string> literalDigits(const RadixLiteral& literal) {
  if (const auto word = literal.wordValue()) return decimalDigitsOf(*word);
  if (const auto value = literal.unsignedValue()) return decimalDigitsOf(*value);
  return std::nullopt;
}

// The decimal number written out in full, the point moved by the exponent.
std::u16string plainDecimalText(const DecimalNumber& number) {
  if (number.digits.empty()) return u"0";
  const auto count = static_cast<std::int64_t>(number.digits.size());
  const std::int64_t integerDigits = integerDigitCount(number);
  const std::int64_t length = (number.negative ? 1 : 0) + (number.exponent >= 0 ? integerDigits
                                                           : integerDigits > 0  ? count + 1
                                                                                : 2 - integerDigits + count);
  if (length > kLongestExactText) throw Error(errors::kOverflow);

  std::u16string text;
  text.reserve(static_cast<std::size_t>(length));
  if (number.negative) text += u'-';
  const std::u16string digits = widened(number.digits);
  if (number.exponent >= 0) {
    text += digits;
    text.append(static_cast<std::size_t>(number.exponent), u'0');
  } else if (integerDigits > 0) {
    const auto point = static_cast<std::size_t>(integerDigits);
    text.append(digits, 0, point);
    text += u'.';
    text.append(digits, point);
  } else {
    text += u"0.";
    text.append(static_cast<std::size_t>(-integerDigits), u'0');
    text += digits;
  }
  return text;
}

// Record fields are mostly plain digit strings ("8", "00123", "-00012"): these take a short path
// that gives exactly what the full readers give.
bool allDigits(std::u16string_view text) noexcept {
  for (char16_t c : text)
    if (c < u'0' || c > u'9') return false;
  return !text.empty();
}

// The numeric test beyond plain digits: the whole grammar, kept out of isNumeric so that its common
// case stays a short call.
[[gnu::noinline]] bool isNumberText(std::u16string_view text, const NumberSeparators& seps) {
  NumberParts<char16_t> parts;
  switch (scanNumberParts(text, seps, parts)) {
    case NumberForm::decimal:
      return true;
    case NumberForm::literal:
      return detail::scanRadixLiteral(parts.literal).has_value();
    default:
      return false;
  }
}

}  // namespace

bool isNumeric(std::u16string_view text, const NumberSeparators& seps) {
  if (!text.empty() && (text.front() == u'-' || text.front() == u'+') && allDigits(text.substr(1)))
    return true;
  if (allDigits(text)) return true;
  return isNumberText(text, seps);
}

std::int32_t integerValue(std::u16string_view text, const NumberSeparators& seps) {
  if (text.size() <= 9 && allDigits(text)) {
    std::int32_t value = 0;
    for (char16_t c : text) value = value * 10 + (c - u'0');
    return value;
  }
  try {
    const auto scanned = detail::scanWholeNumber(text, seps);
    if (!scanned) throw Error(errors::kTypeMismatch);
    if (const auto* literal = std::get_if<RadixLiteral>(&*scanned)) {
      const auto word = literal->wordValue();
      if (!word) throw Error(errors::kOverflow);
      return *word;
    }
    return roundedInteger(std::get<DecimalNumber>(*scanned));
  } catch (const std::bad_alloc&) {
    throw Error(errors::kOutOfMemory);
  }
}

std::u16string exactNumberText(std::u16string_view text) {
  const bool negative = !text.empty() && text.front() == u'-';
  if (allDigits(negative ? text.substr(1) : text)) {
    std::u16string_view digits = negative ? text.substr(1) : text;
    while (digits.size() > 1 && digits.front() == u'0') digits.remove_prefix(1);
    if (digits == u"0") return u"0";
    std::u16string out;
    out.reserve(digits.size() + 1);
    if (negative) out += u'-';
    out += digits;
    return out;
  }
  try {
    const auto scanned = detail::scanLeadingNumber(text);
    if (const auto* literal = std::get_if<RadixLiteral>(&scanned)) {
      auto digits = literalDigits(*literal);
      if (!digits) throw Error(errors::kOverflow);
      return std::move(*digits);
    }
    return plainDecimalText(std::get<DecimalNumber>(scanned));
  } catch (const std::bad_alloc&) {
    throw Error(errors::kOutOfMemory);
  }
}

std::u16string_view exactNumberText(std::u16string_view text, std::u16string& scratch) {
  if (allDigits(text)) {
    while (text.size() > 1 && text.front() == u'0') text.remove_prefix(1);
    return text;
  }
  scratch = exactNumberText(text);
  return scratch;
}

bool isZeroNumber(std::u16string_view text) noexcept {
  const std::size_t amp = text.find(u'&');
  if (amp != std::u16string_view::npos) {
    const std::u16string_view digits = amp + 2 < text.size() ? text.substr(amp + 2) : std::u16string_view();
    for (char16_t c : digits)
      if ((c >= u'1' && c <= u'9') || (c >= u'A' && c <= u'F') || (c >= u'a' && c <= u'f')) return false;
    return true;
  }
  for (char16_t c : text) {
    if (c == u'E' || c == u'e' || c == u'D' || c == u'd') break;
    if (c >= u'1' && c <= u'9') return false;
  }
  return true;
}

std::optional<std::u16string> radixLiteralDigits(std::u16string_view text) {
  const auto first = text.find_first_not_of(u' ');
  if (first == std::u16string_view::npos) return std::nullopt;
  const auto literal = detail::scanRadixLiteral(text.substr(first, text.find_last_not_of(u' ') - first + 1));
  if (!literal) return std::nullopt;
  return literalDigits(*literal);
}

}  // namespace quor::number_text
