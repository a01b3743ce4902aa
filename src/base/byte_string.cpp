#include "quor/byte_string.hpp"

namespace quor {

ByteString ByteString::fromText(std::u16string_view text) {
  ByteString out(text.size() * 2);
  for (std::size_t i = 0; i < text.size(); ++i) {
    out[2 * i] = static_cast<std::uint8_t>(text[i] & 0xFFu);
    out[2 * i + 1] = static_cast<std::uint8_t>(text[i] >> 8);
  }
  return out;
}

}  // namespace quor
