#include "numeric/zoned.hpp"

#include <algorithm>

#include "base/appended.hpp"
#include "base/limits.hpp"
#include "quor/error.hpp"

namespace quor::numeric {

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
  // The digits through the zoned kernel; a "-" (with a sign) stands for a 0 and the digits go on.
  bool minusShown = false;
  for (std::size_t i = putZonedDigits(shown.data(), shown.size(), bytes); i < shown.size();
       i += putZonedDigits(shown.data() + i, shown.size() - i, bytes + i)) {
    if (shown[i] != u'-' || !sign) throw Error(errors::kTypeMismatch);
    minusShown = true;
    bytes[i++] = kZonePlain;
  }
  // A "-" anywhere in the text makes the value negative, also one in the part cut off.
  const std::u16string_view cut = text.substr(0, text.size() - shown.size());
  if (sign && (minusShown || cut.find(u'-') != std::u16string_view::npos)) putZonedNegative(field.data()[n - 1]);
  field.done();
}

void appendZonedDigits(std::string_view digits, bool negative, std::size_t width, ByteString& out) {
  if (width == 0) return;
  base::Appended field(out, width);
  writeZoned(digits.substr(digits.size() - std::min(width, digits.size())), negative, {field.data(), width});
  field.done();
}

}  // namespace quor::numeric
