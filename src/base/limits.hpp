#pragma once
// The sizes every layer agrees on: the 16-bit positions of the number encoders and the most memory one
// call may take for its result.

#include <cstddef>
#include <cstdint>

namespace quor::base {

// The number encoders count positions in 16-bit signed integers.
inline constexpr std::int32_t kInt16Max = 32767;
inline constexpr std::int32_t kInt16Min = -32768;

// The widest zoned field: 32766 digits.
inline constexpr std::int32_t kMaxZonedWidth = kInt16Max - 1;
// The widest packed field that can succeed: 16383 bytes, 32766 nibbles. A field of 16384 to 32767
// bytes packs its first 16383 bytes and then overflows; a wider one overflows at once.
inline constexpr std::int32_t kMaxPackedBytes = 16383;
inline constexpr std::int32_t kMaxPackedNibbles = 2 * kMaxPackedBytes;
// The widest number field whose text an encoder still reads: a packed field of up to 65,534 nibbles
// packs its first 16383 bytes before it overflows, so its text decides between error 13 and 6. Any
// wider zoned or packed field fails with error 6 whatever its text holds.
inline constexpr std::size_t kMaxNumberTextWidth = 2 * static_cast<std::size_t>(kInt16Max);

// The largest result one call may set up: 64 MiB. A length beyond it is memory that cannot be had
// (error 7, or the empty result of the JEF encoder, which reports nothing) rather than an attempt to
// allocate gigabytes.
inline constexpr std::size_t kMaxResultBytes = std::size_t{1} << 26;

}  // namespace quor::base
