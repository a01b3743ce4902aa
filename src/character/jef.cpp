#include "character/jef.hpp"

#include <algorithm>
#include <cstring>
#include <limits>

#include "base/appended.hpp"
#include "base/limits.hpp"
#include "character/gaiji_index.hpp"
#include "text/cp932.hpp"

namespace quor::character {
namespace {

// A not-found byte is the JIS value + 0x80; a value that does not fit a byte leaves the byte 0x00.
void putNotFound(std::uint8_t& byte, std::int32_t jisValue) noexcept {
  const std::int32_t value = jisValue + 0x80;
  if (value >= 0 && value <= 0xFF) byte = static_cast<std::uint8_t>(value);
}

constexpr bool isJefByte(std::uint8_t byte) noexcept {
  return byte >= 0xA1 && byte <= 0xFE;
}

}  // namespace

void putJefPair(char16_t c, const GaijiIndex& index, std::uint8_t* pair, JefStray* stray) noexcept {
  const JisCode jis = jisCode(text::cp932::encode(c));
  if (const auto* entry = index.find(keyOf(jis))) {
    pair[0] = entry->first;
    pair[1] = entry->second;
    return;
  }
  putNotFound(pair[0], jis.first);
  putNotFound(pair[1], jis.second);
  if (stray != nullptr && !stray->found && !(isJefByte(pair[0]) && isJefByte(pair[1])))
    *stray = {true, c, pair[0], pair[1]};
}

char16_t readJefPair(std::uint8_t first, std::uint8_t second, const GaijiIndex& index, const char*& reason) noexcept {
  char16_t c = 0xFFFF;
  reason = nullptr;
  if (const auto* entry = index.findJef(first, second)) {
    c = characterOfKey(entry->key);
    if (c == 0xFFFF) reason = "gaiji mapping line whose key is no character";
  } else if (!isJefByte(first) || !isJefByte(second)) {
    reason = "bytes that are no JEF code";
  } else {
    c = characterOfKey(static_cast<std::uint16_t>(((first - 0x80u) << 8) | (second - 0x80u)));
    if (c == 0xFFFF) reason = "JEF code of no character";
  }
  if (reason == nullptr) {
    // A code whose character the encoder writes as another code (code page 932 gives some characters
    // two codes, a mapping line may give a JIS character a code of its own) would not come back.
    std::uint8_t pair[2]{};
    putJefPair(c, index, pair, nullptr);
    if (pair[0] != first || pair[1] != second) reason = "JEF code of a character that is written as another code";
  }
  return c;
}

std::size_t jefFieldBytes(std::int32_t length) noexcept {
  if (length < 1 || length > std::numeric_limits<std::int32_t>::max() / 2) return 0;
  const std::size_t bytes = 2 * static_cast<std::size_t>(length);
  return bytes <= base::kMaxResultBytes ? bytes : 0;
}

void appendJef(const text::PaddedText& text, std::int32_t length, const GaijiMapping& mapping, ByteString& out,
               JefStray* stray) {
  const std::size_t bytes = jefFieldBytes(length);
  if (bytes == 0) return;
  base::Appended field(out, bytes);
  std::uint8_t* const pairs = field.data();
  const GaijiIndex& index = indexOf(mapping);

  // Characters beyond the field are cut silently; nothing passes from one character to the next, so
  // they have no effect on the result.
  const std::size_t fieldLength = bytes / 2;
  const std::size_t count = std::min(text.text.size(), fieldLength);
  for (std::size_t p = 0; p < count; ++p) {
    // A character that repeats the one before gets the same two bytes.
    if (p > 0 && text.text[p] == text.text[p - 1]) {
      std::memcpy(pairs + 2 * p, pairs + 2 * p - 2, 2);
      continue;
    }
    putJefPair(text.text[p], index, pairs + 2 * p, stray);
  }
  // The padding: one character's bytes, repeated. Each copy doubles the run already written.
  const std::size_t padCount = std::min(text.padCount, fieldLength - count);
  if (padCount > 0) {
    std::uint8_t* const run = pairs + 2 * count;
    putJefPair(text.pad, index, run, stray);
    std::size_t filled = 2;
    while (filled < 2 * padCount) {
      const std::size_t chunk = std::min(filled, 2 * padCount - filled);
      std::memcpy(run + filled, run, chunk);
      filled += chunk;
    }
  }
  field.done();
}

std::optional<base::DecodeFault> readJef(std::span<const std::uint8_t> bytes, const GaijiMapping& mapping,
                                         bool keepPadding, bool lenient, std::u16string& out) {
  const std::size_t end = keepPadding ? bytes.size() - bytes.size() % 2 : jefTextEnd(bytes);
  // Decoders keep a reading with its JEF order; a caller without one gets it made for this call.
  const GaijiMapping ordered = withJefOrder(mapping);
  const GaijiIndex& index = indexOf(ordered);
  std::optional<base::DecodeFault> fault;
  for (std::size_t i = 0; i + 1 < end; i += 2) {
    const char* reason = nullptr;
    const char16_t c = readJefPair(bytes[i], bytes[i + 1], index, reason);
    if (reason == nullptr) {
      out += c;
      continue;
    }
    if (!fault) fault = base::DecodeFault{i, 2, reason};
    if (!lenient) return fault;
    out += c != 0xFFFF ? c : u'\uFFFD';
  }
  if (bytes.size() % 2 != 0 && !fault) fault = base::DecodeFault{bytes.size() - 1, 1, "odd byte of a JEF field"};
  return fault;
}

}  // namespace quor::character
