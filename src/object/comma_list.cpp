#include "object/comma_list.hpp"

namespace quor::detail {

void CommaList::assign(std::u16string_view text) {
  text_.assign(text);
  items_.clear();
  if (text_.empty()) return;
  const std::u16string_view all = text_;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = all.find(u',', start);
    if (comma == std::u16string_view::npos) {
      items_.push_back(all.substr(start));
      return;
    }
    items_.push_back(all.substr(start, comma - start));
    start = comma + 1;
  }
}

}  // namespace quor::detail
