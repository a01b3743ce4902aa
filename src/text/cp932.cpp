#include "text/cp932.hpp"

#include <cstddef>


#include "base/api_guard.hpp"
#include "quor/error.hpp"
#include "quor/text.hpp"

namespace quor::text::cp932 {
namespace {
#include "text/cp932_tables.inc"

constexpr char16_t kNoChar = 0xFFFF;
static_assert(isTrailByte(kTrailFirst) && isTrailByte(kTrailLast) && !isTrailByte(kTrailFirst - 1) &&
              !isTrailByte(kTrailLast + 1));
}  // namespace

std::uint16_t encode(char16_t unit) noexcept {
  // Surrogates have no form; the table holds 0x3F for them, so no test is needed here.
  const unsigned cp = unit;
  return kEncodeBlocks[kEncodeBlockOf[cp / kEncodeBlockSize]][cp % kEncodeBlockSize];
}

char16_t decodeSingle(std::uint8_t code) noexcept {
  return kDecodeSingle[code];
}

char16_t decodeDouble(std::uint8_t lead, std::uint8_t trail) noexcept {
  if (!isTrailByte(trail)) return kNoChar;
  return kDecodeRows[kDecodeRowOf[lead]][trail - kTrailFirst];
}

char16_t writtenAs(char16_t unit) noexcept {
  return characterOf(encode(unit));
}

char16_t characterOf(std::uint16_t code) noexcept {
  return code <= 0xFF ? decodeSingle(static_cast<std::uint8_t>(code))
                      : decodeDouble(static_cast<std::uint8_t>(code >> 8), static_cast<std::uint8_t>(code & 0xFF));
}

bool isLeadByte(std::uint8_t byte) noexcept {
  return kDecodeSingle[byte] == kNoChar;
}

std::u16string decodeText(std::string_view bytes) {
  std::u16string out(bytes.size(), u'\0');  // never more characters than bytes
  std::size_t n = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto byte = static_cast<std::uint8_t>(bytes[i]);
    if (byte < 0x80) {  // ASCII reads as itself
      out[n++] = byte;
      continue;
    }
    if (kDecodeSingle[byte] != kNoChar) {
      out[n++] = kDecodeSingle[byte];
      continue;
    }
    const auto trail = i + 1 < bytes.size() ? static_cast<std::uint8_t>(bytes[i + 1]) : std::uint8_t{0};
    if (!isTrailByte(trail)) {
      out[n++] = kUndefinedChar;  // the next byte stands on its own
      continue;
    }
    const char16_t c = kDecodeRows[kDecodeRowOf[byte]][trail - kTrailFirst];
    out[n++] = c == kNoChar ? kUndefinedChar : c;
    ++i;
  }
  out.resize(n);
  return out;
}

}  // namespace quor::text::cp932

namespace quor {

std::size_t appendCp932(std::u16string_view text, std::string& out) {
  return base::guarded([&] {
    std::size_t changed = 0;
    out.reserve(out.size() + text.size());
    for (const char16_t c : text) {
      const std::uint16_t code = text::cp932::encode(c);
      if (code > 0xFF) out += static_cast<char>(code >> 8);
      out += static_cast<char>(code & 0xFF);
      if (c >= 0x80 && text::cp932::characterOf(code) != c) ++changed;  // written as another character
    }
    return changed;
  });
}

TextDecodeResult decodeCp932(std::string_view bytes, char16_t* out) noexcept {
  namespace cp932 = text::cp932;
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  std::size_t o = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned char b = p[i];
    // Code page 932 keeps ASCII as it is.
    if (b < 0x80) {
      out[o++] = b;
      continue;
    }
    char16_t c;
    if (cp932::isLeadByte(b)) {
      if (i + 1 >= n) return {o, i, false};
      c = cp932::decodeDouble(b, p[i + 1]);
      if (c == 0xFFFF) return {o, i, false};
      ++i;
    } else {
      c = cp932::decodeSingle(b);
      if (c == 0xFFFF) return {o, i, false};
    }
    out[o++] = c;
  }
  return {o, 0, true};
}

}  // namespace quor
