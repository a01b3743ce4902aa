#include "numeric/binary.hpp"

#include <algorithm>
#include <cstdint>

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

}  // namespace quor::numeric
