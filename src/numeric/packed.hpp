#pragma once
// Number text to host packed decimal: two digits a byte, and with a sign a last nibble 0xC (positive)
// or 0xD (negative); and packed fields read back. The kernels below are the one home of the packed
// rules: the component's encoder, the record builder, the decoder and both record plans write and
// read packed bytes through them.

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string_view>

#include "base/ascii.hpp"
#include "base/decode_fault.hpp"

#include "quor/byte_string.hpp"

namespace quor::numeric {

// The last nibble of a packed field: C or D (signed), F (unsigned, as host compilers write a typed
// field without sign), or none at all (the component's form without sign: digits only).
enum class PackedSign : std::uint8_t { signedCD, unsignedF, none };

inline constexpr unsigned kSignPositive = 0xC;
inline constexpr unsigned kSignNegative = 0xD;
inline constexpr unsigned kSignUnsigned = 0xF;

// Packs `pairs` pairs of ASCII digits (checked by the caller) at `digits` into one byte each at `out`,
// the first digit of a pair in the high nibble: four pairs at a time.
inline void packDigitPairs(const char* digits, std::size_t pairs, std::uint8_t* out) noexcept {
  std::size_t i = 0;
  if constexpr (std::endian::native == std::endian::little) {
    for (; i + 4 <= pairs; i += 4) {
      // Byte k of the word is digit k; each even byte takes its odd neighbour as its low nibble, and
      // the even bytes are gathered into the low four.
      const std::uint64_t values = base::loadWord<std::uint64_t>(digits + 2 * i) & 0x0F0F0F0F0F0F0F0Full;
      std::uint64_t packed = ((values << 4) | (values >> 8)) & 0x00FF00FF00FF00FFull;
      packed = (packed | (packed >> 8)) & 0x0000FFFF0000FFFFull;
      const auto four = static_cast<std::uint32_t>(packed | (packed >> 16));
      std::memcpy(out + i, &four, 4);
    }
  }
  for (; i < pairs; ++i)
    out[i] = static_cast<std::uint8_t>((digits[2 * i] - '0') << 4 | (digits[2 * i + 1] - '0'));
}

// Writes a packed field of field.size() bytes: `count` digits at `digits` right-aligned in the digit
// nibbles (at most as many as the field holds: the caller keeps those that fit), zeros in front, then
// the sign nibble `sign` gives (D for a negative value with signedCD). Bytes are ASCII digits checked by
// the caller; of UTF-16 units, one that is no digit is written as 0, as the component's text holds a
// "-" where it reads 0.
template <class Char>
inline void writePacked(const Char* digits, std::size_t count, bool negative, PackedSign sign,
                        std::span<std::uint8_t> field) noexcept {
  const auto digitAt = [&](std::size_t k) -> unsigned {
    const unsigned digit = static_cast<unsigned>(digits[k]) - unsigned{'0'};
    return digit <= 9 ? digit : 0;
  };
  std::uint8_t* const out = field.data();
  std::size_t at = field.size();
  std::size_t left = count;
  if (at == 0) return;
  // From the right: the sign nibble beside the last digit, then two digits a byte, then zeros.
  if (sign != PackedSign::none) {
    const unsigned nibble = sign == PackedSign::unsignedF ? kSignUnsigned : negative ? kSignNegative : kSignPositive;
    const unsigned last = left > 0 ? digitAt(--left) : 0;
    out[--at] = static_cast<std::uint8_t>(last << 4 | nibble);
  }
  const std::size_t pairs = std::min(at, left / 2);
  if constexpr (sizeof(Char) == 1) {
    packDigitPairs(digits + left - 2 * pairs, pairs, out + at - pairs);
    at -= pairs;
    left -= 2 * pairs;
  } else {
    for (const std::size_t stop = at - pairs; at > stop; left -= 2) {
      const unsigned low = digitAt(left - 1);
      out[--at] = static_cast<std::uint8_t>(digitAt(left - 2) << 4 | low);
    }
  }
  if (at > 0 && left == 1) out[--at] = static_cast<std::uint8_t>(digitAt(0));
  if (at > 0) std::memset(out, 0, at);
}

// Reads a packed field: its digits as ASCII into `digits`, which has room for 2 * bytes.size(), their
// count into `count`, and, with a sign nibble, its sign (C and F positive, D negative; an unsignedF
// field takes F and C only). A digit nibble above 9 or another sign nibble is invalid data: the fault
// names the byte.
inline std::optional<base::DecodeFault> readPacked(std::span<const std::uint8_t> bytes, PackedSign sign, char* digits,
                                                   std::size_t& count, bool& negative) noexcept {
  negative = false;
  count = 0;
  const std::size_t n = bytes.size();
  if (n == 0) return std::nullopt;
  // Two digit nibbles a byte; with a sign nibble, the last byte holds one digit and the sign.
  const std::size_t pairs = sign == PackedSign::none ? n : n - 1;
  for (std::size_t i = 0; i < pairs; ++i) {
    const unsigned high = bytes[i] >> 4;
    const unsigned low = bytes[i] & 0x0Fu;
    if (high > 9 || low > 9) return base::DecodeFault{i, 1, "digit nibble above 9"};
    digits[count] = static_cast<char>('0' + high);
    digits[count + 1] = static_cast<char>('0' + low);
    count += 2;
  }
  if (sign == PackedSign::none) return std::nullopt;
  const unsigned high = bytes[n - 1] >> 4;
  const unsigned nibble = bytes[n - 1] & 0x0Fu;
  if (high > 9) return base::DecodeFault{n - 1, 1, "digit nibble above 9"};
  digits[count++] = static_cast<char>('0' + high);
  if (nibble == kSignNegative && sign == PackedSign::signedCD)
    negative = true;
  else if (nibble != kSignPositive && nibble != kSignUnsigned)
    return base::DecodeFault{n - 1, 1,
                             sign == PackedSign::signedCD ? "sign nibble other than C, D or F"
                                                          : "sign nibble other than F or C in an unsigned field"};
  return std::nullopt;
}

// Appends N = `nibbles` / 2 rounded up bytes to `out`: the component's packed encoder. The text is
// prepared as the field expects it: with `sign`, every "-" (which makes the value negative) reads as 0
// and a "0" is appended as the sign nibble's place; an odd count gets a "0" in front. Its rightmost 2N
// characters are packed, so an over-long text loses its high-order digits and the sign nibble always
// stays. Throws quor::Error, leaving `out` as it was; the first that applies: 6 for `nibbles`
// 2147483647, 9 for `nibbles` of 0 or less, 6 for more than 32767 bytes, 13 for a missing or non-digit
// character in the first failing byte, 6 at byte 16384 (a packed field holds at most 16383 bytes; the
// bytes before are packed first, so a bad character among them gives 13).
void appendPacked(std::u16string_view text, std::int32_t nibbles, bool sign, ByteString& out);

// The bytes of a packed field of `digits` digits: with a sign nibble, digits / 2 + 1; without,
// digits / 2 rounded up.
std::size_t packedBytes(std::size_t digits, PackedSign sign) noexcept;

// Appends a packed field of `digitCount` digits holding `digits` (ASCII "0".."9"): their rightmost
// `digitCount`, zeros in front, then the sign nibble (D for a negative value with signedCD).
void appendPackedDigits(std::string_view digits, bool negative, std::size_t digitCount, PackedSign sign,
                        ByteString& out);

// The digits a packed field of `nibbles` (at least 1) holds: every nibble of its bytes, but the sign
// nibble. So an even count with a sign holds one digit less than it names: 6 nibbles hold 5 digits.
std::size_t packedDigits(std::int32_t nibbles, bool sign) noexcept;

}  // namespace quor::numeric
