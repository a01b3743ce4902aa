#pragma once
// Reading the characters of a number text into its parts, before any value is computed. There are two
// readings: the strict one, which takes a whole text as the user's locale writes numbers (the numeric
// test and the integer value), and the forgiving one, which takes the leading number of a text and
// ignores what follows (the numeric value and its exact text). Both give the digits exactly, so that
// the values computed from them can be exact too.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "number_text/number_reading.hpp"

namespace quor::number_text::detail {

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

// The whole text as one number in the locale's notation, or nothing when it is not one:
//   blanks* [sign] body [sign] blanks*  with at most one sign, before or after the body;
//   body: digits with thousands separators, at most one decimal separator, an optional exponent
//         ("E"/"e"/"D"/"d", optional sign, at least one digit); or an "&H"/"&O" literal (never signed).
// At least one digit is needed before or after the decimal separator: "1." and ".5" are numbers, "."
// is not. A thousands separator counts only between two digits of the integer part ("1,2,3" is a
// number, ",1", "1,", "1,,2" and "1.2,3" are not). When both separators are the same character it is
// the decimal separator. Only U+0020 counts as a blank and only ASCII digits as digits.
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

}  // namespace quor::number_text::detail
