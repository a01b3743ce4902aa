// RecordBuilder: records of a layout from one value a column. Component fields go through the same
// assembly as FujitsuHostQuor; typed fields are written as their kind says.

#include "base/api_guard.hpp"
#include "quor/record.hpp"
#include "record/record_assembly.hpp"

namespace quor {

RecordBuilder::RecordBuilder(Layout layout, const RecordOptions& options, GaijiMapping gaiji)
    : layout_(std::move(layout)), options_(options), gaiji_(std::move(gaiji)) {
  base::guarded([&] {
    checkLayoutForHost(layout_, options_.host);
    columns_ = layout_.columns().size();
  });
}

void RecordBuilder::append(std::span<const std::u16string_view> values, ByteString& out,
                           std::span<ValueChange> changes) {
  base::guarded([&] {
    if (values.size() != columns_ || (!changes.empty() && changes.size() != columns_))
      throw Error(errors::kInvalidCall);
    record::GaijiSupply gaiji(gaiji_);
    record::FieldStorage storage{formatted_, exact_};
    const std::vector<LayoutField>& fields = layout_.fields;
    // The column each field takes its value from, counted as the fields go by.
    std::size_t column = 0;
    const auto appendOne = [&](std::size_t i, ByteString& bytes) {
      const LayoutField& field = fields[i];
      if (field.role == FieldRole::overlay) return;
      const bool takesValue = field.role == FieldRole::column;
      const std::u16string_view value = takesValue ? values[column] : std::u16string_view();
      ValueChange* const change = takesValue && !changes.empty() ? &changes[column] : nullptr;
      if (takesValue) ++column;
      record::appendLayoutField(field, value, options_, gaiji, storage, bytes, change);
    };
    // A failing field is named by its column: the one just taken.
    record::appendFields(fields.size(), appendOne, [&](std::size_t) { return column; }, out);
  });
}

}  // namespace quor
