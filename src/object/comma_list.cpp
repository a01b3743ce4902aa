#include "object/comma_list.hpp"

#include <cstring>

#include "platform/number_reading.hpp"

namespace quor::detail {

void CommaList::assign(std::u16string_view text) {
  if (!edited_ && text.size() == text_.size() &&
      std::memcmp(text.data(), text_.data(), text.size() * sizeof(char16_t)) == 0)
    return;
  text_.assign(text);
  items_.clear();
  values_.clear();
  edited_ = false;
  if (text_.empty()) return;
  const char16_t* const begin = text_.data();
  const char16_t* const end = begin + text_.size();
  const char16_t* start = begin;
  for (const char16_t* p = begin; p != end; ++p) {
    if (*p == u',') {
      items_.emplace_back(start, static_cast<std::size_t>(p - start));
      start = p + 1;
    }
  }
  items_.emplace_back(start, static_cast<std::size_t>(end - start));
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
