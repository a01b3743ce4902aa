#include "numeric/zoned.hpp"

#include "quor/error.hpp"

namespace quor::numeric {

namespace {
constexpr std::int32_t kInt16Max = 32767;
constexpr std::int32_t kInt16Min = -32768;
constexpr std::uint8_t kZonePlain = 0xF0;
constexpr std::uint8_t kZoneNegative = 0xD0;
}  // namespace

ByteString encodeZoned(std::u16string_view text, std::int32_t width, bool sign) {
  const bool negative = sign && text.find(u'-') != std::u16string_view::npos;

  // Widths and text positions are 16-bit quantities; the pad counter cannot step past 32767, so the
  // width 32767 itself is out of reach.
  if (width > kInt16Max || width < kInt16Min) throw Error(errors::kOverflow);
  if (text.size() >= static_cast<std::size_t>(kInt16Max)) throw Error(errors::kOverflow);
  if (width == kInt16Max) throw Error(errors::kOverflow);
  if (width < 0) throw Error(errors::kInvalidCall);
  if (width == 0) throw Error(errors::kSubscript);

  // The field is the text's rightmost `width` characters, padded on the left with "0".
  const auto n = static_cast<std::size_t>(width);
  const std::size_t pad = n > text.size() ? n - text.size() : 0;
  const std::u16string_view shown = text.substr(text.size() - (n - pad));

  ByteString out(n, kZonePlain);
  std::uint8_t* byte = out.data() + pad;
  for (char16_t c : shown) {
    if (c == u'-' && negative) c = u'0';
    if (c < u'0' || c > u'9') throw Error(errors::kTypeMismatch);
    *byte++ = static_cast<std::uint8_t>(kZonePlain + (c - u'0'));
  }
  if (negative) out[n - 1] = static_cast<std::uint8_t>(out[n - 1] - kZonePlain + kZoneNegative);
  return out;
}

}  // namespace quor::numeric
