#pragma once
// A text followed by a run of one padding character: how the record builder hands a value filled to
// its field on to an encoder without writing the fill out, so a field of millions of blanks costs a
// fill of bytes, not millions of characters.

#include <cstddef>
#include <string_view>

namespace quor::text {

struct PaddedText {
  std::u16string_view text;
  std::size_t padCount = 0;
  char16_t pad = u' ';

  PaddedText() = default;
  // NOLINTNEXTLINE(google-explicit-constructor): a plain text is a padded text without padding.
  PaddedText(std::u16string_view plain) noexcept : text(plain) {}
  PaddedText(std::u16string_view plain, std::size_t count, char16_t padding) noexcept
      : text(plain), padCount(count), pad(padding) {}

  [[nodiscard]] std::size_t size() const noexcept { return text.size() + padCount; }
  [[nodiscard]] bool empty() const noexcept { return size() == 0; }
};

}  // namespace quor::text
