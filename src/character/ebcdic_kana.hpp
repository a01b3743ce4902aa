#pragma once
// Single-byte text to host EBCDIC with katakana.

#include <cstdint>

#include "quor/byte_string.hpp"
#include "text/padded_text.hpp"

namespace quor::character {

// Appends exactly `length` bytes to `out`: each character's code page 932 byte through the EBCDIC
// kana table, 0x4F for a double-byte character, 0x00 after the last character. Throws quor::Error,
// leaving `out` as it was: 7 for a length beyond the memory one call may take, 9 for a length below 1
// or a text with more characters than `length`.
void appendEbcdicKana(const text::PaddedText& text, std::int32_t length, ByteString& out);

}  // namespace quor::character
