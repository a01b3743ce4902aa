#pragma once
// Reading number texts as the component reads them: the numeric test of a text, the integer value of a
// number text and the exact decimal text of a text's leading number. Separators come from the user's
// locale.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quor::number_text {

// The decimal and thousands separators of the user's locale.
struct NumberSeparators {
  char16_t decimal = u'.';
  char16_t thousands = u',';
};

// The separators of the user's locale, read once per process and immutable afterwards; "." and ","
// when none is set.
const NumberSeparators& localeSeparators();

// True when the whole text is one number: leading and trailing blanks; one leading or trailing "+" or
// "-"; digits "0".."9" with thousands separators and at most one decimal separator; an exponent "E" or
// "D" with optional sign and digits; or an "&H" hexadecimal / "&O" octal literal. Empty and blank texts
// fail.
bool isNumeric(std::u16string_view text, const NumberSeparators& seps = localeSeparators());

// The text read as a number (as isNumeric accepts it) and converted to a 32-bit signed integer, a
// fraction rounded to the nearest integer with halves to even ("2.5" -> 2, "3.5" -> 4). Throws
// quor::Error 13 for a text that is not a number (the empty text included), 6 outside the range.
std::int32_t integerValue(std::u16string_view text, const NumberSeparators& seps = localeSeparators());

// The exact decimal text of a text's leading number, as the component's numeric value of a text reads
// it (blanks, tabs and line feeds removed first, then an optional sign, digits with at most one ".",
// an optional exponent "E" or "D", or an "&H"/"&O" literal; no leading number is 0), without going
// through a floating-point value: leading zeros dropped, trailing fraction zeros dropped, no point for a whole
// number, "-" in front of a negative non-zero value, "0" for zero, the exponent applied exactly and
// never in exponent form. "007" -> "7", "12.50" -> "12.5", "1E3" -> "1000", "-0" -> "0".
// An "&H"/"&O" literal gives its decimal digits. Throws quor::Error 7 only if memory runs out (an
// exponent that would need an absurdly long text gives error 6).
// Details: a text longer than 100,000 characters is an absurdly long one; a literal beyond 32 bits
// gives its unsigned value, and one beyond 64 bits error 6.
std::u16string exactNumberText(std::u16string_view text);

// The same text as exactNumberText, allocating nothing where it can: a view into `text` when the
// exact text is a part of it ("00123" gives "123"), otherwise a view of `scratch`, which receives it.
std::u16string_view exactNumberText(std::u16string_view text, std::u16string& scratch);

// When the text, without its leading and trailing blanks, is one "&H" or "&O" literal: its value as
// decimal digits ("&H1F" -> "31", "&o17" -> "15"). Otherwise nothing.
// The digits are those exactNumberText gives ("&HFFFF" -> "-1"); a literal beyond 64 bits gives nothing.
std::optional<std::u16string> radixLiteralDigits(std::u16string_view text);

// True when a text that passed the numeric test has the value zero: no digit other than 0 in its
// significand (the part before an exponent), or a radix literal of zeros.
bool isZeroNumber(std::u16string_view text) noexcept;

}  // namespace quor::number_text
