// quor::listItems: the list rule of base/comma_list.hpp for public callers, the tool among them.

#include "base/comma_list.hpp"

#include "base/api_guard.hpp"
#include "quor/text.hpp"

namespace quor {

std::vector<std::u16string_view> listItems(std::u16string_view list) {
  return base::guarded([&] { return base::commaListItems(list); });
}

void listItems(std::u16string_view list, std::vector<std::u16string_view>& items) {
  base::guarded([&] { base::commaListItems(list, items); });
}

void listItems(std::string_view list, std::vector<std::string_view>& items) {
  base::guarded([&] { base::commaListItems(list, items); });
}

std::size_t listItems(std::string_view list, std::vector<std::string_view>& items, std::size_t most) {
  return base::guarded([&] { return base::commaListItems(list, items, most); });
}

}  // namespace quor
