#include "base/utf.hpp"

#include <bit>
#include <cstdint>
#include <cstring>

#include "base/api_guard.hpp"
#include "quor/error.hpp"

namespace quor {

namespace {

constexpr std::uint64_t kHighBits = 0x8080808080808080ull;

void appendScalar(std::string& out, char32_t cp) {
  unsigned char bytes[4];
  out.append(reinterpret_cast<const char*>(bytes), base::putUtf8(cp, bytes));
}

}  // namespace

TextDecodeResult decodeUtf8(std::string_view bytes, char16_t* out) noexcept {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  std::size_t i = 0;
  std::size_t o = 0;
  while (i < n) {
    const unsigned char b0 = p[i];
    if (b0 < 0x80) {
      // Most input is ASCII: take eight bytes at once, or the ASCII bytes before the first that is not.
      if constexpr (std::endian::native == std::endian::little) {
        if (i + 8 <= n) {
          std::uint64_t word;
          std::memcpy(&word, p + i, sizeof word);
          const std::uint64_t high = word & kHighBits;
          const std::size_t ascii = high == 0 ? 8 : static_cast<std::size_t>(std::countr_zero(high)) / 8;
          for (std::size_t k = 0; k < ascii; ++k) out[o + k] = p[i + k];
          i += ascii;
          o += ascii;
          continue;
        }
      }
      out[o++] = b0;
      ++i;
      continue;
    }
    const unsigned char* q = p + i;
    char32_t cp = 0;
    if (!base::takeUtf8(q, p + n, cp)) return {o, i, false};
    i = static_cast<std::size_t>(q - p);
    if (cp < 0x10000) {
      out[o++] = static_cast<char16_t>(cp);
    } else {
      out[o++] = base::highSurrogateOf(cp);
      out[o++] = base::lowSurrogateOf(cp);
    }
  }
  return {o, 0, true};
}

std::string toUtf8(std::u16string_view text) {
  return base::guarded([&] {
    std::string out;
    base::appendUtf8(text, out);
    return out;
  });
}

namespace base {

void appendUtf8(std::u16string_view text, std::string& out) {
  out.reserve(out.size() + text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (isHighSurrogate(c) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
      appendScalar(out, scalarOfPair(c, text[i + 1]));
      ++i;
    } else if (isHighSurrogate(c) || isLowSurrogate(c)) {
      appendScalar(out, kReplacementCharacter);
    } else {
      appendScalar(out, c);
    }
  }
}

}  // namespace base
}  // namespace quor
