#include "numeric/packed.hpp"

#include <algorithm>
#include <limits>

#include "base/appended.hpp"
#include "base/limits.hpp"
#include "quor/error.hpp"

namespace quor::numeric {

namespace {
constexpr std::uint8_t kSignPositive = 0x0C;
constexpr std::uint8_t kSignNegative = 0x0D;
}  // namespace

void appendPacked(std::u16string_view text, std::int32_t nibbles, bool sign, ByteString& out) {
  const bool negative = sign && text.find(u'-') != std::u16string_view::npos;

  if (nibbles > 0 && nibbles % 2 != 0) {
    if (nibbles == std::numeric_limits<std::int32_t>::max()) throw Error(errors::kOverflow);
    ++nibbles;
  }
  if (nibbles <= 0) throw Error(errors::kSubscript);
  const std::int32_t byteCount = nibbles / 2;
  if (byteCount > base::kInt16Max) throw Error(errors::kOverflow);

  // The prepared text, never built: an optional leading "0", the text, and with a sign the placeholder
  // "0" of the sign nibble. Only its rightmost 2N characters are packed.
  const std::size_t body = text.size() + (sign ? 1 : 0);
  const std::size_t lead = body % 2;
  const std::size_t prepared = lead + body;
  const auto n = static_cast<std::size_t>(byteCount);
  const std::size_t start = prepared > 2 * n ? prepared - 2 * n : 0;

  const auto digitAt = [&](std::size_t j) -> std::uint8_t {
    if (j >= prepared) throw Error(errors::kTypeMismatch);  // the text is too short for the field
    if (j < lead) return 0;
    const std::size_t t = j - lead;
    if (t >= text.size()) return 0;  // the sign placeholder
    const unsigned digit = static_cast<unsigned>(text[t]) - u'0';
    if (digit <= 9) return static_cast<std::uint8_t>(digit);
    if (text[t] == u'-' && negative) return 0;
    throw Error(errors::kTypeMismatch);
  };

  base::Appended field(out, n);
  std::uint8_t* const bytes = field.data();
  for (std::size_t k = 0; k < n; ++k) {
    if (k == static_cast<std::size_t>(base::kMaxPackedBytes)) throw Error(errors::kOverflow);
    const std::size_t j = start + 2 * k;
    const std::uint8_t high = digitAt(j);
    bytes[k] = static_cast<std::uint8_t>(high * 16 + digitAt(j + 1));
  }
  if (sign) bytes[n - 1] = static_cast<std::uint8_t>(bytes[n - 1] + (negative ? kSignNegative : kSignPositive));
  field.done();
}

std::size_t packedBytes(std::size_t digits, PackedSign sign) noexcept {
  return sign == PackedSign::none ? (digits + 1) / 2 : digits / 2 + 1;
}

void appendPackedDigits(std::string_view digits, bool negative, std::size_t digitCount, PackedSign sign,
                        ByteString& out) {
  const std::size_t n = packedBytes(digitCount, sign);
  if (n == 0) return;
  base::Appended field(out, n);
  std::uint8_t* const bytes = field.data();
  // Nibbles from the right: the sign nibble (if any), then the digits, the lowest first.
  std::size_t nibble = 2 * n;
  const auto put = [&](unsigned value) {
    --nibble;
    std::uint8_t& byte = bytes[nibble / 2];
    byte = static_cast<std::uint8_t>(nibble % 2 == 1 ? (byte & 0xF0u) | value : (byte & 0x0Fu) | (value << 4));
  };
  if (sign == PackedSign::signedCD) put(negative ? kSignNegative : kSignPositive);
  if (sign == PackedSign::unsignedF) put(0xF);
  const std::size_t shown = std::min(digitCount, digits.size());
  for (std::size_t i = 0; i < shown; ++i) put(static_cast<unsigned>(digits[digits.size() - 1 - i] - '0'));
  field.done();
}

std::optional<base::DecodeFault> readPackedDigits(std::span<const std::uint8_t> bytes, PackedSign sign,
                                                  std::string& digits, bool& negative) {
  negative = false;
  const std::size_t nibbles = 2 * bytes.size();
  for (std::size_t k = 0; k < nibbles; ++k) {
    const unsigned nibble = k % 2 == 0 ? bytes[k / 2] >> 4 : bytes[k / 2] & 0x0Fu;
    if (k + 1 == nibbles && sign != PackedSign::none) {
      if (nibble == kSignNegative && sign == PackedSign::signedCD)
        negative = true;
      else if (nibble != 0xC && nibble != 0xF)
        return base::DecodeFault{k / 2, 1,
                                 sign == PackedSign::signedCD ? "sign nibble other than C, D or F"
                                                              : "sign nibble other than F or C in an unsigned field"};
      break;
    }
    if (nibble > 9) return base::DecodeFault{k / 2, 1, "digit nibble above 9"};
    digits += static_cast<char>('0' + nibble);
  }
  return std::nullopt;
}

std::size_t packedDigits(std::int32_t nibbles, bool sign) noexcept {
  const std::size_t bytes = (static_cast<std::size_t>(nibbles > 0 ? nibbles : 0) + 1) / 2;
  return 2 * bytes - (sign && bytes > 0 ? 1 : 0);
}

}  // namespace quor::numeric
