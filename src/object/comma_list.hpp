#pragma once
// A comma-separated list as the object keeps it: its own copy of the text, cut at every ",". Items are
// taken as they stand (no trimming, no quoting); the empty text is a list of no items.
//
// A batch caller passes the same length and format lists with every record, so assigning the text the
// list already holds keeps the items and the integer values read from them; nothing is cut or read
// twice, and nothing is allocated.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quor::detail {

class CommaList {
 public:
  void assign(std::u16string_view text);

  [[nodiscard]] std::size_t size() const noexcept { return items_.size(); }
  [[nodiscard]] std::u16string_view operator[](std::size_t i) const noexcept { return items_[i]; }
  // Replaces one item by a text of static storage (a literal).
  void replace(std::size_t i, std::u16string_view literal);

  // The integer value of item i (a number text rounded to a 32-bit integer, errors 13 and 6), read
  // once and kept while the list holds the same items.
  [[nodiscard]] std::int32_t integerAt(std::size_t i);

 private:
  std::u16string text_;
  std::vector<std::u16string_view> items_;
  bool edited_ = false;               // an item was replaced: the items no longer match the text
  std::vector<std::int32_t> values_;  // integer values of items 0 .. values_.size() - 1
};

}  // namespace quor::detail
