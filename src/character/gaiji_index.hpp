#pragma once
// The indexed reading of a gaiji mapping file: for every key a character can look up, the JEF bytes
// the file gives it, so that a lookup costs a binary search instead of a scan of the file. The
// library's own: GaijiMapping holds it, opaque to its callers.

#include <cstdint>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "quor/gaiji_mapping.hpp"

namespace quor::character {

struct GaijiIndex {
  // A key (the four upper-case hexadecimal digits of a character's JIS-derived code, as a number:
  // "7F21" is 0x7F21) and the JEF bytes its mapping line gives.
  struct Entry {
    std::uint16_t key;
    std::uint8_t first;
    std::uint8_t second;
  };

  bool opened = false;
  // Ascending keys, each key once, those of IBM extension characters listed by their NEC-selected code
  // included; keys not listed are not found.
  std::vector<Entry> entries;
  // The keys in the order of their lines, kept only when that is not ascending: of two lines that give
  // one JEF code, the earlier one's key is the code's character.
  std::vector<std::uint16_t> lineOrder;
  // The same entries by JEF code, ascending, where two lines give one code the earlier line's; made
  // only for a reading that decodes (withJefOrder), as encoding never looks a code up.
  std::vector<Entry> byJef;
  bool hasJefOrder = false;

  // The index of a file's content, code page 932 bytes. Lines end at CR, CRLF or LF; positions count
  // characters as Windows reads the bytes (a lead byte and a trail byte are one character). A key's
  // mapping line is the first line that holds the key anywhere; with q the (1-based) position of the
  // key's first occurrence in that line, characters q-5..q-2 are the JEF code, read as two
  // hexadecimal halves. A key standing at position 5 or less has no JEF code before it and is not
  // found, whatever later lines say.
  //
  // A character of the IBM extension rows, written FA40-FC4B, also has a NEC-selected code,
  // ED40-EEFC (U+9AD9: FBFC and EEE0), and a site's list may have taken either. Where no line holds
  // the key of the written code, the line of the NEC-selected code's key maps the character too: the
  // index gives the written code's key that line's JEF code.
  static GaijiIndex build(std::string_view cp932Bytes);

  // The entry of `key`, or null when the character is not found.
  [[nodiscard]] const Entry* find(std::uint16_t key) const noexcept;
  // The entry whose JEF code is `first` `second`, or null: the mapping read backwards (hasJefOrder).
  [[nodiscard]] const Entry* findJef(std::uint8_t first, std::uint8_t second) const noexcept;
};

// The JIS-derived code of a code page 932 code, one value a byte: a double-byte code splits into lead
// and trail byte; a single-byte code c runs through the same arithmetic as lead byte c with trail byte
// 0, which leaves values outside a byte (the second one is always -31).
struct JisCode {
  std::int32_t first;
  std::int32_t second;
};
JisCode jisCode(std::uint16_t cp932Code) noexcept;

// A mapping file's key: the low byte of each value, so -31 reads as 0xE1.
std::uint16_t keyOf(JisCode jis) noexcept;

// The character of the double-byte code page 932 code whose key is `key` (the arithmetic of jisCode
// backwards), or 0xFFFF when there is none. The lead bytes 0x81-0x9F and 0xE0-0xFC give the first
// values 0x21-0x98: the user-defined rows (0x7F-0x92) and the IBM extension rows after them
// (0x93-0x98, lead bytes FA-FC) included.
char16_t characterOfKey(std::uint16_t key) noexcept;

struct GaijiIndexAccess {
  static const GaijiIndex& of(const GaijiMapping& mapping) noexcept { return *mapping.index_; }
  static GaijiMapping make(std::shared_ptr<const GaijiIndex> index) noexcept {
    return GaijiMapping(std::move(index));
  }
};

// The index a mapping holds.
inline const GaijiIndex& indexOf(const GaijiMapping& mapping) noexcept {
  return GaijiIndexAccess::of(mapping);
}

// `mapping`, its entries also by JEF code: `mapping` itself when they are made or it has none.
GaijiMapping withJefOrder(const GaijiMapping& mapping);

}  // namespace quor::character
