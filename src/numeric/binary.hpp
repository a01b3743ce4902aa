#pragma once
// Number to host binary (COMP): big-endian, two's complement when signed.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "base/decode_fault.hpp"

#include "quor/byte_string.hpp"

namespace quor::numeric {

// The bytes a binary field of `digits` digits takes, as host compilers size it: 2 for 1-4 digits, 4 for
// 5-9, 8 for 10-18.
std::size_t binaryBytes(std::size_t digits) noexcept;

// Appends a binary field of `digitCount` digits (at most 18) holding `digits` (ASCII "0".."9"): their
// rightmost `digitCount` as a big-endian integer of binaryBytes(digitCount) bytes, negated in two's
// complement when `negative` (a caller writes a negative value only to a signed field).
void appendBinaryDigits(std::string_view digits, bool negative, std::size_t digitCount, ByteString& out);

// Reads a binary field (2, 4 or 8 bytes): its value's digits (appended to `digits`) and sign, two's
// complement when `isSigned`. A value with more digits than `digitCount` is invalid data, since no
// encoder writes it.
std::optional<base::DecodeFault> readBinaryDigits(std::span<const std::uint8_t> bytes, bool isSigned,
                                                  std::size_t digitCount, std::string& digits, bool& negative);

}  // namespace quor::numeric
