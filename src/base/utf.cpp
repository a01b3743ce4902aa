#include "base/utf.hpp"

#include <bit>
#include <cstdint>
#include <cstring>

#include "base/api_guard.hpp"
#include "quor/error.hpp"

namespace quor {

namespace {

constexpr std::uint64_t kHighBits = 0x8080808080808080ull;

bool isContinuation(unsigned char b) noexcept {
  return (b & 0xC0u) == 0x80u;
}

void appendScalar(std::string& out, char32_t cp) {
  auto byte = [&out](char32_t v) { out += static_cast<char>(static_cast<unsigned char>(v)); };
  if (cp < 0x80) {
    byte(cp);
  } else if (cp < 0x800) {
    byte(0xC0 | (cp >> 6));
    byte(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    byte(0xE0 | (cp >> 12));
    byte(0x80 | ((cp >> 6) & 0x3F));
    byte(0x80 | (cp & 0x3F));
  } else {
    byte(0xF0 | (cp >> 18));
    byte(0x80 | ((cp >> 12) & 0x3F));
    byte(0x80 | ((cp >> 6) & 0x3F));
    byte(0x80 | (cp & 0x3F));
  }
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
    const TextDecodeResult bad{o, i, false};
    if (b0 >= 0xE0 && b0 < 0xF0) {
      // Three bytes: kana and kanji, the bulk of Japanese text. Only E0 can be overlong and only ED can
      // reach the surrogates.
      if (i + 2 >= n || !isContinuation(p[i + 1]) || !isContinuation(p[i + 2])) return bad;
      const unsigned cp = ((b0 & 0x0Fu) << 12) | ((p[i + 1] & 0x3Fu) << 6) | (p[i + 2] & 0x3Fu);
      if (b0 == 0xE0 ? cp < 0x800 : b0 == 0xED && cp >= 0xD800) return bad;
      out[o++] = static_cast<char16_t>(cp);
      i += 3;
      continue;
    }
    if (b0 < 0xC2) return bad;  // a stray continuation byte, or an overlong two-byte form
    if (b0 < 0xE0) {
      if (i + 1 >= n || !isContinuation(p[i + 1])) return bad;
      out[o++] = static_cast<char16_t>(((b0 & 0x1Fu) << 6) | (p[i + 1] & 0x3Fu));
      i += 2;
      continue;
    }
    if (b0 < 0xF5) {
      if (i + 3 >= n || !isContinuation(p[i + 1]) || !isContinuation(p[i + 2]) || !isContinuation(p[i + 3]))
        return bad;
      const unsigned cp =
          ((b0 & 0x07u) << 18) | ((p[i + 1] & 0x3Fu) << 12) | ((p[i + 2] & 0x3Fu) << 6) | (p[i + 3] & 0x3Fu);
      if (cp < 0x10000 || cp > 0x10FFFF) return bad;
      out[o++] = static_cast<char16_t>(0xD800u + ((cp - 0x10000u) >> 10));
      out[o++] = static_cast<char16_t>(0xDC00u + ((cp - 0x10000u) & 0x3FFu));
      i += 4;
      continue;
    }
    return bad;
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
      appendScalar(out, 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00u));
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
