// The text of a floating-point value with at most 15 significant digits, as number texts are written
// for the zoned decimal encoder: plain for moderate values, exponent form for very large or small ones.

#include <charconv>
#include <cmath>
#include <string>

#include "platform/number_reading.hpp"

namespace quor::platform {

namespace {

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

}  // namespace quor::platform
