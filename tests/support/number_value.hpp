#pragma once
// The component's numeric value of a text as a 64-bit floating-point number, and the 15-digit text of
// such a value: the reading the record builder's exact decimal text replaces. The tests and fuzz
// targets keep them as a reference: where the floating-point reading is exact, the exact text must
// agree with it.

#include <string>
#include <string_view>

namespace quor::number_text {

// The value of the leading part of the text that forms a number, never failing: blanks, tabs and line
// feeds removed first, then an optional sign, digits with at most one ".", an optional exponent ("E"
// or "D", sign, digits), or an "&H" / "&O" literal. No leading number gives 0. Locale-independent.
// Correctly rounded. A value beyond the double range gives the largest finite double with its sign;
// a literal beyond 32 bits gives its unsigned value.
double numericValue(std::u16string_view text);

// A value as text with at most 15 significant digits: "123", "12.5", "-0.0001", "0"; exponent form
// with at least two exponent digits when the decimal exponent is 15 or more or -5 or less
// ("1E+15", "1.5E-05", "1.23456789012346E+19").
std::u16string numberText(double value);

}  // namespace quor::number_text
