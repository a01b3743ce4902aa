#pragma once
// Number text to host zoned decimal: one byte per digit, zone 0xF, a negative value marked by zone 0xD
// in the last byte.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "base/decode_fault.hpp"

#include "quor/byte_string.hpp"

namespace quor::numeric {

// Appends exactly `width` bytes to `out`. The value is negative when the text holds a "-" anywhere and
// `sign` is set; every "-" then reads as the digit 0. The digits are right-aligned, padded with 0 on
// the left, and a longer text loses its leading characters. Throws quor::Error, leaving `out` as it
// was; the first that applies: 6 for a width outside -32768..32767 or a text of 32767 characters or
// more, 6 for the width 32767, 5 for a negative width, 9 for the width 0, 13 for a character in the
// field that is not "0".."9".
void appendZoned(std::u16string_view text, std::int32_t width, bool sign, ByteString& out);

// Appends a zoned field of `width` bytes holding `digits` (ASCII "0".."9"): their rightmost `width`,
// zeros in front, zone F in every byte but the last of a negative value, which has zone D.
void appendZonedDigits(std::string_view digits, bool negative, std::size_t width, ByteString& out);

// Reads a zoned field: its digits (the low nibbles, appended to `digits`) and its sign (the last
// byte's zone: F and C positive, D negative where `isSigned`). A digit nibble above 9, a zone other
// than F before the last byte, or another zone in the last byte is invalid data: the fault names the
// byte. An empty field reads as zero.
std::optional<base::DecodeFault> readZonedDigits(std::span<const std::uint8_t> bytes, bool isSigned,
                                                 std::string& digits, bool& negative);

}  // namespace quor::numeric
