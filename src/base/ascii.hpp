#pragma once
// The ASCII characters number texts and mapping files are written with.

namespace quor::base {

constexpr bool isDigit(char32_t c) noexcept {
  return c >= u'0' && c <= u'9';
}

// The value of a hexadecimal digit of either case, or -1 for any other character.
constexpr int hexDigitValue(char32_t c) noexcept {
  if (c >= u'0' && c <= u'9') return static_cast<int>(c - u'0');
  if (c >= u'A' && c <= u'F') return static_cast<int>(c - u'A') + 10;
  if (c >= u'a' && c <= u'f') return static_cast<int>(c - u'a') + 10;
  return -1;
}

}  // namespace quor::base
