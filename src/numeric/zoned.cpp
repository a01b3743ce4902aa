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
  std::uint8_t* const bytes = out.data() + pad;
  const char16_t* const chars = shown.data();
  bool minusShown = false;
  for (std::size_t i = 0; i < shown.size(); ++i) {
    unsigned digit = static_cast<unsigned>(chars[i]) - u'0';
    if (digit > 9) {
      if (chars[i] != u'-' || !sign) throw Error(errors::kTypeMismatch);
      minusShown = true;
      digit = 0;
    }
    bytes[i] = static_cast<std::uint8_t>(kZonePlain | digit);
  }
  // A "-" anywhere in the text makes the value negative, also one in the part cut off.
  const std::u16string_view cut = text.substr(0, text.size() - shown.size());
  const bool negative = sign && (minusShown || cut.find(u'-') != std::u16string_view::npos);
  if (negative) out[n - 1] = static_cast<std::uint8_t>(out[n - 1] - kZonePlain + kZoneNegative);
  return out;
}

}  // namespace quor::numeric
