#include "numeric/binary.hpp"

#include <algorithm>
#include <cstdint>
#include <string>

#include "base/appended.hpp"

namespace quor::numeric {

std::size_t binaryBytes(std::size_t digits) noexcept {
  return digits <= 4 ? 2 : digits <= 9 ? 4 : 8;
}

void appendBinaryDigits(std::string_view digits, bool negative, std::size_t digitCount, ByteString& out) {
  const std::size_t n = binaryBytes(digitCount);
  std::uint64_t magnitude = 0;
  const std::size_t shown = std::min({digitCount, digits.size(), std::size_t{18}});
  for (const char digit : digits.substr(digits.size() - shown)) magnitude = magnitude * 10 + static_cast<unsigned>(digit - '0');
  const std::uint64_t value = negative ? ~magnitude + 1 : magnitude;
  base::Appended field(out, n);
  for (std::size_t i = 0; i < n; ++i) field.data()[i] = static_cast<std::uint8_t>(value >> (8 * (n - 1 - i)));
  field.done();
}

std::optional<base::DecodeFault> readBinaryDigits(std::span<const std::uint8_t> bytes, bool isSigned,
                                                  std::size_t digitCount, std::string& digits, bool& negative) {
  std::uint64_t value = 0;
  for (const std::uint8_t byte : bytes) value = (value << 8) | byte;
  const std::size_t bits = 8 * bytes.size();
  negative = isSigned && bits > 0 && (value >> (bits - 1)) != 0;
  // The magnitude of a negative value: its two's complement within the field's bits.
  std::uint64_t magnitude = value;
  if (negative) magnitude = bits == 64 ? ~value + 1 : (std::uint64_t{1} << bits) - value;
  const std::string text = std::to_string(magnitude);
  if (text.size() > digitCount && magnitude != 0)
    return base::DecodeFault{0, bytes.size(), "value with more digits than the field holds"};
  digits += text;
  return std::nullopt;
}

}  // namespace quor::numeric
