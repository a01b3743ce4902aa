// The component's numeric value of a text as a floating-point number, and the 15-digit text of such a
// value: plain for moderate values, exponent form for very large or small ones.

#include "support/number_value.hpp"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>
#include <system_error>

#include "number_text/number_scan.hpp"

namespace quor::number_text {

namespace {

using detail::DecimalNumber;
using detail::RadixLiteral;

// The number of digits in front of the decimal point of a non-zero decimal number written out.
std::int64_t integerDigitCount(const DecimalNumber& number) {
  return static_cast<std::int64_t>(number.digits.size()) + number.exponent;
}

// The nearest double to the decimal number. A value too large for a double gives the largest finite
// one with its sign, so the result stays a number that numberText can write; one too small gives 0.
double decimalValue(const DecimalNumber& number) {
  if (number.digits.empty()) return 0.0;
  const double limit = number.negative ? -DBL_MAX : DBL_MAX;
  const std::int64_t integerDigits = integerDigitCount(number);
  if (integerDigits > 310) return limit;  // at least 10^309
  if (integerDigits < -330) return 0.0;   // below 10^-330, less than half the smallest double
  // from_chars rounds correctly whatever the number of digits and ignores the locale.
  std::string text = number.negative ? "-" : "";
  text += number.digits;
  text += 'e';
  char exponent[24];
  text.append(exponent, std::to_chars(exponent, exponent + sizeof exponent, number.exponent).ptr);
  double value = 0.0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec == std::errc::result_out_of_range) return integerDigits > 0 ? limit : 0.0;
  return value == 0.0 ? 0.0 : value;  // no negative zero
}

// A literal beyond 64 bits as hexadecimal digits (octal digits regrouped by four bits).
std::string hexadecimalDigits(const RadixLiteral& literal) {
  if (literal.bitsPerDigit == 4) return literal.digits;
  constexpr char kHexDigits[] = "0123456789abcdef";
  std::string reversed;
  unsigned bits = 0;
  unsigned bitCount = 0;
  for (auto it = literal.digits.rbegin(); it != literal.digits.rend(); ++it) {
    bits |= static_cast<unsigned>(*it - '0') << bitCount;
    bitCount += 3;
    for (; bitCount >= 4; bitCount -= 4, bits >>= 4) reversed.push_back(kHexDigits[bits & 0xFu]);
  }
  if (bits != 0) reversed.push_back(kHexDigits[bits]);
  return {reversed.rbegin(), reversed.rend()};
}

// A literal's value: its 16- or 32-bit value when it has one, otherwise its unsigned value (the
// reading must give some number, and the unsigned one is the value the digits spell).
double literalValue(const RadixLiteral& literal) {
  if (const auto word = literal.wordValue()) return *word;
  if (const auto value = literal.unsignedValue()) return static_cast<double>(*value);
  const std::string digits = hexadecimalDigits(literal);
  double value = 0.0;
  const auto result =
      std::from_chars(digits.data(), digits.data() + digits.size(), value, std::chars_format::hex);
  return result.ec == std::errc::result_out_of_range ? DBL_MAX : value;
}


constexpr int kSignificantDigits = 15;

// The value's 15 significant digits, rounded to nearest (an exact binary half to even), and its
// decimal exponent after that rounding: 999999999999999.9 gives "100000000000000" and 15.
struct RoundedDigits {
  std::string digits;  // trailing zeros removed, at least one digit
  int exponent = 0;
};

RoundedDigits roundedDigits(double magnitude) {
  // to_chars writes "d.ddddddddddddddde+XX" whatever the locale; the digits are taken from it.
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific,
                                    kSignificantDigits - 1);
  const std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
  const auto e = text.find('e');

  RoundedDigits rounded;
  rounded.digits.push_back(text[0]);
  rounded.digits.append(text.substr(2, e - 2));
  while (rounded.digits.size() > 1 && rounded.digits.back() == '0') rounded.digits.pop_back();
  const std::string_view exponent = text.substr(e + 2);
  std::from_chars(exponent.data(), exponent.data() + exponent.size(), rounded.exponent);
  if (text[e + 1] == '-') rounded.exponent = -rounded.exponent;
  return rounded;
}

std::u16string widened(std::string_view ascii) {
  return {ascii.begin(), ascii.end()};
}

}  // namespace

std::u16string numberText(double value) {
  // Not finite values cannot come from reading a number text; they get names rather than digits.
  if (std::isnan(value)) return u"NaN";
  if (std::isinf(value)) return value < 0 ? u"-Infinity" : u"Infinity";
  if (value == 0.0) return u"0";  // negative zero included

  const RoundedDigits rounded = roundedDigits(std::fabs(value));
  const std::u16string digits = widened(rounded.digits);
  const int exponent = rounded.exponent;
  std::u16string text = value < 0 ? u"-" : u"";
  if (exponent >= kSignificantDigits || exponent <= -5) {
    text += digits[0];
    if (digits.size() > 1) {
      text += u'.';
      text.append(digits, 1);
    }
    text += exponent < 0 ? u"E-" : u"E+";
    const int magnitude = std::abs(exponent);
    if (magnitude < 10) text += u'0';
    text += widened(std::to_string(magnitude));
  } else if (exponent >= 0) {
    const auto integerDigits = static_cast<std::size_t>(exponent) + 1;
    if (digits.size() <= integerDigits) {
      text += digits;
      text.append(integerDigits - digits.size(), u'0');
    } else {
      text.append(digits, 0, integerDigits);
      text += u'.';
      text.append(digits, integerDigits);
    }
  } else {
    text += u"0.";
    text.append(static_cast<std::size_t>(-exponent - 1), u'0');
    text += digits;
  }
  return text;
}

double numericValue(std::u16string_view text) {
  const auto scanned = detail::scanLeadingNumber(text);
  if (const auto* literal = std::get_if<RadixLiteral>(&scanned)) return literalValue(*literal);
  return decimalValue(std::get<DecimalNumber>(scanned));
}

}  // namespace quor::number_text
