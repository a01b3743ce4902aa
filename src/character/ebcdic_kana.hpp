#pragma once
// Single-byte text to host EBCDIC with katakana.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>

#include "base/decode_fault.hpp"

#include "quor/byte_string.hpp"
#include "text/padded_text.hpp"

namespace quor::character {

// Appends exactly `length` bytes to `out`: each character's code page 932 byte through the EBCDIC
// kana table, 0x4F for a double-byte character, 0x00 after the last character. Throws quor::Error,
// leaving `out` as it was: 7 for a length beyond the memory one call may take, 9 for a length below 1
// or a text with more characters than `length`.
void appendEbcdicKana(const text::PaddedText& text, std::int32_t length, ByteString& out);

// The bytes of an EBCDIC kana field before its trailing padding: blanks (0x40) and 0x00 bytes.
// Eight bytes at a time first: a byte is padding exactly when no bit but 0x40 is set.
inline std::size_t ebcdicTextEnd(std::span<const std::uint8_t> bytes) noexcept {
  std::size_t end = bytes.size();
  while (end >= 8) {
    std::uint64_t word = 0;
    std::memcpy(&word, bytes.data() + end - 8, 8);
    if ((word & ~std::uint64_t{0x4040404040404040}) != 0) break;
    end -= 8;
  }
  while (end > 0 && (bytes[end - 1] == 0x40 || bytes[end - 1] == 0x00)) --end;
  return end;
}

// Reads an EBCDIC kana field into `out`: each byte as the character code page 932 reads the single-byte
// code the table gives it. Trailing blanks (0x40) and 0x00 bytes are padding and dropped unless
// `keepPadding`. A byte whose code is no character (a lead byte's, as the substitute 0x4F) is invalid
// data: the fault names the first; with `lenient` it reads as U+FFFD and the reading goes on.
std::optional<base::DecodeFault> readEbcdicKana(std::span<const std::uint8_t> bytes, bool keepPadding, bool lenient,
                                                std::u16string& out);

}  // namespace quor::character
