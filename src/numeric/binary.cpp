#include "numeric/binary.hpp"

#include <algorithm>

#include "base/appended.hpp"

namespace quor::numeric {

std::size_t binaryBytes(std::size_t digits) noexcept {
  return digits <= 4 ? 2 : digits <= 9 ? 4 : 8;
}

void appendBinaryDigits(std::string_view digits, bool negative, std::size_t digitCount, ByteString& out) {
  const std::size_t n = binaryBytes(digitCount);
  const std::size_t shown = std::min({digitCount, digits.size(), std::size_t{18}});
  base::Appended field(out, n);
  writeBinary(digits.substr(digits.size() - shown), negative, {field.data(), n});
  field.done();
}

}  // namespace quor::numeric
