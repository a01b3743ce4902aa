#include "character/gaiji_index.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <memory>

#include "base/ascii.hpp"
#include "text/cp932.hpp"

namespace quor::character {
namespace {

constexpr std::size_t kKeyLength = 4;
constexpr std::size_t kKeyCount = 0x10000;
constexpr std::size_t kBitsPerWord = 64;

// What a byte of the file is to the index: 0..15 an upper-case hexadecimal digit (a key's digit);
// otherwise one of the kinds below.
enum ByteKind : std::uint8_t {
  kOtherAscii = 16,  // any other ASCII character: a separator, lower-case digits, blanks, ...
  kCarriageReturn,
  kLineFeed,
  kLeadByte,    // starts a double-byte character
  kHighSingle,  // a single-byte character above ASCII (half-width katakana, ...)
};

const std::array<std::uint8_t, 256>& byteKinds() {
  static const std::array<std::uint8_t, 256> kinds = [] {
    std::array<std::uint8_t, 256> k{};
    for (unsigned b = 0; b < 256; ++b) {
      if (b >= '0' && b <= '9')
        k[b] = static_cast<std::uint8_t>(b - '0');
      else if (b >= 'A' && b <= 'F')
        k[b] = static_cast<std::uint8_t>(b - 'A' + 10);
      else if (b == '\r')
        k[b] = kCarriageReturn;
      else if (b == '\n')
        k[b] = kLineFeed;
      else if (b < 0x80)
        k[b] = kOtherAscii;
      else
        k[b] = text::cp932::isLeadByte(static_cast<std::uint8_t>(b)) ? kLeadByte : kHighSingle;
    }
    return k;
  }();
  return kinds;
}

// The index keeps the line's latest characters only to read a JEF code: ASCII as itself, every other
// character as a value that is no hexadecimal digit, blank or tab.
constexpr std::uint8_t kNotAscii = 0xFF;

// One half of a JEF code read as a hexadecimal number: blanks, tabs and line feeds are skipped, digits
// of either case are taken up to the first other character, and no digits read as 0.
std::uint8_t hexHalf(std::uint8_t a, std::uint8_t b) noexcept {
  unsigned value = 0;
  for (const std::uint8_t c : {a, b}) {
    if (c == ' ' || c == '\t' || c == '\n') continue;
    const int digit = base::hexDigitValue(c);
    if (digit < 0) break;
    value = value * 16 + static_cast<unsigned>(digit);
  }
  return static_cast<std::uint8_t>(value);
}

// Builds the entries in one pass over the bytes. Every run of four upper-case hexadecimal digits is an
// occurrence of a key; a key's first occurrence in the file lies in its mapping line and is its first
// occurrence there, so the first one seen decides, and later ones are skipped.
//
// While a line holds only ASCII, positions are byte offsets and the JEF code is read from the bytes;
// from its first character above ASCII on, the rest of the line is followed character by character.
class Builder {
 public:
  Builder() : kinds_(byteKinds()), seen_(kKeyCount / kBitsPerWord) {}

  void add(std::string_view bytes) {
    const std::size_t size = bytes.size();
    std::size_t lineStart = 0;
    std::size_t run = 0;  // upper-case hexadecimal digits ending here
    for (std::size_t i = 0; i < size;) {
      const auto byte = static_cast<std::uint8_t>(bytes[i]);
      const std::uint8_t kind = kinds_[byte];
      if (kind < 16) {
        if (++run >= kKeyLength) {
          // The key's digits are the last four bytes.
          const unsigned key =
              (static_cast<unsigned>(kinds_[static_cast<std::uint8_t>(bytes[i - 3])]) << 12) |
              (static_cast<unsigned>(kinds_[static_cast<std::uint8_t>(bytes[i - 2])]) << 8) |
              (static_cast<unsigned>(kinds_[static_cast<std::uint8_t>(bytes[i - 1])]) << 4) | kind;
          if (!markSeen(key) && i - lineStart >= 8) addKey(key, bytes.substr(i - 8, 4));
        }
        ++i;
        continue;
      }
      run = 0;
      if (kind == kOtherAscii) {
        ++i;
      } else if (kind == kLineFeed || kind == kCarriageReturn) {
        i += kind == kCarriageReturn && i + 1 < size && bytes[i + 1] == '\n' ? 2u : 1u;
        lineStart = i;
      } else {
        i = addRestOfLine(bytes, lineStart, i);
      }
    }
  }

  // The entries by key, and the keys in line order when that differs.
  void finish(GaijiIndex& index) {
    addWrittenCodesOfNecSelected();
    // Mapping files usually list their keys in order; sort only when they are not.
    const auto byKey = [](const auto& a, const auto& b) { return a.key < b.key; };
    if (!std::is_sorted(entries_.begin(), entries_.end(), byKey)) {
      index.lineOrder.reserve(entries_.size());
      for (const auto& entry : entries_) index.lineOrder.push_back(entry.key);
      std::sort(entries_.begin(), entries_.end(), byKey);
    }
    index.entries = std::move(entries_);
  }

 private:
  // For each line keyed by a NEC-selected code (ED40-EEFC) whose character is written with an IBM
  // extension code (FA40-FC4B), an entry of the written code's key with the line's JEF code, unless
  // the file holds that key anywhere (then its own first line decides, as for every key).
  void addWrittenCodesOfNecSelected() {
    const std::size_t lines = entries_.size();
    for (std::size_t i = 0; i < lines; ++i) {
      const GaijiIndex::Entry entry = entries_[i];
      const JisCode jis{entry.key >> 8, entry.key & 0xFF};
      // The NEC-selected rows: lead bytes ED and EE.
      if (jis.first < jisCode(0xED40).first || jis.first > jisCode(0xEEFC).first) continue;
      const char16_t c = characterOfKey(entry.key);
      if (c == 0xFFFF) continue;
      const std::uint16_t written = text::cp932::encode(c);
      if (written < 0xFA40 || written > 0xFC4B) continue;
      const std::uint16_t key = keyOf(jisCode(written));
      if (!markSeen(key)) entries_.push_back({key, entry.first, entry.second});
    }
  }

  // Follows a line from its first character above ASCII, at byte `from`, to its end; returns the index
  // of the line end (not consumed) or the size. The characters before `from` are ASCII, one byte each.
  std::size_t addRestOfLine(std::string_view bytes, std::size_t lineStart, std::size_t from) {
    std::array<std::uint8_t, 16> recent{};  // the line's characters, by position modulo 16
    std::size_t pos = from - lineStart;     // 0-based position of the current character
    for (std::size_t p = pos > 16 ? pos - 16 : 0; p < pos; ++p)
      recent[p % 16] = static_cast<std::uint8_t>(bytes[lineStart + p]);
    std::size_t run = 0;
    unsigned key = 0;
    const std::size_t size = bytes.size();
    std::size_t i = from;
    for (; i < size; ++i, ++pos) {
      const auto byte = static_cast<std::uint8_t>(bytes[i]);
      const std::uint8_t kind = kinds_[byte];
      if (kind == kLineFeed || kind == kCarriageReturn) break;
      if (kind < 16) {
        recent[pos % 16] = byte;
        key = ((key << 4) | kind) & 0xFFFFu;
        if (++run >= kKeyLength && !markSeen(key) && pos >= 8) {
          const std::uint8_t jef[4] = {recent[(pos - 8) % 16], recent[(pos - 7) % 16], recent[(pos - 6) % 16],
                                       recent[(pos - 5) % 16]};
          addKey(key, std::string_view(reinterpret_cast<const char*>(jef), 4));
        }
        continue;
      }
      run = 0;
      if (kind == kOtherAscii) {
        recent[pos % 16] = byte;
        continue;
      }
      // A lead byte with a trail byte forms one character; otherwise it stands alone, as does every
      // other byte above ASCII (see cp932::decodeText).
      if (kind == kLeadByte && i + 1 < size &&
          text::cp932::isTrailByte(static_cast<std::uint8_t>(bytes[i + 1])))
        ++i;
      recent[pos % 16] = kNotAscii;
    }
    return i;
  }

  // A key seen for the first time, standing after position 5 of its line: `jef` holds the four
  // characters q-5..q-2 before it (q its position counted from 1), each ASCII or kNotAscii.
  void addKey(unsigned key, std::string_view jef) {
    const auto at = [&](std::size_t k) { return static_cast<std::uint8_t>(jef[k]); };
    entries_.push_back({static_cast<std::uint16_t>(key), hexHalf(at(0), at(1)), hexHalf(at(2), at(3))});
  }

  // Marks the key seen; true when it had been seen before.
  bool markSeen(unsigned key) noexcept {
    std::uint64_t& word = seen_[key / kBitsPerWord];
    const std::uint64_t bit = std::uint64_t{1} << (key % kBitsPerWord);
    const bool seenBefore = (word & bit) != 0;
    word |= bit;
    return seenBefore;
  }

  const std::array<std::uint8_t, 256>& kinds_;
  std::vector<std::uint64_t> seen_;
  std::vector<GaijiIndex::Entry> entries_;
};

}  // namespace

JisCode jisCode(std::uint16_t cp932Code) noexcept {
  std::int32_t j1 = cp932Code > 0xFF ? cp932Code >> 8 : cp932Code;
  std::int32_t j2 = cp932Code > 0xFF ? cp932Code & 0xFF : 0;
  j1 = j1 <= 0x9F ? j1 - 0x71 : j1 - 0xB1;
  j1 = j1 * 2 + 1;
  if (j2 > 0x7F) j2 -= 1;
  if (j2 >= 0x9E) {
    j2 -= 0x7D;
    j1 += 1;
  } else {
    j2 -= 0x1F;
  }
  return {j1, j2};
}

std::uint16_t keyOf(JisCode jis) noexcept {
  return static_cast<std::uint16_t>(((static_cast<std::uint32_t>(jis.first) & 0xFFu) << 8) |
                                    (static_cast<std::uint32_t>(jis.second) & 0xFFu));
}

char16_t characterOfKey(std::uint16_t key) noexcept {
  const unsigned j1 = key >> 8;
  const unsigned j2 = key & 0xFFu;
  if (j1 < 0x21 || j1 > 0x98 || j2 < 0x21 || j2 > 0x7E) return 0xFFFF;
  const unsigned lead = (j1 + 1) / 2 + (j1 <= 0x5E ? 0x70 : 0xB0);
  const unsigned trail = j1 % 2 == 1 ? j2 + 0x1F + (j2 >= 0x60 ? 1 : 0) : j2 + 0x7E;
  return text::cp932::decodeDouble(static_cast<std::uint8_t>(lead), static_cast<std::uint8_t>(trail));
}

GaijiIndex GaijiIndex::build(std::string_view cp932Bytes) {
  Builder builder;
  builder.add(cp932Bytes);
  GaijiIndex index;
  index.opened = true;
  builder.finish(index);
  return index;
}

GaijiMapping withJefOrder(const GaijiMapping& mapping) {
  using Entry = GaijiIndex::Entry;
  const GaijiIndex& from = indexOf(mapping);
  if (from.hasJefOrder || from.entries.empty()) return mapping;
  auto index = std::make_shared<GaijiIndex>(from);
  // In line order, then by code: the sort keeps line order among entries with one code.
  std::vector<Entry>& byJef = index->byJef;
  if (from.lineOrder.empty()) {
    byJef = from.entries;
  } else {
    for (const std::uint16_t key : from.lineOrder) byJef.push_back(*from.find(key));
  }
  const auto code = [](const Entry& e) { return (e.first << 8) | e.second; };
  std::stable_sort(byJef.begin(), byJef.end(), [&](const Entry& a, const Entry& b) { return code(a) < code(b); });
  byJef.erase(std::unique(byJef.begin(), byJef.end(), [&](const Entry& a, const Entry& b) { return code(a) == code(b); }),
              byJef.end());
  index->hasJefOrder = true;
  return GaijiIndexAccess::make(std::move(index));
}

const GaijiIndex::Entry* GaijiIndex::find(std::uint16_t key) const noexcept {
  const auto it = std::lower_bound(entries.begin(), entries.end(), key,
                                   [](const Entry& entry, std::uint16_t k) { return entry.key < k; });
  return it != entries.end() && it->key == key ? &*it : nullptr;
}

const GaijiIndex::Entry* GaijiIndex::findJef(std::uint8_t first, std::uint8_t second) const noexcept {
  const unsigned code = (unsigned{first} << 8) | second;
  const auto it = std::lower_bound(byJef.begin(), byJef.end(), code, [](const Entry& entry, unsigned c) {
    return ((unsigned{entry.first} << 8) | entry.second) < c;
  });
  return it != byJef.end() && ((unsigned{it->first} << 8) | it->second) == code ? &*it : nullptr;
}

}  // namespace quor::character
