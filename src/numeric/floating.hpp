#pragma once
// Decimal numbers to host floating point and back, exactly: COMP-1 (4 bytes) and COMP-2 (8 bytes), as
// IBM hexadecimal floating point (the host's own) or IEEE 754 binary, both big-endian.
// - IBM hexadecimal: a sign bit, a 7-bit exponent of 16 biased by 64, and a fraction of 6 (4 bytes) or
//   14 (8 bytes) hexadecimal digits, normalized (its first hex digit not 0): 0.F x 16^(E-64). Largest
//   7.2370051E+75 (4 bytes) and 7.237005577332262E+75 (8 bytes), smallest 5.397605E-79.
// - IEEE 754: binary32 and binary64, subnormal numbers included.
// A decimal text is rounded to the nearest value the format holds, ties to even, from its decimal digits
// (never through another binary format); reading writes the shortest decimal text that writes back to
// the same bytes.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "base/decode_fault.hpp"

namespace quor::numeric {

enum class FloatEncoding : std::uint8_t { hexadecimal, ieee };

// A decimal number: digits x 10^exponent.
struct DecimalNumber {
  std::string_view digits;    // ASCII, without leading zeros; empty for zero
  std::int64_t exponent = 0;  // of the last digit
  bool negative = false;      // also for zero: -0 is written as a negative zero
};

enum class FloatFit : std::uint8_t {
  fits,       // written: the nearest value
  tooLarge,   // beyond the largest value of the format
  tooSmall,   // not zero, but nearer to zero than to the smallest value of the format
};

// Writes the value of the format nearest to `number` into `field` (4 or 8 bytes), ties to even. Writes
// nothing when it does not fit.
FloatFit writeFloat(const DecimalNumber& number, FloatEncoding encoding, std::span<std::uint8_t> field);

// Reads a float field (4 or 8 bytes): appends to `text` the shortest decimal text that writeFloat writes
// back to the same bytes ("-0" for a negative zero; plain notation from 1E-7 to below 1E+21, else
// "1.5E+75"). Hexadecimal fields whose fraction is not normalized read as their value (a zero fraction
// as zero of its sign), which then writes back normalized; one whose value lies below the smallest
// normalized value has no such form and is a fault, as are IEEE infinities and NaNs, no number.
std::optional<base::DecodeFault> readFloat(std::span<const std::uint8_t> bytes, FloatEncoding encoding,
                                           std::string& text);

// The most characters readFloat appends.
inline constexpr std::size_t kFloatTextRoom = 48;

namespace detail {

// The rounding at the heart of writeFloat, for any binary format, exposed for tests: the value of
// `digits` x 10^exponent (digits without leading zeros, not empty, at most 800 of them) as
// fraction x 2^power rounded to `bits` bits, ties to even, with the power a multiple of `step` (1 for a
// binary format, 4 for a hexadecimal one) and not below `lowest` (where subnormal numbers begin), the
// fraction then below 2^bits. Used with bits 53, step 1 it gives what std::from_chars gives a double.
struct Rounded {
  std::uint64_t fraction = 0;
  std::int64_t power = 0;
};
Rounded roundDecimal(std::string_view digits, std::int64_t exponent, unsigned bits, unsigned step, std::int64_t lowest);

// The text readFloat writes of a hexadecimal field's value: -1 to the `negative`, fraction x 2^power,
// the fraction normalized (`bits` of it, 24 or 56). With `shortWay` the value's digits down to a few past
// the twentieth in 128-bit arithmetic where they fit, and the whole exact expansions where those cannot
// tell; without it, the whole expansions alone. Exposed for tests, which hold the two ways to each other.
void appendShortestHexadecimal(bool negative, std::uint64_t fraction, std::int64_t power, unsigned bits,
                               std::string& out, bool shortWay);

}  // namespace detail

}  // namespace quor::numeric
