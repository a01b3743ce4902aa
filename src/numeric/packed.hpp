#pragma once
// Number text to host packed decimal: two digits a byte, and with a sign a last nibble 0xC (positive)
// or 0xD (negative).

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "base/decode_fault.hpp"

#include "quor/byte_string.hpp"

namespace quor::numeric {

// Appends N = `nibbles` / 2 rounded up bytes to `out`. The text is prepared as the field expects it:
// with `sign`, every "-" (which makes the value negative) reads as 0 and a "0" is appended as the sign
// nibble's place; an odd count gets a "0" in front. Its rightmost 2N characters are packed, so an
// over-long text loses its high-order digits and the sign nibble always stays. Throws quor::Error,
// leaving `out` as it was; the first that applies: 6 for `nibbles` 2147483647, 9 for `nibbles` of 0 or
// less, 6 for more than 32767 bytes, 13 for a missing or non-digit character in the first failing
// byte, 6 at byte 16384 (a packed field holds at most 16383 bytes; the bytes before are packed
// first, so a bad character among them gives 13).
void appendPacked(std::u16string_view text, std::int32_t nibbles, bool sign, ByteString& out);

// The last nibble of a packed field of a typed layout: C or D (signed), F (unsigned, as host compilers
// write it), or none at all (the component's form without sign: digits only).
enum class PackedSign : std::uint8_t { signedCD, unsignedF, none };

// The bytes of a packed field of `digits` digits: with a sign nibble, digits / 2 + 1; without,
// digits / 2 rounded up.
std::size_t packedBytes(std::size_t digits, PackedSign sign) noexcept;

// Appends a packed field of `digitCount` digits holding `digits` (ASCII "0".."9"): their rightmost
// `digitCount`, zeros in front, then the sign nibble (D for a negative value with signedCD).
void appendPackedDigits(std::string_view digits, bool negative, std::size_t digitCount, PackedSign sign,
                        ByteString& out);

// Reads a packed field: its digits (appended to `digits`) and, with a sign nibble, its sign (C and F
// positive, D negative; an unsignedF field takes F and C only). A digit nibble above 9 or another sign
// nibble is invalid data: the fault names the byte.
std::optional<base::DecodeFault> readPackedDigits(std::span<const std::uint8_t> bytes, PackedSign sign,
                                                  std::string& digits, bool& negative);

// The digits a packed field of `nibbles` (at least 1) holds: every nibble of its bytes, but the sign
// nibble. So an even count with a sign holds one digit less than it names: 6 nibbles hold 5 digits.
std::size_t packedDigits(std::int32_t nibbles, bool sign) noexcept;

}  // namespace quor::numeric
