#pragma once
// Where the fields of a record with varying tables (OCCURS DEPENDING ON) lie, for the plans: worked out
// for each record from its counts without taking memory, as placeFields places them. The fields of an
// element past its table's count are absent and take no bytes; every other field that is no overlay
// moves up by the bytes of the absent fields before it.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "quor/layout.hpp"

namespace quor::record {

// The byte a record of varying length is padded with to the longest record's length (padVarying).
inline constexpr std::uint8_t kVaryingPadding = 0x40;

class VaryingPlaces {
 public:
  // The most tables the plans place (a table inside the elements of another counts once for each): a
  // layout with more is left to the builder and the decoder.
  static constexpr std::size_t kMostTables = 256;

  // The fields a record's counts leave out: ranges of field indices, apart and ascending.
  struct Absent {
    std::size_t begin;
    std::size_t end;
    std::size_t bytes;  // of the fields in the range that are no overlays
  };
  using Counts = std::array<std::size_t, kMostTables>;
  using AbsentList = std::array<Absent, kMostTables>;

  VaryingPlaces() = default;
  explicit VaryingPlaces(const Layout& layout) : tables_(layout.tables), recordLength_(layout.recordLength) {
    // The offset a field's bytes would start at in the longest record, for an overlay the next field's
    // that is none: the fields that are no overlays lie one after another from byte 0 (finishLayout).
    starts_.resize(layout.fields.size() + 1);
    starts_.back() = layout.recordLength;
    for (std::size_t i = layout.fields.size(); i-- > 0;)
      starts_[i] = layout.fields[i].role == FieldRole::overlay ? starts_[i + 1] : layout.fields[i].offset;
    firstTableField_ = layout.fields.size();
    for (const VaryingTable& table : tables_) firstTableField_ = std::min(firstTableField_, table.first);
  }

  [[nodiscard]] bool taken() const noexcept { return tables_.size() <= kMostTables; }
  [[nodiscard]] std::size_t recordLength() const noexcept { return recordLength_; }
  // The bytes of the fields before `field` in every record: before any table, they never move.
  [[nodiscard]] std::size_t bytesBefore(std::size_t field) const noexcept { return starts_[field]; }
  [[nodiscard]] const std::vector<VaryingTable>& tables() const noexcept { return tables_; }
  // The first field of any table: the fields before it, the counters among them, never move.
  [[nodiscard]] std::size_t firstTableField() const noexcept { return firstTableField_; }

  // The fields `counts` (one a table, each within its table's range) leave out, into `absent`;
  // returns how many ranges.
  std::size_t absentFields(const Counts& counts, AbsentList& absent) const noexcept {
    std::size_t n = 0;
    for (std::size_t t = 0; t < tables_.size(); ++t) {
      const VaryingTable& table = tables_[t];
      if (counts[t] == table.most) continue;
      absent[n++] = {table.first + counts[t] * table.width, table.first + table.most * table.width, 0};
    }
    // A table inside an absent element of another is absent with it: ranges nest or lie apart.
    std::sort(absent.begin(), absent.begin() + static_cast<std::ptrdiff_t>(n),
              [](const Absent& a, const Absent& b) { return a.begin < b.begin || (a.begin == b.begin && a.end > b.end); });
    std::size_t kept = 0;
    for (std::size_t i = 0; i < n; ++i) {
      if (kept > 0 && absent[i].end <= absent[kept - 1].end) continue;
      absent[kept] = absent[i];
      absent[kept].bytes = starts_[absent[i].end] - starts_[absent[i].begin];
      ++kept;
    }
    return kept;
  }

  // The record's length when `absent` (absentFields) is left out.
  [[nodiscard]] std::size_t lengthWithout(const AbsentList& absent, std::size_t ranges) const noexcept {
    std::size_t length = recordLength_;
    for (std::size_t i = 0; i < ranges; ++i) length -= absent[i].bytes;
    return length;
  }

  // Walks the fields in order: place(field) says whether a field is absent, and else moves its offset
  // in the longest record to its offset in this one.
  class Walk {
   public:
    Walk(const AbsentList& absent, std::size_t ranges) noexcept : absent_(absent), ranges_(ranges) {}
    // False for an absent field; else `offset` (the field's in the longest record) becomes its own.
    bool place(std::size_t field, std::size_t& offset) noexcept {
      while (next_ < ranges_ && absent_[next_].end <= field) removed_ += absent_[next_++].bytes;
      if (next_ < ranges_ && absent_[next_].begin <= field) return false;
      offset -= removed_;
      return true;
    }

   private:
    const AbsentList& absent_;
    std::size_t ranges_;
    std::size_t next_ = 0;
    std::size_t removed_ = 0;
  };

 private:
  std::vector<VaryingTable> tables_;
  std::vector<std::size_t> starts_;
  std::size_t recordLength_ = 0;
  std::size_t firstTableField_ = 0;
};

}  // namespace quor::record
