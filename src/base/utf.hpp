#pragma once
// UTF-8 and UTF-16, the two Unicode forms the library meets: UTF-16 on its interface, UTF-8 in files,
// file names and messages. The readers behind quor/text.hpp live here; this header adds the writer
// the library uses inside.

#include <cstddef>
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
// The scalar value of a surrogate pair, and the two units of a scalar value above U+FFFF.
constexpr char32_t scalarOfPair(char32_t high, char32_t low) noexcept {
  return 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00);
}
constexpr char16_t highSurrogateOf(char32_t c) noexcept {
  return static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
}
constexpr char16_t lowSurrogateOf(char32_t c) noexcept {
  return static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
}

// A character of the private use area, where sites put their user-defined characters (gaiji): the
// public rule of quor/text.hpp.
using quor::isUserDefined;

// The UTF-8 form of one scalar value `c` (U+0000..U+10FFFF, no surrogate), 1 to 4 bytes, written at
// `out`; returns the count. Every UTF-8 writer of the library writes its characters here.
inline std::size_t putUtf8(char32_t c, unsigned char* out) noexcept {
  if (c < 0x80) {
    out[0] = static_cast<unsigned char>(c);
    return 1;
  }
  if (c < 0x800) {
    out[0] = static_cast<unsigned char>(0xC0 | (c >> 6));
    out[1] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    return 2;
  }
  if (c < 0x10000) {
    out[0] = static_cast<unsigned char>(0xE0 | (c >> 12));
    out[1] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
    out[2] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    return 3;
  }
  out[0] = static_cast<unsigned char>(0xF0 | (c >> 18));
  out[1] = static_cast<unsigned char>(0x80 | ((c >> 12) & 0x3F));
  out[2] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
  out[3] = static_cast<unsigned char>(0x80 | (c & 0x3F));
  return 4;
}

// Reads the UTF-8 sequence that starts at `p` (before `end`), a byte 0x80 or above: its scalar value
// into `c`, `p` moved past it. False, `p` left where it was, for bytes that are no valid UTF-8: an
// overlong form, a surrogate, a value above U+10FFFF, a stray or missing continuation byte. Every
// UTF-8 reader of the library reads its characters beyond ASCII here.
inline bool takeUtf8(const unsigned char*& p, const unsigned char* end, char32_t& c) noexcept {
  const unsigned b0 = p[0];
  const auto continues = [&](std::ptrdiff_t k) { return (p[k] & 0xC0u) == 0x80u; };
  if (b0 - 0xE0u < 0x10u) {
    // Three bytes: kana and kanji, the bulk of Japanese text; neither an overlong form (below U+0800)
    // nor a surrogate. Both continuation bytes are tested at once.
    if (end - p < 3) return false;
    const unsigned b1 = p[1];
    const unsigned b2 = p[2];
    if (((b1 << 8 | b2) & 0xC0C0u) != 0x8080u) return false;
    const char32_t cp = ((b0 & 0x0Fu) << 12) | ((b1 & 0x3Fu) << 6) | (b2 & 0x3Fu);
    if (cp < 0x800 || cp - 0xD800u < 0x800u) return false;
    c = cp;
    p += 3;
    return true;
  }
  if (b0 < 0xC2) return false;  // a stray continuation byte, or an overlong two-byte form
  if (b0 < 0xE0) {
    if (end - p < 2 || !continues(1)) return false;
    c = ((b0 & 0x1Fu) << 6) | (p[1] & 0x3Fu);
    p += 2;
    return true;
  }
  if (b0 >= 0xF5 || end - p < 4 || !continues(1) || !continues(2) || !continues(3)) return false;
  const char32_t cp = ((b0 & 0x07u) << 18) | ((p[1] & 0x3Fu) << 12) | ((p[2] & 0x3Fu) << 6) | (p[3] & 0x3Fu);
  if (cp < 0x10000 || cp > 0x10FFFF) return false;
  c = cp;
  p += 4;
  return true;
}

// Appends the UTF-8 form of `text` to `out`; an unpaired surrogate becomes U+FFFD.
void appendUtf8(std::u16string_view text, std::string& out);

}  // namespace quor::base
