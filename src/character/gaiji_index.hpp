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
  std::vector<Entry> entries;  // ascending keys, each key once; keys not listed are not found
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
  static GaijiIndex build(std::string_view cp932Bytes);

  // The entry of `key`, or null when the character is not found.
  [[nodiscard]] const Entry* find(std::uint16_t key) const noexcept;
  // The entry whose JEF code is `first` `second`, or null: the mapping read backwards (hasJefOrder).
  [[nodiscard]] const Entry* findJef(std::uint8_t first, std::uint8_t second) const noexcept;
};

struct GaijiIndexAccess {
  static const GaijiIndex& of(const GaijiMapping& mapping) noexcept { return *mapping.index_; }
  static GaijiMapping make(std::shared_ptr<const GaijiIndex> index) noexcept { return GaijiMapping(std::move(index)); }
};

// The index a mapping holds.
inline const GaijiIndex& indexOf(const GaijiMapping& mapping) noexcept {
  return GaijiIndexAccess::of(mapping);
}

// `mapping`, its entries also by JEF code: `mapping` itself when they are made or it has none.
GaijiMapping withJefOrder(const GaijiMapping& mapping);

}  // namespace quor::character
