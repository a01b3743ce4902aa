#pragma once
// Decimal texts for typed number fields: "12.5" in a field of two decimal places holds 1250. The value
// is read exactly, as digits; no floating point anywhere.

#include <optional>
#include <string>
#include <string_view>

#include "number_text/number_reading.hpp"

namespace quor::number_text {

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
// gives 12 with fractionCut.
std::optional<ScaledDecimal> readScaledDecimal(std::u16string_view text, int scale,
                                               const NumberSeparators& separators = localeSeparators());

// Appends the text of a number held as `digits` (ASCII, leading zeros allowed) with `scale` decimal
// places: leading zeros dropped, the point inserted, "-" for a negative value that is not zero. "01250"
// with scale 2 gives "12.50", "5" with scale 2 "0.05", "000" with scale 0 "0".
void appendScaledText(std::string_view digits, bool negative, int scale, std::u16string& out);

}  // namespace quor::number_text
