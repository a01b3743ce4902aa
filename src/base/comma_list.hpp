#pragma once
// The component's list rule: a list text is cut at every ","; items are taken as they stand (no
// trimming, no quoting); the empty text is a list of no items, and "A,,B" has three items. Public
// code reaches it through quor::listItems (quor/text.hpp).

#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace quor::base {

// Puts the items of `list`, views into it, into `items` (emptied first; its storage is reused).
template <class Char>
void commaListItems(std::basic_string_view<Char> list, std::vector<std::basic_string_view<Char>>& items) {
  items.clear();
  if (list.empty()) return;
  std::size_t start = 0;
  std::size_t i = 0;
  if constexpr (sizeof(Char) == 1) {
    // Bytes: the library's memchr finds each comma.
    for (i = list.find(Char(',')); i != list.npos; i = list.find(Char(','), start)) {
      items.push_back(list.substr(start, i - start));
      start = i + 1;
    }
    items.push_back(list.substr(start));
    return;
  } else if constexpr (sizeof(Char) == 2 && std::endian::native == std::endian::little) {
    // Four UTF-16 units at a time: a unit that is a comma becomes 0 by the XOR, and the lowest lane
    // the test flags is the first zero one.
    constexpr std::uint64_t kLow = 0x0001000100010001ull;
    constexpr std::uint64_t kCommas = 0x002C002C002C002Cull;
    while (i + 4 <= list.size()) {
      std::uint64_t units;
      std::memcpy(&units, list.data() + i, sizeof units);
      const std::uint64_t x = units ^ kCommas;
      const std::uint64_t found = (x - kLow) & ~x & (kLow << 15);
      if (found == 0) {
        i += 4;
        continue;
      }
      i += static_cast<std::size_t>(std::countr_zero(found)) / 16;
      items.push_back(list.substr(start, i - start));
      start = ++i;
    }
  }
  for (; i < list.size(); ++i) {
    if (list[i] != Char(',')) continue;
    items.push_back(list.substr(start, i - start));
    start = i + 1;
  }
  items.push_back(list.substr(start));
}

// Puts at most `most` of the items of `list` into `items` (emptied first) and returns how many items
// the list has: so a list of millions of items costs no memory beyond the ones kept.
inline std::size_t commaListItems(std::string_view list, std::vector<std::string_view>& items, std::size_t most) {
  items.clear();
  if (list.empty()) return 0;
  std::size_t count = 1;
  std::size_t start = 0;
  for (std::size_t i = list.find(','); i != list.npos; i = list.find(',', start)) {
    if (items.size() < most) items.push_back(list.substr(start, i - start));
    ++count;
    start = i + 1;
  }
  if (items.size() < most) items.push_back(list.substr(start));
  return count;
}

// The items of `list`, views into it.
template <class Char>
std::vector<std::basic_string_view<Char>> commaListItems(std::basic_string_view<Char> list) {
  std::vector<std::basic_string_view<Char>> items;
  commaListItems(list, items);
  return items;
}

}  // namespace quor::base
