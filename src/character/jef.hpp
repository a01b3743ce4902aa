#pragma once
// Double-byte text to JEF, the host's two-byte kanji code.

#include <cstdint>
#include <string_view>

#include "quor/byte_string.hpp"
#include "quor/gaiji_mapping.hpp"

namespace quor::character {

// 2 x `length` bytes: each of the first `length` characters as its JEF code from `mapping`, or as its
// JIS code + 0x80 per byte when the mapping does not list it. An empty result for a length below 1 or
// when 2 x `length` overflows. Reports no error (only quor::Error 7 when memory runs out).
ByteString encodeJef(std::u16string_view text, std::int32_t length, const GaijiMapping& mapping);

}  // namespace quor::character
