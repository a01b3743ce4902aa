#include "character/ebcdic_kana.hpp"

#include <cstddef>

#include "character/ebcdic_kana_table.hpp"
#include "platform/cp932.hpp"
#include "quor/error.hpp"

namespace quor::character {

ByteString encodeEbcdicKana(std::u16string_view text, std::int32_t length) {
  // Neither a field below one byte nor a text longer than the field is cut: both fail the call.
  if (length < 1 || text.size() > static_cast<std::size_t>(length)) throw Error(errors::kSubscript);
  ByteString out(static_cast<std::size_t>(length));
  for (std::size_t p = 0; p < text.size(); ++p) {
    const std::uint16_t code = platform::cp932::encode(text[p]);
    out[p] = code <= 0xFF ? kEbcdicKana[code] : kEbcdicSubstitute;
  }
  return out;
}

}  // namespace quor::character
