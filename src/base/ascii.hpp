#pragma once
// The ASCII characters number texts and mapping files are written with.

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace quor::base {

constexpr bool isDigit(char32_t c) noexcept {
  return c >= u'0' && c <= u'9';
}

// The value of a hexadecimal digit of either case, or -1 for any other character.
constexpr int hexDigitValue(char32_t c) noexcept {
  if (c >= u'0' && c <= u'9') return static_cast<int>(c - u'0');
  if (c >= u'A' && c <= u'F') return static_cast<int>(c - u'A') + 10;
  if (c >= u'a' && c <= u'f') return static_cast<int>(c - u'a') + 10;
  return -1;
}

// True when every byte of `word` (four or eight bytes read at once) is an ASCII digit: its high nibble
// 3, and still 3 once 6 is added to its low nibble. A carry out of a byte only follows a byte whose
// high nibble is not 3, which fails already.
template <class Word>
constexpr bool isDigitWord(Word word) noexcept {
  constexpr auto kHigh = static_cast<Word>(0xF0F0F0F0F0F0F0F0ull);
  constexpr auto kThrees = static_cast<Word>(0x3030303030303030ull);
  constexpr auto kSixes = static_cast<Word>(0x0606060606060606ull);
  return (word & kHigh) == kThrees && (static_cast<Word>(word + kSixes) & kHigh) == kThrees;
}

template <class Word>
inline Word loadWord(const void* bytes) noexcept {
  Word word;
  std::memcpy(&word, bytes, sizeof word);
  return word;
}

// The end of the run of ASCII digits in bytes[i, n): a fast loop around isDigit, eight bytes at a time,
// the last few read in one word that overlaps the ones before.
inline std::size_t digitRunEnd(const char* bytes, std::size_t i, std::size_t n) noexcept {
  if (n - i >= 8) {
    while (i + 8 <= n && isDigitWord(loadWord<std::uint64_t>(bytes + i))) i += 8;
    if (i + 8 > n && (i == n || isDigitWord(loadWord<std::uint64_t>(bytes + n - 8)))) return n;
  } else if (n - i >= 4) {
    if (isDigitWord(loadWord<std::uint32_t>(bytes + i)) && isDigitWord(loadWord<std::uint32_t>(bytes + n - 4))) return n;
  }
  while (i < n && isDigit(static_cast<unsigned char>(bytes[i]))) ++i;
  return i;
}

}  // namespace quor::base
