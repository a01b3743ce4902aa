#include "text/fullwidth.hpp"

#include <array>
#include <cstddef>

namespace quor::text {
namespace {

constexpr char16_t kHalfFirst = 0xFF61;  // half-width ideographic full stop
constexpr char16_t kHalfLast = 0xFF9F;   // half-width semi-voiced sound mark
constexpr char16_t kHalfVoiced = 0xFF9E;
constexpr char16_t kHalfSemiVoiced = 0xFF9F;

// Full-width forms of U+FF61..U+FF9F, in order (the Unicode half-width/full-width correspondence).
constexpr std::array<char16_t, kHalfLast - kHalfFirst + 1> kKanaFullWidth = {
    0x3002, 0x300C, 0x300D, 0x3001, 0x30FB, 0x30F2, 0x30A1, 0x30A3,  // FF61..FF68
    0x30A5, 0x30A7, 0x30A9, 0x30E3, 0x30E5, 0x30E7, 0x30C3, 0x30FC,  // FF69..FF70
    0x30A2, 0x30A4, 0x30A6, 0x30A8, 0x30AA, 0x30AB, 0x30AD, 0x30AF,  // FF71..FF78
    0x30B1, 0x30B3, 0x30B5, 0x30B7, 0x30B9, 0x30BB, 0x30BD, 0x30BF,  // FF79..FF80
    0x30C1, 0x30C4, 0x30C6, 0x30C8, 0x30CA, 0x30CB, 0x30CC, 0x30CD,  // FF81..FF88
    0x30CE, 0x30CF, 0x30D2, 0x30D5, 0x30D8, 0x30DB, 0x30DE, 0x30DF,  // FF89..FF90
    0x30E0, 0x30E1, 0x30E2, 0x30E4, 0x30E6, 0x30E8, 0x30E9, 0x30EA,  // FF91..FF98
    0x30EB, 0x30EC, 0x30ED, 0x30EF, 0x30F3, 0x309B, 0x309C,          // FF99..FF9F
};

// The precomposed katakana of a half-width katakana and a half-width sound mark, or 0 when there is
// none: KA..TO (U+FF76..U+FF84) and HA..HO (U+FF8A..U+FF8E) take the voiced mark, their voiced
// full-width form being the plain form + 1; HA..HO take the semi-voiced mark, + 2; U (U+FF73) with the
// voiced mark is VU, U+30F4. WA and WO with the voiced mark (U+30F7, U+30FA) are deliberately not
// composed: code page 932 has no code for them, so a composed character would reach the host as the
// substitute "?", while the two-character form (U+30EF U+309B, U+30F2 U+309B) stays encodable.
constexpr char16_t compose(char16_t half, char16_t mark) noexcept {
  const char16_t full = kKanaFullWidth[static_cast<std::size_t>(half - kHalfFirst)];
  const bool haToHo = half >= 0xFF8A && half <= 0xFF8E;
  if (mark == kHalfVoiced) {
    if (half == 0xFF73) return 0x30F4;
    if ((half >= 0xFF76 && half <= 0xFF84) || haToHo) return static_cast<char16_t>(full + 1);
  } else if (mark == kHalfSemiVoiced && haToHo) {
    return static_cast<char16_t>(full + 2);
  }
  return 0;
}

constexpr bool isHalfWidthKana(char16_t c) noexcept {
  return c >= kHalfFirst && c <= kHalfLast;
}

}  // namespace

std::u16string toFullWidth(std::u16string_view text) {
  std::u16string out;
  appendFullWidth(text, out);
  return out;
}

void appendFullWidth(std::u16string_view text, std::u16string& out) {
  out.reserve(out.size() + text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == u' ') {
      out += u'\u3000';
    } else if (c >= 0x21 && c <= 0x7E) {
      out += static_cast<char16_t>(c - 0x21 + 0xFF01);
    } else if (isHalfWidthKana(c)) {
      const char16_t joined = i + 1 < text.size() ? compose(c, text[i + 1]) : char16_t{0};
      if (joined != 0) {
        out += joined;
        ++i;
      } else {
        out += kKanaFullWidth[static_cast<std::size_t>(c - kHalfFirst)];
      }
    } else {
      out += c;
    }
  }
}

}  // namespace quor::text
