// RecordBuilder: records of a layout from one value a column. Component fields go through the same
// assembly as FujitsuHostQuor; typed fields are written as their kind says. A layout with varying
// tables writes the elements its counters' values count, and the fields after them where they then lie.

#include <algorithm>

#include "base/api_guard.hpp"
#include "number_text/scaled_decimal.hpp"
#include "quor/record.hpp"
#include "quor/text.hpp"
#include "record/field_kind.hpp"
#include "record/record_assembly.hpp"
#include "record/table_counts.hpp"
#include "record/varying_places.hpp"

namespace quor {

namespace {

// Writes each constant's own text (a FILLER's VALUE) as a value of its field is written with `options`,
// on their host page, into its own bytes; a text written other than it reads (a character without a
// form, too long once encoded) refuses the layout, naming the field and where it was defined.
void writeConstantTexts(Layout& layout, const RecordOptions& options, const GaijiMapping& mapping) {
  std::u16string formatted;
  std::u16string exact;
  record::FieldStorage storage{formatted, exact};
  record::GaijiSupply gaiji(mapping);
  for (std::size_t i = 0; i < layout.fields.size(); ++i) {
    LayoutField& field = layout.fields[i];
    if (field.constantText.empty() || field.role != FieldRole::constant) continue;
    LayoutField column = field;
    column.role = FieldRole::column;
    ValueChange change;
    ByteString bytes;
    std::string words;
    try {
      record::appendLayoutField(column, field.constantText, options, gaiji, storage, bytes, &change);
      if (change.kind != Change::none) words = describeChange(change, field.constantText, column);
    } catch (const Error& e) {
      if (e.number() == errors::kOutOfMemory) throw;
      words = describeFailure(e.number(), field.constantText, column);
    }
    if (!words.empty())
      throw Error(errors::kInvalidCall, (field.origin.empty() ? std::string() : field.origin + ": ") + "field " +
                                            std::to_string(i + 1) + " (" + field.name + "): VALUE \"" +
                                            toUtf8(field.constantText) + "\": " + words);
    field.constantBytes.assign(bytes.begin(), bytes.end());
    field.constantText.clear();
  }
}

}  // namespace

RecordBuilder::RecordBuilder(Layout layout, const RecordOptions& options, GaijiMapping gaiji)
    : layout_(std::move(layout)), options_(options), gaiji_(std::move(gaiji)) {
  base::guarded([&] {
    checkLayoutForHost(layout_, options_.host);
    writeConstantTexts(layout_, options_, gaiji_);
    columnFields_ = layout_.columns();
    columns_ = columnFields_.size();
    for (const VaryingTable& table : layout_.tables)
      counterColumns_.push_back(static_cast<std::size_t>(
          std::lower_bound(columnFields_.begin(), columnFields_.end(), table.counter) - columnFields_.begin()));
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
    // A table whose counter is past the end holds its fewest elements; tables of one counter, the
    // fewest they all hold.
    std::vector<std::u16string> leastCounts(layout_.tables.size());
    for (std::size_t t = 0; t < layout_.tables.size(); ++t)
      if (counterColumns_[t] >= values.size()) {
        std::size_t fewest = 0;
        for (std::size_t u = 0; u < layout_.tables.size(); ++u)
          if (counterColumns_[u] == counterColumns_[t]) fewest = std::max(fewest, layout_.tables[u].least);
        const std::string least = std::to_string(fewest);
        leastCounts[t].assign(least.begin(), least.end());
        all[counterColumns_[t]] = leastCounts[t];
      }
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
    // The record ends where the field of the first column not given starts: with varying tables, where
    // it lies in this record, or, for one of an element its counts leave out (which takes no bytes),
    // where the next column kept does; the whole record when none is kept.
    std::size_t end = out.size() - start;
    for (std::size_t column = values.size(); column < columns_; ++column) {
      const std::size_t field = columnFields_[column];
      const std::size_t at = layout_.varies() ? offsets_[field] : layout_.fields[field].offset;
      if (at == kAbsentField) continue;
      end = at;
      break;
    }
    out.resize(start + end);
  });
}

void RecordBuilder::placeByCounters(std::span<const std::u16string_view> values) {
  counts_.resize(layout_.tables.size());
  record::GaijiSupply gaiji(gaiji_);
  record::FieldStorage storage{formatted_, exact_};
  for (std::size_t t = 0; t < layout_.tables.size(); ++t) {
    const VaryingTable& table = layout_.tables[t];
    const std::size_t column = counterColumns_[t];
    const std::u16string_view value = values[column];
    // The count is the counter's value as it is written: a value written other than it reads would
    // make the record disagree with itself.
    ValueChange change;
    ByteString written;
    record::appendLayoutField(layout_.fields[table.counter], value, options_, gaiji, storage, written, &change);
    const std::optional<number_text::ScaledDecimal> number = number_text::readScaledDecimal(value, 0);
    const char* problem = nullptr;
    if (!number || number->fractionCut)
      problem = "no whole number of elements";
    else if (change.kind != Change::none)
      problem = "a count its field would write as another";
    else
      problem = record::countProblem(std::string_view(number->digits), number->negative, table, counts_[t]);
    if (problem != nullptr)
      throw Error(errors::kSubscript, column + 1,
                  std::string(problem) + " (" + (table.name.empty() ? std::string("the table") : table.name) +
                      " holds " + std::to_string(table.least) + " to " + std::to_string(table.most) + ")");
  }
  quor::placeFields(layout_, counts_, offsets_);
}

void RecordBuilder::append(std::span<const std::u16string_view> values, ByteString& out,
                           std::span<ValueChange> changes) {
  base::guarded([&] {
    if (values.size() != columns_ || (!changes.empty() && changes.size() != columns_))
      throw Error(errors::kInvalidCall);
    record::GaijiSupply gaiji(gaiji_);
    record::FieldStorage storage{formatted_, exact_};
    const std::vector<LayoutField>& fields = layout_.fields;
    const bool varies = layout_.varies();
    if (varies) {
      // A count refused before any field is written leaves no change of an earlier record behind.
      std::fill(changes.begin(), changes.end(), ValueChange{});
      placeByCounters(values);
    }
    const std::size_t start = out.size();
    // The column each field takes its value from, counted as the fields go by.
    std::size_t column = 0;
    const auto appendOne = [&](std::size_t i, ByteString& bytes) {
      const LayoutField& field = fields[i];
      if (field.role == FieldRole::overlay) return;
      const bool takesValue = field.role == FieldRole::column;
      const std::u16string_view value = takesValue ? values[column] : std::u16string_view();
      ValueChange* const change = takesValue && !changes.empty() ? &changes[column] : nullptr;
      if (takesValue) ++column;
      if (varies && offsets_[i] == kAbsentField) {
        // An element past its table's count is not written; a value given for it is left out.
        if (change != nullptr) *change = {value.empty() ? Change::none : Change::pastTableCount};
        return;
      }
      record::appendLayoutField(field, value, options_, gaiji, storage, bytes, change);
    };
    // A failing field is named by its column: the one just taken.
    record::appendFields(fields.size(), appendOne, [&](std::size_t) { return column; }, out);
    if (varies && options_.padVarying) out.resize(start + layout_.recordLength, record::kVaryingPadding);
  });
}

}  // namespace quor
