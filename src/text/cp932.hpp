#pragma once
// Code page 932 (Windows Shift-JIS), as Windows converts with its default flags, compiled in from
// Microsoft's published best-fit table (data/cp932; tools/gen_cp932_tables.py writes the tables).

#include <cstdint>
#include <string>
#include <string_view>

namespace quor::text::cp932 {

// The code page 932 code of one UTF-16 unit: a single-byte code 0x00..0xFF or a double-byte code
// with the lead byte high. A unit without a code page 932 form (a surrogate included) gives the
// substitute 0x3F ("?"), a single byte.
std::uint16_t encode(char16_t unit) noexcept;

// 1 for a single-byte code, 2 for a double-byte code. ASCII and the half-width katakana, the bulk of
// single-byte fields, are answered without the table (the table test holds them to the same answer).
inline int byteLength(char16_t unit) noexcept {
  if (unit < 0x80 || (unit >= 0xFF61 && unit <= 0xFF9F)) return 1;
  return encode(unit) > 0xFF ? 2 : 1;
}

// The Unicode character code page 932 gives for a single-byte code (lead bytes give nothing), or for
// a double-byte code; 0xFFFF when the code is not a valid character.
char16_t decodeSingle(std::uint8_t code) noexcept;
char16_t decodeDouble(std::uint8_t lead, std::uint8_t trail) noexcept;
// True when `byte` is the lead byte of a double-byte code.
bool isLeadByte(std::uint8_t byte) noexcept;
// True when `byte` can follow a lead byte as the second byte of a double-byte code. CR and LF never
// can, so line ends are found in the bytes alone.
constexpr bool isTrailByte(std::uint8_t byte) noexcept {
  return byte >= 0x40 && byte <= 0xFC;
}

// The Unicode character Windows gives for a code without a character: a double-byte code outside the
// table, or a lead byte without a valid trail byte after it.
inline constexpr char16_t kUndefinedChar = 0x30FB;

// The character code page 932 writes for `unit`, as read back: the unit itself when it has a form of
// its own, otherwise the look-alike its best fit gives ("e" for U+00E9, U+FFE0 for U+00A2) or "?" for
// a unit without any form (U+301C, a surrogate).
char16_t writtenAs(char16_t unit) noexcept;
// The character code page 932 reads from `code` (one byte, or a lead byte and its trail byte as one
// number): writtenAs(unit) is characterOf(encode(unit)).
char16_t characterOf(std::uint16_t code) noexcept;

// True when code page 932 writes `unit` as another character.
inline bool lacksExactForm(char16_t unit) noexcept {
  return unit >= 0x80 && writtenAs(unit) != unit;
}

// The form Windows gives a character that the host pages read in its JIS form: U+FF5E for U+301C (wave
// dash), U+2225 for U+2016 (double vertical line), U+FF0D for U+2212 (minus), U+FFE0, U+FFE1, U+FFE2 for
// U+00A2, U+00A3, U+00AC (cent, pound, not); any other unit as it is. Code page 932 writes the Windows
// forms exactly and the JIS forms as "?" or a look-alike, so text read from a host goes out in them.
constexpr char16_t windowsForm(char16_t unit) noexcept {
  switch (unit) {
    case u'\u301C':
      return u'\uFF5E';
    case u'\u2016':
      return u'\u2225';
    case u'\u2212':
      return u'\uFF0D';
    case u'\u00A2':
      return u'\uFFE0';
    case u'\u00A3':
      return u'\uFFE1';
    case u'\u00AC':
      return u'\uFFE2';
    default:
      return unit;
  }
}

// A code page 932 byte sequence as UTF-16, as Windows reads it. A lead byte followed by a byte in the
// trail range (0x40..0xFC, never CR or LF) forms one character, kUndefinedChar when the pair has none;
// a lead byte followed by anything else, or standing last, gives kUndefinedChar alone.
std::u16string decodeText(std::string_view bytes);

}  // namespace quor::text::cp932
