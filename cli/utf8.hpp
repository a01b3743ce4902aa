#pragma once
// UTF-8 to UTF-16, the hot path of reading input lines: ASCII runs are copied eight bytes at a time,
// everything else is validated strictly (no overlong forms, no surrogates, nothing above U+10FFFF).

#include <cstddef>
#include <string_view>

namespace quor::cli {

struct DecodeResult {
  std::size_t length = 0;       // UTF-16 units written
  std::size_t errorOffset = 0;  // byte offset of the first invalid sequence, when !ok
  bool ok = true;
};

// Decodes `bytes` into `out`, which must have room for bytes.size() units (UTF-16 never needs more
// units than UTF-8 has bytes). Stops at the first invalid sequence.
DecodeResult decodeUtf8(std::string_view bytes, char16_t* out) noexcept;

}  // namespace quor::cli
