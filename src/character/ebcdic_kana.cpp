#include "character/ebcdic_kana.hpp"

#include <cstddef>
#include <cstring>

#include "base/appended.hpp"
#include "base/limits.hpp"
#include "character/ebcdic_kana_table.hpp"
#include "quor/error.hpp"
#include "text/cp932.hpp"

namespace quor::character {

namespace {

std::uint8_t ebcdicOf(char16_t c) noexcept {
  const std::uint16_t code = text::cp932::encode(c);
  return code <= 0xFF ? kEbcdicKana[code] : kEbcdicSubstitute;
}

}  // namespace

void appendEbcdicKana(const text::PaddedText& text, std::int32_t length, ByteString& out) {
  if (length > 0 && static_cast<std::size_t>(length) > base::kMaxResultBytes) throw Error(errors::kOutOfMemory);
  // Neither a field below one byte nor a text longer than the field is cut: both fail the call.
  if (length < 1 || text.size() > static_cast<std::size_t>(length)) throw Error(errors::kSubscript);
  base::Appended field(out, static_cast<std::size_t>(length));
  std::uint8_t* bytes = field.data();
  for (const char16_t c : text.text) *bytes++ = ebcdicOf(c);
  if (text.padCount > 0) std::memset(bytes, ebcdicOf(text.pad), text.padCount);
  field.done();
}

std::optional<base::DecodeFault> readEbcdicKana(std::span<const std::uint8_t> bytes, bool keepPadding, bool lenient,
                                                std::u16string& out) {
  const std::size_t end = keepPadding ? bytes.size() : ebcdicTextEnd(bytes);
  std::optional<base::DecodeFault> fault;
  for (std::size_t i = 0; i < end; ++i) {
    const char16_t c = text::cp932::decodeSingle(kEbcdicKanaInverse[bytes[i]]);
    if (c != 0xFFFF) {
      out += c;
      continue;
    }
    if (!fault) fault = base::DecodeFault{i, 1, "byte of no single-byte character"};
    if (!lenient) return fault;
    out += u'\uFFFD';
  }
  return fault;
}

}  // namespace quor::character
