#pragma once
// Double-byte text to JEF, the host's two-byte kanji code.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "base/decode_fault.hpp"

#include "quor/byte_string.hpp"
#include "quor/gaiji_mapping.hpp"
#include "text/padded_text.hpp"

namespace quor::character {

// The bytes a JEF field of `length` characters takes: 2 x `length`, or 0 when the output cannot be set
// up (a length below 1, or beyond the memory one call may take). Such a field is the empty result.
std::size_t jefFieldBytes(std::int32_t length) noexcept;

// A character the mapping does not list whose bytes are no JEF code (a JEF code has both bytes in
// A1..FE): a user-defined character without a mapping line, an extension character beyond JIS.
struct JefStray {
  bool found = false;
  char16_t character = 0;
  std::uint8_t first = 0;
  std::uint8_t second = 0;
};

// Appends jefFieldBytes(`length`) bytes to `out`: each of the first `length` characters as its JEF
// code from `mapping`, or as its JIS code + 0x80 per byte when the mapping does not list it; 0x00
// after the last character. Characters beyond the field are cut. When `stray` is not null it receives
// the first character written whose bytes are no JEF code. Reports no error (only quor::Error 7 when
// memory runs out, leaving `out` as it was).
void appendJef(const text::PaddedText& text, std::int32_t length, const GaijiMapping& mapping, ByteString& out,
               JefStray* stray = nullptr);

struct GaijiIndex;

// The JEF pair of one character: its code from the mapping's `index`, or its JIS code + 0x80 per byte.
// When `stray` is not null and has no character yet, it receives `c` if its bytes are no JEF code.
void putJefPair(char16_t c, const GaijiIndex& index, std::uint8_t* pair, JefStray* stray) noexcept;

// The character of one JEF pair, read through `index` (made with its JEF order), or with `reason` set
// when the pair is invalid data (the character, or 0xFFFF, is still returned for a lenient reading).
char16_t readJefPair(std::uint8_t first, std::uint8_t second, const GaijiIndex& index, const char*& reason) noexcept;

// The bytes of a JEF field before its trailing padding pairs, ideographic spaces (A1 A1) and 00 00:
// an even count (an odd last byte is no pair and is left out).
inline std::size_t jefTextEnd(std::span<const std::uint8_t> bytes) noexcept {
  std::size_t end = bytes.size() - bytes.size() % 2;
  while (end >= 2 && ((bytes[end - 2] == 0xA1 && bytes[end - 1] == 0xA1) || (bytes[end - 2] == 0 && bytes[end - 1] == 0)))
    end -= 2;
  return end;
}

// Reads a JEF field into `out`, two bytes a character: a code the mapping gives a character (read
// backwards: its key is the JIS code of a code page 932 character) as that character, any other code
// as the JIS code 0x80 below it. Trailing ideographic spaces (A1 A1) and 00 00 pairs are padding and
// dropped unless `keepPadding`. Bytes that are no JEF code, a code without a character, and a code
// whose character the encoder writes as another code (so it would not come back) are invalid data: the
// fault names the first pair; with `lenient` it reads as its character, or U+FFFD, and the reading goes
// on.
std::optional<base::DecodeFault> readJef(std::span<const std::uint8_t> bytes, const GaijiMapping& mapping,
                                         bool keepPadding, bool lenient, std::u16string& out);

}  // namespace quor::character
