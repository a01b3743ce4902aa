#pragma once
// The IBM host code pages' tables (tools/gen_host_tables.py from data/ibm-*/): each UTF-16 unit's code
// and each code's character. The Fujitsu page is not here: its text is EBCDIC with katakana and JEF.

#include <cstdint>

#include "quor/host_code_page.hpp"

namespace quor::character {

inline constexpr std::uint16_t kNoHostCode = 0xFFFF;

// The code of `unit` on the IBM page `page`: a single-byte code 0x00..0xFF, a double-byte code
// 0x4040..0xFEFE (first byte high), or kNoHostCode. Some codes read back as another character.
std::uint16_t ibmEncode(HostCodePage page, char16_t unit) noexcept;

// The character of a single-byte code, or of a double-byte code, on the IBM page `page`; 0xFFFF for a
// code without a character (every double-byte code on a single-byte page).
char16_t ibmDecodeSingle(HostCodePage page, std::uint8_t code) noexcept;
char16_t ibmDecodeDouble(HostCodePage page, std::uint8_t first, std::uint8_t second) noexcept;

}  // namespace quor::character
