// RecordBuilder: records of a layout from one value a column. Component fields go through the same
// assembly as FujitsuHostQuor; typed fields are written as their kind says.

#include <algorithm>

#include "base/api_guard.hpp"
#include "quor/record.hpp"
#include "record/field_kind.hpp"
#include "record/record_assembly.hpp"

namespace quor {

RecordBuilder::RecordBuilder(Layout layout, const RecordOptions& options, GaijiMapping gaiji)
    : layout_(std::move(layout)), options_(options), gaiji_(std::move(gaiji)) {
  base::guarded([&] {
    checkLayoutForHost(layout_, options_.host);
    columnFields_ = layout_.columns();
    columns_ = columnFields_.size();
  });
}

void RecordBuilder::appendFirstColumns(std::span<const std::u16string_view> values, ByteString& out,
                                       std::span<ValueChange> changes) {
  base::guarded([&] {
    if (values.empty() || values.size() > columns_ || (!changes.empty() && changes.size() != values.size()))
      throw Error(errors::kInvalidCall);
    if (values.size() == columns_) {
      append(values, out, changes);
      return;
    }
    // The fields past the end are written with a value each takes as it reads, and cut off.
    std::vector<std::u16string_view> all(values.begin(), values.end());
    for (std::size_t column = values.size(); column < columns_; ++column)
      all.push_back(record::isNumberKind(record::writtenKind(layout_.fields[columnFields_[column]])) ? u"0"
                                                                                                     : u"");
    std::vector<ValueChange> allChanges(changes.empty() ? 0 : columns_);
    const std::size_t start = out.size();
    try {
      append(all, out, allChanges);
    } catch (const Error&) {
      // The changes found before a field failed say what is wrong with it.
      std::copy_n(allChanges.begin(), changes.size(), changes.begin());
      throw;
    }
    std::copy_n(allChanges.begin(), changes.size(), changes.begin());
    out.resize(start + layout_.fields[columnFields_[values.size()]].offset);
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
