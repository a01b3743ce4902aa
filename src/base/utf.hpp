#pragma once
// UTF-8 and UTF-16, the two Unicode forms the library meets: UTF-16 on its interface, UTF-8 in files,
// file names and messages. The readers behind quor/text.hpp live here; this header adds the writer
// the library uses inside.

#include <string>
#include <string_view>

#include "quor/text.hpp"

namespace quor::base {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

constexpr bool isHighSurrogate(char32_t c) noexcept {
  return c >= 0xD800 && c <= 0xDBFF;
}
constexpr bool isLowSurrogate(char32_t c) noexcept {
  return c >= 0xDC00 && c <= 0xDFFF;
}
// A character of the private use area, where sites put their user-defined characters (gaiji): the
// public rule of quor/text.hpp.
using quor::isUserDefined;

// Appends the UTF-8 form of `text` to `out`; an unpaired surrogate becomes U+FFFD.
void appendUtf8(std::u16string_view text, std::string& out);

}  // namespace quor::base
