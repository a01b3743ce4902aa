#include "character/jef.hpp"

#include <algorithm>
#include <cstddef>
#include <limits>

#include "character/gaiji_index.hpp"
#include "platform/cp932.hpp"

namespace quor::character {
namespace {

// The JIS-derived code of a character, one value per byte. A double-byte code page 932 code splits
// into lead and trail byte; a single-byte code c runs through the same arithmetic as lead byte c with
// trail byte 0, which leaves values outside a byte (the second one is always -31).
struct JisCode {
  std::int32_t first;
  std::int32_t second;
};

JisCode jisCode(std::uint16_t cp932Code) noexcept {
  std::int32_t j1 = cp932Code > 0xFF ? cp932Code >> 8 : cp932Code;
  std::int32_t j2 = cp932Code > 0xFF ? cp932Code & 0xFF : 0;
  j1 = j1 <= 0x9F ? j1 - 0x71 : j1 - 0xB1;
  j1 = j1 * 2 + 1;
  if (j2 > 0x7F) j2 -= 1;
  if (j2 >= 0x9E) {
    j2 -= 0x7D;
    j1 += 1;
  } else {
    j2 -= 0x1F;
  }
  return {j1, j2};
}

// The mapping file's key: the low byte of each value, so -31 reads as 0xE1.
std::uint16_t keyOf(JisCode jis) noexcept {
  return static_cast<std::uint16_t>(((static_cast<std::uint32_t>(jis.first) & 0xFFu) << 8) |
                                    (static_cast<std::uint32_t>(jis.second) & 0xFFu));
}

// A not-found byte is the JIS value + 0x80; a value that does not fit a byte leaves the byte 0x00.
void putNotFound(std::uint8_t& byte, std::int32_t jisValue) noexcept {
  const std::int32_t value = jisValue + 0x80;
  if (value >= 0 && value <= 0xFF) byte = static_cast<std::uint8_t>(value);
}

}  // namespace

ByteString encodeJef(std::u16string_view text, std::int32_t length, const GaijiMapping& mapping) {
  // No output can be set up: an empty result, no error.
  if (length < 1 || length > std::numeric_limits<std::int32_t>::max() / 2) return {};
  const auto fieldLength = static_cast<std::size_t>(length);
  ByteString out(2 * fieldLength);
  const GaijiMapping::Index& index = mapping.index();

  // Characters beyond the field are cut silently; nothing passes from one character to the next, so
  // they have no effect on the result.
  const std::size_t count = std::min(text.size(), fieldLength);
  for (std::size_t p = 0; p < count; ++p) {
    // A character that repeats the one before gets the same two bytes; fields padded with many
    // blanks are mostly such runs.
    if (p > 0 && text[p] == text[p - 1]) {
      out[2 * p] = out[2 * p - 2];
      out[2 * p + 1] = out[2 * p - 1];
      continue;
    }
    const JisCode jis = jisCode(platform::cp932::encode(text[p]));
    if (const auto* entry = index.find(keyOf(jis))) {
      out[2 * p] = entry->first;
      out[2 * p + 1] = entry->second;
    } else {
      putNotFound(out[2 * p], jis.first);
      putNotFound(out[2 * p + 1], jis.second);
    }
  }
  return out;
}

}  // namespace quor::character
