#pragma once
// Single-byte text to host EBCDIC with katakana.

#include <cstdint>
#include <string_view>

#include "quor/byte_string.hpp"

namespace quor::character {

// Exactly `length` bytes: each character's code page 932 byte through the EBCDIC kana table, 0x4F for a
// double-byte character, 0x00 after the last character. Throws quor::Error 9 for a length below 1 or a
// text with more characters than `length`.
ByteString encodeEbcdicKana(std::u16string_view text, std::int32_t length);

}  // namespace quor::character
