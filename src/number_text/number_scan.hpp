#pragma once
// Reading the characters of a number text into its parts, before any value is computed. There are two
// readings: the strict one, which takes a whole text as the user's locale writes numbers (the numeric
// test and the integer value), and the forgiving one, which takes the leading number of a text and
// ignores what follows (the numeric value and its exact text). Both give the digits exactly, so that
// the values computed from them can be exact too.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "base/ascii.hpp"
#include "number_text/number_reading.hpp"

namespace quor::number_text {

// A number text in the locale's notation as written, before any value is computed: views into the
// text. The one grammar of such texts, read from UTF-16 units (the record builder, the numeric test)
// or from the input's bytes (the encode plan), where a byte beyond ASCII is no character of a number.
template <class Char>
struct NumberParts {
  bool negative = false;                  // a "-" in front or behind
  std::basic_string_view<Char> integer;   // the digits before the decimal separator, separators between
  std::basic_string_view<Char> fraction;  // the digits after it
  std::basic_string_view<Char> exponent;  // the exponent's digits (none: no exponent)
  bool exponentNegative = false;
  bool point = false;    // a decimal separator is written
  bool grouped = false;  // `integer` holds thousands separators
  std::basic_string_view<Char> literal;   // an "&H"/"&O" literal's text (checked by scanRadixLiteral)
};

enum class NumberForm : std::uint8_t { none, decimal, literal };

namespace detail {

// A unit of a number text as a character: bytes beyond ASCII are none (0, which no separator is).
template <class Char>
constexpr char16_t unitOf(Char c) noexcept {
  if constexpr (sizeof(Char) == 1) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x80 ? byte : char16_t{0};
  } else {
    return static_cast<char16_t>(c);
  }
}

template <class Char>
constexpr bool isDigitUnit(Char c) noexcept {
  if constexpr (sizeof(Char) == 1)
    return base::isDigit(static_cast<unsigned char>(c));
  else
    return base::isDigit(c);
}

// The end of the run of digits that starts at text[i].
template <class Char>
inline std::size_t digitRunEnd(std::basic_string_view<Char> text, std::size_t i) noexcept {
  if constexpr (sizeof(Char) == 1) {
    return base::digitRunEnd(text.data(), i, text.size());
  } else {
    while (i < text.size() && isDigitUnit(text[i])) ++i;
    return i;
  }
}

}  // namespace detail

// Reads the whole text as one number in the locale's notation:
//   blanks* [sign] body [sign] blanks*  with at most one sign, before or after the body;
//   body: digits with thousands separators, at most one decimal separator, an optional exponent
//         ("E"/"e"/"D"/"d", optional sign, at least one digit); or an "&H"/"&O" literal (never signed).
// At least one digit is needed before or after the decimal separator: "1." and ".5" are numbers, "."
// is not. A thousands separator counts only between two digits of the integer part ("1,2,3" is a
// number, ",1", "1,", "1,,2" and "1.2,3" are not). When both separators are the same character it is
// the decimal separator. Only U+0020 counts as a blank and only ASCII digits as digits. A literal is
// given whole in `parts.literal`, for scanRadixLiteral to check.
template <class Char>
NumberForm scanNumberParts(std::basic_string_view<Char> text, const NumberSeparators& separators,
                           NumberParts<Char>& parts) noexcept;

namespace detail {

// scanNumberParts for every form of the grammar.
template <class Char>
NumberForm scanAnyNumberParts(std::basic_string_view<Char> text, const NumberSeparators& separators,
                              NumberParts<Char>& parts) noexcept {
  parts = {};
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last && unitOf(text[first]) == u' ') ++first;
  while (last > first && unitOf(text[last - 1]) == u' ') --last;
  if (first == last) return NumberForm::none;
  bool signed_ = false;
  const auto isSign = [](char16_t c) { return c == u'+' || c == u'-'; };
  if (isSign(unitOf(text[first]))) {
    parts.negative = unitOf(text[first]) == u'-';
    signed_ = true;
    ++first;
  }
  if (last > first && isSign(unitOf(text[last - 1]))) {
    if (signed_) return NumberForm::none;
    parts.negative = unitOf(text[last - 1]) == u'-';
    signed_ = true;
    --last;
  }
  if (first == last) return NumberForm::none;
  const std::basic_string_view<Char> body = text.substr(first, last - first);
  if (unitOf(body[0]) == u'&') {
    if (signed_) return NumberForm::none;
    parts.literal = body;
    return NumberForm::literal;
  }

  const std::size_t size = body.size();
  std::size_t i = detail::digitRunEnd(body, 0);
  // A thousands separator only between two digits of the integer part.
  if (separators.thousands != separators.decimal) {
    while (i > 0 && i + 1 < size && unitOf(body[i]) == separators.thousands && isDigitUnit(body[i + 1])) {
      parts.grouped = true;
      i = detail::digitRunEnd(body, i + 1);
    }
  }
  parts.integer = body.substr(0, i);
  if (i < size && unitOf(body[i]) == separators.decimal) {
    parts.point = true;
    const std::size_t start = ++i;
    i = detail::digitRunEnd(body, i);
    parts.fraction = body.substr(start, i - start);
  }
  if (parts.integer.empty() && parts.fraction.empty()) return NumberForm::none;
  if (i < size) {
    const char16_t letter = unitOf(body[i]);
    if (letter != u'E' && letter != u'e' && letter != u'D' && letter != u'd') return NumberForm::none;
    ++i;
    if (i < size && isSign(unitOf(body[i]))) parts.exponentNegative = unitOf(body[i++]) == u'-';
    const std::size_t start = i;
    i = detail::digitRunEnd(body, i);
    if (i == start || i != size) return NumberForm::none;
    parts.exponent = body.substr(start, i - start);
  }
  return NumberForm::decimal;
}

}  // namespace detail

template <class Char>
[[gnu::always_inline]] inline NumberForm scanNumberParts(std::basic_string_view<Char> text,
                                                         const NumberSeparators& separators,
                                                         NumberParts<Char>& parts) noexcept {
  // Most number texts are digits, perhaps after a "-": those are read in one run here.
  const std::size_t start = !text.empty() && detail::unitOf(text[0]) == u'-' ? 1 : 0;
  if (start < text.size() && detail::digitRunEnd(text, start) == text.size()) {
    parts = {};
    parts.negative = start == 1;
    parts.integer = text.substr(start);
    return NumberForm::decimal;
  }
  return detail::scanAnyNumberParts(text, separators, parts);
}

namespace detail {

// A decimal number: `digits` times ten to the power `exponent`, negated when `negative`. The digits
// are ASCII "0".."9" without leading or trailing zeros, so the last digit is never "0"; zero has no
// digits (and is never negative). An exponent written with absurdly many digits is read as a value
// far beyond any range the readers care about, so it cannot overflow.
struct DecimalNumber {
  bool negative = false;
  std::string digits;
  std::int64_t exponent = 0;
};

// An "&H" (hexadecimal) or "&O" (octal) literal: its digits as written but without leading zeros
// (empty for zero), and the number of bits each digit stands for.
struct RadixLiteral {
  unsigned bitsPerDigit = 4;  // 4 for "&H", 3 for "&O"
  std::string digits;

  // The value read as an unsigned number, when it fits in 64 bits.
  [[nodiscard]] std::optional<std::uint64_t> unsignedValue() const;

  // The value as the host language reads such a literal: up to 0xFFFF it is a 16-bit two's-complement
  // value ("&HFFFF" is -1, "&H8000" is -32768), up to 0xFFFFFFFF a 32-bit one ("&HFFFFFFFF" is -1,
  // "&H10000" is 65536); a larger literal has no such value. Leading zeros do not count.
  [[nodiscard]] std::optional<std::int32_t> wordValue() const;
};

using ScannedNumber = std::variant<DecimalNumber, RadixLiteral>;

// The whole text as one number in the locale's notation (scanNumberParts), or nothing when it is not
// one.
std::optional<ScannedNumber> scanWholeNumber(std::u16string_view text, const NumberSeparators& separators);

// The leading number of the text, after removing every blank, tab and line feed: an optional sign,
// digits with at most one "." and an optional exponent, or an unsigned "&H"/"&O" literal with at
// least one digit. Reading stops at the first character that cannot continue the number; an exponent
// letter not followed by digits (after an optional sign) is not part of it. A text without a leading
// number reads as zero.
ScannedNumber scanLeadingNumber(std::u16string_view text);

// The text as exactly one "&H"/"&O" literal: "&", the letter in either case, at least one valid
// digit and nothing else.
std::optional<RadixLiteral> scanRadixLiteral(std::u16string_view text);

}  // namespace detail
}  // namespace quor::number_text
