#include "object/comma_list.hpp"

#include "platform/number_reading.hpp"

namespace quor::detail {

void CommaList::assign(std::u16string_view text) {
  if (!edited_ && text == text_) return;
  text_.assign(text);
  items_.clear();
  values_.clear();
  edited_ = false;
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

void CommaList::replace(std::size_t i, std::u16string_view literal) {
  items_[i] = literal;
  edited_ = true;
  if (values_.size() > i) values_.resize(i);
}

std::int32_t CommaList::integerAt(std::size_t i) {
  if (i < values_.size()) return values_[i];
  const std::int32_t value = platform::integerValue(items_[i]);
  if (i == values_.size()) values_.push_back(value);
  return value;
}

}  // namespace quor::detail
