#include "character/gaiji_index.hpp"

#include <algorithm>
#include <cstddef>

namespace quor {
namespace {

constexpr std::size_t kKeyLength = 4;
constexpr std::size_t kKeyCount = 0x10000;
constexpr std::size_t kBitsPerWord = 64;

// The value of an upper-case hexadecimal digit, or -1: keys are written in upper case only.
int upperHexDigit(char16_t c) noexcept {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

int anyHexDigit(char16_t c) noexcept {
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  return upperHexDigit(c);
}

// One half of a JEF code read as a hexadecimal number: blanks, tabs and line feeds are skipped, digits
// of either case are taken up to the first other character, and no digits read as 0.
std::uint8_t hexHalf(char16_t a, char16_t b) noexcept {
  unsigned value = 0;
  for (const char16_t c : {a, b}) {
    if (c == u' ' || c == u'\t' || c == u'\n') continue;
    const int digit = anyHexDigit(c);
    if (digit < 0) break;
    value = value * 16 + static_cast<unsigned>(digit);
  }
  return static_cast<std::uint8_t>(value);
}

// Builds the entries from the lines in file order. Every run of four upper-case hexadecimal digits is
// a key's occurrence; the first occurrence of a key in the whole file lies in its mapping line and is
// its first occurrence there, so the first one seen decides.
class Builder {
 public:
  Builder() : seen_(kKeyCount / kBitsPerWord) {}

  void addLine(std::u16string_view line) {
    unsigned key = 0;
    std::size_t run = 0;  // upper-case hexadecimal digits ending at i
    for (std::size_t i = 0; i < line.size(); ++i) {
      const int digit = upperHexDigit(line[i]);
      if (digit < 0) {
        run = 0;
        continue;
      }
      key = ((key << 4) | static_cast<unsigned>(digit)) & 0xFFFFu;
      if (++run < kKeyLength) continue;
      if (markSeen(key)) continue;
      const std::size_t start = i + 1 - kKeyLength;  // 0-based start of the key: position q - 1
      if (start < 5) continue;                       // q <= 5: no JEF code before the key
      const std::u16string_view jef = line.substr(start - 5, 4);
      entries_.push_back({static_cast<std::uint16_t>(key), hexHalf(jef[0], jef[1]), hexHalf(jef[2], jef[3])});
    }
  }

  std::vector<GaijiMapping::Index::Entry> finish() {
    std::sort(entries_.begin(), entries_.end(), [](const auto& a, const auto& b) { return a.key < b.key; });
    return std::move(entries_);
  }

 private:
  // Marks the key seen; true when it had been seen before.
  bool markSeen(unsigned key) noexcept {
    std::uint64_t& word = seen_[key / kBitsPerWord];
    const std::uint64_t bit = std::uint64_t{1} << (key % kBitsPerWord);
    const bool before = (word & bit) != 0;
    word |= bit;
    return before;
  }

  std::vector<std::uint64_t> seen_;
  std::vector<GaijiMapping::Index::Entry> entries_;
};

}  // namespace

GaijiMapping::Index GaijiMapping::Index::build(std::u16string_view text) {
  Builder builder;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c != u'\r' && c != u'\n') continue;
    builder.addLine(text.substr(start, i - start));
    if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) builder.addLine(text.substr(start));

  Index index;
  index.opened = true;
  index.entries = builder.finish();
  return index;
}

const GaijiMapping::Index::Entry* GaijiMapping::Index::find(std::uint16_t key) const noexcept {
  const auto it = std::lower_bound(entries.begin(), entries.end(), key,
                                   [](const Entry& entry, std::uint16_t k) { return entry.key < k; });
  return it != entries.end() && it->key == key ? &*it : nullptr;
}

}  // namespace quor
