#pragma once
// The largest result one call may set up. Host fields are at most a few thousand bytes; a length far
// beyond that is taken as memory that cannot be had (error 7, or the empty result of the JEF encoder,
// which reports nothing), rather than an attempt to allocate gigabytes.

#include <cstddef>
#include <cstdint>

namespace quor::detail {

inline constexpr std::size_t kMaxResultBytes = std::size_t{1} << 26;  // 64 MiB

// The widest number field an encoder takes a text for: 65,534 nibbles of packed decimal (zoned stops at
// 32,766). Any wider zoned or packed field fails with error 6 whatever its text holds.
inline constexpr std::size_t kMaxNumberWidth = 65534;

}  // namespace quor::detail
