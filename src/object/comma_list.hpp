#pragma once
// A comma-separated list as the object keeps it: its own copy of the text, cut at every ",". Items are
// taken as they stand (no trimming, no quoting); the empty text is a list of no items. Assigning reuses
// the storage of the previous list, so a record builder called many times allocates nothing new.

#include <cstddef>
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
  void replace(std::size_t i, std::u16string_view literal) noexcept { items_[i] = literal; }

 private:
  std::u16string text_;
  std::vector<std::u16string_view> items_;
};

}  // namespace quor::detail
