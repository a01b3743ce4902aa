#pragma once
// Several record types in one file: which layout each record is, told by the value of one field of it
// (a type code), as a host program tells them. A header, details and a trailer of a transfer file each
// have their own 01 record; an export file's first byte says which REDEFINES variant the rest of the
// record is.
//
//   const quor::RecordTypeChoice choices[] = {{u"1", 0}, {u"2", 1}, {u"*", 2}};
//   const quor::RecordSelector selector(*quor::findField(layouts, "REC-TYPE"), choices);
//   const std::size_t layout = selector.select(recordBytes);  // kNoLayout: no layout for its value
//
// The value is compared as the field decodes: text without the blanks around it, a number as its
// value (a zoned "01" and a choice "1" are the same). A choice's value is read as a value written in
// the field would be, so a choice the field cannot hold is refused when the selector is made.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "quor/gaiji_mapping.hpp"
#include "quor/layout.hpp"
#include "quor/record.hpp"

namespace quor {

// A type value and the layout it selects (an index into the caller's layouts). The value "*" selects
// its layout for any value no other choice names.
struct RecordTypeChoice {
  std::u16string value;
  std::size_t layout = 0;
};

inline constexpr std::size_t kNoLayout = std::numeric_limits<std::size_t>::max();

// The field named `name` in the first of `layouts` that has one, matched exactly, else without regard
// to letter case where that leaves one field of that layout; none when no layout has it.
std::optional<LayoutField> findField(std::span<const NamedLayout> layouts, std::string_view name);

class RecordSelector {
 public:
  // A selector by `typeField` (its offset, size and kind as in a layout; its role is not looked at),
  // read with `options` and `gaiji` as the records are. Throws quor::Error 5 naming the value when a
  // choice's value is one the field cannot hold as written (a text too long, a number with more
  // decimal places than the field has) or two choices name the same value, 7 when memory runs out.
  RecordSelector(const LayoutField& typeField, std::span<const RecordTypeChoice> choices,
                 const RecordOptions& options = {}, const GaijiMapping& gaiji = GaijiMapping());

  // The bytes a record needs for its type to be told: up to the end of the type field.
  [[nodiscard]] std::size_t bytesNeeded() const noexcept { return field_.offset + field_.size; }

  // The layout of `record` (at least bytesNeeded() bytes): its value's choice, or the default; kNoLayout
  // when no choice takes its value or the type field holds invalid data. Reentrant. Throws quor::Error
  // 5 for a record shorter than bytesNeeded(), 7 when memory runs out.
  [[nodiscard]] std::size_t select(std::span<const std::uint8_t> record) const;

  // The type field's value in `record` as it is compared, for messages; for invalid data, the reason
  // in `fault` (otherwise set to null) and the empty text.
  [[nodiscard]] std::u16string valueOf(std::span<const std::uint8_t> record, const char*& fault) const;

  [[nodiscard]] const LayoutField& field() const noexcept { return field_; }

 private:
  [[nodiscard]] std::size_t choose(std::u16string_view value) const noexcept;

  LayoutField field_;
  RecordDecoder decoder_;                  // the type field alone, at offset 0
  std::vector<RecordTypeChoice> choices_;  // their values as compared
  std::size_t fallback_ = kNoLayout;
  std::vector<std::size_t> table_;  // fields of 1 or 2 bytes: the layout of every value of the bytes
};

}  // namespace quor
