#pragma once
// Decimal texts for typed number fields: "12.5" in a field of two decimal places holds 1250. The value
// is read exactly, as digits; no floating point anywhere. The kernels here are the one home of a scaled
// number's digits and of its text: the record builder and the encode plan scale with scaledDigits,
// the decoder and the decode plan write with writeScaledText.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "number_text/number_reading.hpp"
#include "number_text/number_scan.hpp"

namespace quor::number_text {

// The digits of the decimal number `parts` (read without an exponent) as a field of `scale` decimal
// places holds it, its value times 10^scale: ASCII at `out`, which has room for parts.integer.size() +
// max(scale, 0), without leading zeros (none for zero); returns their count. A scale below 0 is decimal
// scaling: the field holds the digits above its lowest place ("123000" with scale -3 gives 123).
// `fractionCut` tells whether digits other than 0 below the field's lowest place were dropped.
template <class Char>
std::size_t scaledDigits(const NumberParts<Char>& parts, int scale, char* out, bool& fractionCut) noexcept {
  const std::size_t places = scale > 0 ? static_cast<std::size_t>(scale) : 0;
  std::size_t count = 0;
  const auto put = [&](char c) {
    if (count > 0 || c != '0') out[count++] = c;
  };
  for (const Char c : parts.integer)
    if (detail::isDigitUnit(c)) put(static_cast<char>(c));
  const std::size_t kept = places < parts.fraction.size() ? places : parts.fraction.size();
  for (std::size_t i = 0; i < kept; ++i) put(static_cast<char>(parts.fraction[i]));
  for (std::size_t i = kept; i < places; ++i) put('0');
  fractionCut = false;
  for (std::size_t i = kept; i < parts.fraction.size() && !fractionCut; ++i) fractionCut = parts.fraction[i] != Char('0');
  if (scale < 0) {
    const auto below = static_cast<std::size_t>(-static_cast<std::int64_t>(scale));
    const std::size_t dropped = below < count ? below : count;
    for (std::size_t i = count - dropped; i < count && !fractionCut; ++i) fractionCut = out[i] != '0';
    count -= dropped;
  }
  return count;
}

// The most characters writeScaledText writes for `count` digits and `scale` decimal places: a sign,
// "0." and the digits with the zeros after the point, or the zeros of decimal scaling after them.
constexpr std::size_t scaledTextRoom(std::size_t count, int scale) noexcept {
  return count + 3 + (scale > 0 ? static_cast<std::size_t>(scale) : static_cast<std::size_t>(-static_cast<std::int64_t>(scale)));
}

// Copies `part` to `out` and returns its end: for the few bytes of a number, two overlapping words (or
// halves) rather than a call, nothing written outside the part's room.
inline char* copyDigits(std::string_view part, char* out) noexcept {
  const char* const from = part.data();
  const std::size_t n = part.size();
  if (n >= 8 && n <= 16) {
    std::memcpy(out, from, 8);
    std::memcpy(out + n - 8, from + n - 8, 8);
  } else if (n >= 4 && n < 8) {
    std::memcpy(out, from, 4);
    std::memcpy(out + n - 4, from + n - 4, 4);
  } else if (n > 16) {
    std::memcpy(out, from, n);
  } else {
    for (std::size_t i = 0; i < n; ++i) out[i] = from[i];
  }
  return out + n;
}

// Writes the text of a number held as `digits` (ASCII, leading zeros allowed) with `scale` decimal
// places at `out` (room for scaledTextRoom), as bytes or UTF-16 units, and returns its end: leading
// zeros dropped, the point inserted, "-" for a negative value that is not zero. "01250" with 2 places
// gives "12.50", "5" with 2 places "0.05", "000" with none "0". A scale below 0 puts as many zeros
// after the digits of a value that is not zero ("123" with scale -3 gives "123000").
template <class Char>
Char* writeScaledText(std::string_view digits, bool negative, int scale, Char* out) noexcept {
  const std::size_t places = scale > 0 ? static_cast<std::size_t>(scale) : 0;
  std::size_t first = 0;
  while (first < digits.size() && digits[first] == '0') ++first;
  const std::string_view significant = digits.substr(first);
  if (negative && !significant.empty()) *out++ = Char('-');
  const auto copy = [&](std::string_view part) {
    if constexpr (sizeof(Char) == 1) {
      out = copyDigits(part, out);
    } else {
      for (const char c : part) *out++ = static_cast<Char>(c);
    }
  };
  if (significant.size() <= places) {
    *out++ = Char('0');
    if (places > 0) {
      *out++ = Char('.');
      for (std::size_t i = significant.size(); i < places; ++i) *out++ = Char('0');
      copy(significant);
    }
    return out;
  }
  const std::size_t integer = significant.size() - places;
  copy(significant.substr(0, integer));
  if (places > 0) {
    *out++ = Char('.');
    copy(significant.substr(integer));
  }
  if (scale < 0 && !significant.empty())
    for (auto zeros = -static_cast<std::int64_t>(scale); zeros > 0; --zeros) *out++ = Char('0');
  return out;
}

// A number as a field of `scale` decimal places holds it: the value times 10^scale.
struct ScaledDecimal {
  bool negative = false;    // never set for zero
  std::string digits;       // ASCII digits without leading zeros; empty for zero
  bool fractionCut = false;  // the text had non-zero digits beyond the scale, which are dropped
};

// Reads `text` as a plain decimal number: blanks around it, one sign in front or behind, digits with
// the locale's thousands separators between digits of the integer part, at most one decimal separator.
// No exponent, no "&H" literal. Nothing when the text is no such number (the empty text included).
// "12.5" with scale 2 gives 1250; "-0.50" gives 50, negative; "1,234" gives 1234; "0.125" with scale 2
// gives 12 with fractionCut. A scale below 0 is decimal scaling: "123000" with scale -3 gives 123, and
// "123456" 123 with fractionCut (digits below the field's lowest place are dropped).
std::optional<ScaledDecimal> readScaledDecimal(std::u16string_view text, int scale,
                                               const NumberSeparators& separators = localeSeparators());

// Appends the text writeScaledText writes.
void appendScaledText(std::string_view digits, bool negative, int scale, std::u16string& out);

// A number with an exponent, as floating-point fields take it: digits x 10^exponent.
struct DecimalText {
  bool negative = false;      // also for zero: "-0" is a negative zero
  std::string digits;         // ASCII digits without leading zeros; empty for zero
  std::int64_t exponent = 0;  // of the last digit, held within +-2^62 (a larger one is out of any range anyway)
};

// The number `parts` holds (read with or without an exponent) as digits and an exponent.
template <class Char>
DecimalText decimalTextOf(const NumberParts<Char>& parts) {
  DecimalText number;
  number.negative = parts.negative;
  for (const Char c : parts.integer)
    if (detail::isDigitUnit(c) && (!number.digits.empty() || c != Char('0'))) number.digits += static_cast<char>(c);
  for (const Char c : parts.fraction)
    if (!number.digits.empty() || c != Char('0')) number.digits += static_cast<char>(c);
  // The exponent, held at +-2^62 so the sums below cannot wrap.
  constexpr std::int64_t kHeld = std::int64_t{1} << 62;
  std::int64_t exponent = 0;
  for (const Char c : parts.exponent) exponent = exponent >= kHeld / 10 ? kHeld : exponent * 10 + (c - Char('0'));
  if (parts.exponentNegative) exponent = -exponent;
  // The last digit's place: the digits after the point count down from the exponent.
  const auto places = static_cast<std::int64_t>(std::min<std::uint64_t>(parts.fraction.size(), std::uint64_t{1} << 40));
  number.exponent = number.digits.empty() ? 0 : exponent - places;
  return number;
}

// Reads `text` as a decimal number that may have an exponent ("1.5E-3", "-2", "1,234.5e2"): the grammar
// of scanNumberParts without "&H" literals. Nothing when the text is no such number.
std::optional<DecimalText> readDecimalText(std::u16string_view text,
                                           const NumberSeparators& separators = localeSeparators());

}  // namespace quor::number_text
