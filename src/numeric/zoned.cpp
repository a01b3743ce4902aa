#include "numeric/zoned.hpp"

#include <algorithm>

#include "base/appended.hpp"
#include "base/limits.hpp"
#include "quor/error.hpp"

namespace quor::numeric {

namespace {
constexpr std::uint8_t kZonePlain = 0xF0;
constexpr std::uint8_t kZoneNegative = 0xD0;
}  // namespace

void appendZoned(std::u16string_view text, std::int32_t width, bool sign, ByteString& out) {
  // Widths and text lengths are 16-bit quantities, and a zoned field holds at most 32766 digits.
  if (width > base::kInt16Max || width < base::kInt16Min) throw Error(errors::kOverflow);
  if (text.size() >= static_cast<std::size_t>(base::kInt16Max)) throw Error(errors::kOverflow);
  if (width == base::kInt16Max) throw Error(errors::kOverflow);
  if (width < 0) throw Error(errors::kInvalidCall);
  if (width == 0) throw Error(errors::kSubscript);

  // The field is the text's rightmost `width` characters, padded on the left with "0".
  const auto n = static_cast<std::size_t>(width);
  const std::size_t pad = n > text.size() ? n - text.size() : 0;
  const std::u16string_view shown = text.substr(text.size() - (n - pad));

  base::Appended field(out, n, kZonePlain);
  std::uint8_t* const bytes = field.data() + pad;
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
  std::uint8_t& last = field.data()[n - 1];
  if (negative) last = static_cast<std::uint8_t>(last - kZonePlain + kZoneNegative);
  field.done();
}

void appendZonedDigits(std::string_view digits, bool negative, std::size_t width, ByteString& out) {
  if (width == 0) return;
  base::Appended field(out, width, kZonePlain);
  std::uint8_t* const bytes = field.data();
  const std::size_t shown = std::min(width, digits.size());
  for (std::size_t i = 0; i < shown; ++i)
    bytes[width - shown + i] = static_cast<std::uint8_t>(kZonePlain | (digits[digits.size() - shown + i] - '0'));
  if (negative) bytes[width - 1] = static_cast<std::uint8_t>(bytes[width - 1] - kZonePlain + kZoneNegative);
  field.done();
}

std::optional<base::DecodeFault> readZonedDigits(std::span<const std::uint8_t> bytes, bool isSigned,
                                                 std::string& digits, bool& negative) {
  negative = false;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const unsigned zone = bytes[i] >> 4;
    const unsigned digit = bytes[i] & 0x0Fu;
    if (digit > 9) return base::DecodeFault{i, 1, "digit nibble above 9"};
    if (i + 1 < bytes.size()) {
      if (zone != 0xF) return base::DecodeFault{i, 1, "zone other than F before the last byte"};
    } else if (zone == 0xD) {
      if (!isSigned) return base::DecodeFault{i, 1, "negative sign zone D in a field without sign"};
      negative = true;
    } else if (zone != 0xF && zone != 0xC) {
      return base::DecodeFault{i, 1, "sign zone other than C, D or F"};
    }
    digits += static_cast<char>('0' + digit);
  }
  return std::nullopt;
}

}  // namespace quor::numeric
