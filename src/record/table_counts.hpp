#pragma once
// The count of a varying table (OCCURS DEPENDING ON), as its counter's value gives it: the builder's
// and the decoder's one reading.

#include <cstddef>
#include <limits>
#include <string_view>

#include "quor/layout.hpp"

namespace quor::record {

// The count `digits` (ASCII digits of a whole number, maybe with leading zeros, or its UTF-16 text)
// give `table`, into `count`; nullptr when it is one of the table's counts, else the reason it is
// none, in words.
template <class Char>
const char* countProblem(std::basic_string_view<Char> digits, bool negative, const VaryingTable& table,
                         std::size_t& count) noexcept {
  count = 0;
  for (const Char c : digits) {
    if (c < Char('0') || c > Char('9')) return "no whole number of elements";
    const auto digit = static_cast<std::size_t>(c - Char('0'));
    count = count > (std::numeric_limits<std::size_t>::max() - digit) / 10 ? std::numeric_limits<std::size_t>::max()
                                                                             : count * 10 + digit;
  }
  if (negative && count != 0) return "a negative number of elements";
  if (count > table.most) return "more elements than its table holds";
  if (count < table.least) return "fewer elements than the fewest its table holds";
  return nullptr;
}

// The count a decoded number text gives ("12", "-3"; no decimal point, the counter's scale being 0).
inline const char* countProblem(std::u16string_view text, const VaryingTable& table, std::size_t& count) noexcept {
  const bool negative = text.starts_with(u'-');
  return countProblem(negative ? text.substr(1) : text, negative, table, count);
}

}  // namespace quor::record
