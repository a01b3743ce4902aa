#pragma once
// Number to host binary (COMP): big-endian, two's complement when signed; and binary fields read back.
// The kernels below are the one home of the binary rules: the record builder, the decoder and both
// record plans write and read binary bytes through them.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "base/decode_fault.hpp"

#include "quor/byte_string.hpp"

namespace quor::numeric {

// The most characters readBinary writes: the 20 digits of 2^64.
inline constexpr std::size_t kBinaryDigitsRoom = 20;

// Writes a binary field of field.size() bytes (2, 4 or 8): the value of `digits` (ASCII "0".."9", at
// most 18: the caller keeps those that fit) as a big-endian integer, negated in two's complement when
// `negative` (a caller writes a negative value only to a signed field).
inline void writeBinary(std::string_view digits, bool negative, std::span<std::uint8_t> field) noexcept {
  std::uint64_t magnitude = 0;
  for (const char digit : digits) magnitude = magnitude * 10 + static_cast<unsigned>(digit - '0');
  const std::uint64_t value = negative ? ~magnitude + 1 : magnitude;
  const std::size_t n = field.size();
  for (std::size_t i = 0; i < n; ++i) field[i] = static_cast<std::uint8_t>(value >> (8 * (n - 1 - i)));
}

// Reads a binary field (2, 4 or 8 bytes): its value's digits as ASCII into `digits` (room for
// kBinaryDigitsRoom), their count into `count`, and its sign, two's complement when `isSigned`. A
// value with more digits than `digitCount` is invalid data, since no encoder writes it.
inline std::optional<base::DecodeFault> readBinary(std::span<const std::uint8_t> bytes, bool isSigned,
                                                   std::size_t digitCount, char* digits, std::size_t& count,
                                                   bool& negative) noexcept {
  std::uint64_t value = 0;
  for (const std::uint8_t byte : bytes) value = (value << 8) | byte;
  const std::size_t bits = 8 * bytes.size();
  negative = isSigned && bits > 0 && (value >> (bits - 1)) != 0;
  // The magnitude of a negative value: its two's complement within the field's bits.
  std::uint64_t magnitude = value;
  if (negative) magnitude = bits == 64 ? ~value + 1 : (std::uint64_t{1} << bits) - value;
  count = 0;
  do {
    digits[count++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  for (std::size_t i = 0; i < count / 2; ++i) {
    const char low = digits[i];
    digits[i] = digits[count - 1 - i];
    digits[count - 1 - i] = low;
  }
  if (count > digitCount && !(count == 1 && digits[0] == '0'))
    return base::DecodeFault{0, bytes.size(), "value with more digits than the field holds"};
  return std::nullopt;
}

// True when a binary field of `bytes` bytes (2, 4 or 8) holds the value of `digits` (ASCII "0".."9",
// without leading zeros) with its sign: from -2^(8 bytes - 1) to 2^(8 bytes - 1) - 1 when `isSigned`,
// from 0 to 2^(8 bytes) - 1 when not. Its full range, as COMP-5 and TRUNC(BIN) read it.
inline bool binaryHolds(std::string_view digits, bool negative, bool isSigned, std::size_t bytes) noexcept {
  if (digits.size() > kBinaryDigitsRoom) return false;
  std::uint64_t magnitude = 0;
  for (const char digit : digits) {
    const auto d = static_cast<unsigned>(digit - '0');
    if (magnitude > (UINT64_MAX - d) / 10) return false;
    magnitude = magnitude * 10 + d;
  }
  const unsigned bits = static_cast<unsigned>(8 * bytes);
  if (!isSigned) return !negative || magnitude == 0 ? bits == 64 || magnitude >> bits == 0 : false;
  const std::uint64_t limit = std::uint64_t{1} << (bits - 1);  // the largest negative magnitude
  return negative ? magnitude <= limit : magnitude < limit;
}

// The bytes a binary field of `digits` digits takes, as host compilers size it: 2 for 1-4 digits, 4 for
// 5-9, 8 for 10-18.
std::size_t binaryBytes(std::size_t digits) noexcept;

// Appends a binary field of `digitCount` digits (at most 18) holding `digits` (ASCII "0".."9"): their
// rightmost `digitCount` as a big-endian integer of binaryBytes(digitCount) bytes, negated in two's
// complement when `negative` (a caller writes a negative value only to a signed field).
void appendBinaryDigits(std::string_view digits, bool negative, std::size_t digitCount, ByteString& out);

}  // namespace quor::numeric
