#include "numeric/packed.hpp"

#include <algorithm>
#include <limits>

#include "base/appended.hpp"
#include "base/limits.hpp"
#include "quor/error.hpp"

namespace quor::numeric {

void appendPacked(std::u16string_view text, std::int32_t nibbles, bool sign, ByteString& out) {
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

  // With a sign, a "-" anywhere makes the value negative, also one in the part cut off, and reads as 0.
  // The bytes are packed in order, so the first that fails decides: a character that is neither a
  // digit nor such a "-", or, for a text too short for the field, the first place past its end (13);
  // but byte 16384 overflows (6) before any later byte is looked at. One pass finds the sign and the
  // first failing place.
  const std::size_t shownFrom = start > lead ? start - lead : 0;  // the first character packed
  std::size_t failing = 2 * n;                                    // the first failing place, from `start`
  bool negative = false;
  for (std::size_t t = 0; t < text.size(); ++t) {
    const char16_t c = text[t];
    if (static_cast<unsigned>(c) - unsigned{u'0'} <= 9) continue;
    if (c == u'-' && sign) {
      negative = true;
    } else if (t >= shownFrom) {
      failing = lead + t - start;
      break;
    }
  }
  if (prepared - start < 2 * n) failing = std::min(failing, prepared - start);
  const std::size_t packable = std::min(n, static_cast<std::size_t>(base::kMaxPackedBytes));
  if (failing < 2 * n && failing / 2 < packable) throw Error(errors::kTypeMismatch);
  if (n > packable) throw Error(errors::kOverflow);

  base::Appended field(out, n);
  writePacked(text.data() + shownFrom, text.size() - shownFrom, negative, sign ? PackedSign::signedCD : PackedSign::none,
              {field.data(), n});
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
  const std::size_t shown = std::min(digitCount, digits.size());
  writePacked(digits.data() + digits.size() - shown, shown, negative, sign, {field.data(), n});
  field.done();
}

std::size_t packedDigits(std::int32_t nibbles, bool sign) noexcept {
  const std::size_t bytes = (static_cast<std::size_t>(nibbles > 0 ? nibbles : 0) + 1) / 2;
  return 2 * bytes - (sign && bytes > 0 ? 1 : 0);
}

}  // namespace quor::numeric
