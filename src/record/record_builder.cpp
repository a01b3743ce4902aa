// RecordBuilder: records of a layout from one value a field, through the same assembly as
// FujitsuHostQuor.

#include "base/api_guard.hpp"
#include "quor/record.hpp"
#include "record/record_assembly.hpp"

namespace quor {

RecordBuilder::RecordBuilder(const Layout& layout, bool convertSign, GaijiMapping gaiji)
    : convertSign_(convertSign), gaiji_(std::move(gaiji)) {
  base::guarded([&] {
    if (!layout.componentOnly()) throw Error(errors::kInvalidCall, "the record builder takes component fields only");
    fields_.reserve(layout.fields.size());
    for (const LayoutField& field : layout.fields) fields_.push_back({field.length, field.format});
  });
}

void RecordBuilder::append(std::span<const std::u16string_view> values, ByteString& out,
                           std::span<ValueChange> changes) {
  base::guarded([&] {
    if (values.size() != fields_.size() || (!changes.empty() && changes.size() != fields_.size()))
      throw Error(errors::kInvalidCall);
    record::GaijiSupply gaiji(gaiji_);
    record::FieldStorage storage{formatted_, exact_};
    const auto fieldAt = [&](std::size_t i) {
      return record::FieldInput{values[i], fields_[i].length, fields_[i].format};
    };
    record::appendRecord(fields_.size(), fieldAt, convertSign_, gaiji, storage, out,
                         changes.empty() ? nullptr : changes.data());
  });
}

}  // namespace quor
