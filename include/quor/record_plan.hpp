#pragma once
// Record plans: a layout compiled once into a flat list of field steps, each with its place in the
// record and a kernel that works straight on input bytes, through tables built from the library's own
// encoders and decoders when the plan is made. A plan takes the common record (plain values, written
// as they read) the fast way and says when a record is not one; the caller then builds it with
// RecordBuilder or reads it with RecordDecoder, which give the bytes, the changes and the messages.
// So a plan never decides anything the builder and decoder would decide otherwise.
//
//   const quor::PlanTables tables(mapping, quor::PlanUse::encode);  // once for a run: a few milliseconds
//   const quor::EncodePlan plan(layout, quor::RecordOptions{}, tables, quor::TextEncoding::utf8);
//   std::vector<std::uint8_t> record(layout.recordLength);
//   const std::size_t length = plan.encode(fields, record.data());
//   if (length == 0) { /* RecordBuilder, as for any record */ }

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "quor/csv_writer.hpp"
#include "quor/gaiji_mapping.hpp"
#include "quor/layout.hpp"
#include "quor/record.hpp"
#include "quor/text.hpp"

namespace quor {

// The plans a set of tables serves: a run that only encodes or only decodes makes half of them.
enum class PlanUse : std::uint8_t { encode, decode, both };

// What the encoders and decoders make of every character: each UTF-16 unit in a text and a national
// field (for encode plans), each EBCDIC byte and each JEF pair read back (for decode plans), asked
// once for a gaiji mapping. A table of units written is made when the first plan that writes with it
// is made, so a run makes only those its fields need; a unit or a pair is asked when a plan first meets
// it, so a run pays for the characters its data holds. Copies share the tables; one set serves every
// plan and thread of a run. Throws quor::Error 7 when memory runs out.
class PlanTables {
 public:
  // Tables for plans whose options name `host`: typed text and national fields on that page.
  explicit PlanTables(const GaijiMapping& gaiji, PlanUse use = PlanUse::both,
                      HostCodePage host = HostCodePage::fujitsu);

 private:
  friend class EncodePlan;
  friend class DecodePlan;
  struct Data;
  [[nodiscard]] const Data& data() const noexcept { return *data_; }
  std::shared_ptr<const Data> data_;
};

class EncodePlan {
 public:
  // A plan for records of `layout` written with `options`, the characters' forms from `tables`, values
  // given in `encoding`; makes the tables of units written its fields need that are not made yet.
  // Throws quor::Error 5 for tables made for decode plans only, 7 when memory runs out.
  EncodePlan(const Layout& layout, const RecordOptions& options, const PlanTables& tables, TextEncoding encoding);
  ~EncodePlan();
  EncodePlan(EncodePlan&&) noexcept;
  EncodePlan& operator=(EncodePlan&&) noexcept;
  EncodePlan(const EncodePlan&) = delete;
  EncodePlan& operator=(const EncodePlan&) = delete;

  // Writes the record of `values` (one a column, as input bytes) into `record` (room for
  // Layout::recordLength bytes) and returns its length, when every value is one the plan writes as it
  // reads; returns 0 otherwise (a value to cut, an empty one, a sign or form the plan leaves to the
  // builder, bytes that are not valid text), leaving `record` undefined. A layout with varying tables
  // (OCCURS DEPENDING ON) gives the length its counters' values make (padded with padVarying), the
  // counts written as plain digits and no value given for an element past its table's count.
  // Reentrant: one plan serves every thread.
  [[nodiscard]] std::size_t encode(std::span<const std::string_view> values, std::uint8_t* record) const noexcept;

  // The short record of a variable-length file, as RecordBuilder::appendFirstColumns writes it: the
  // first values.size() columns (at least one), the record ending where the field of the first column
  // not given starts. Writes it into `record` (room for Layout::recordLength bytes) and returns its
  // length when every value is one the plan writes as it reads, as encode() does; returns 0 otherwise.
  // With every column given it is encode(); with fewer, a layout with varying tables returns 0.
  [[nodiscard]] std::size_t encodeFirst(std::span<const std::string_view> values,
                                        std::uint8_t* record) const noexcept;

 private:
  struct Steps;
  std::unique_ptr<const Steps> steps_;
};

class DecodePlan {
 public:
  // A plan to read records of `layout` written with `options` back, as RecordDecoder reads them, into
  // CSV lines as appendCsvRecord writes them with `csv`. Throws quor::Error 5 for tables made for
  // encode plans only, 7 when memory runs out.
  DecodePlan(const Layout& layout, const RecordOptions& options, const PlanTables& tables,
             const CsvWriteOptions& csv);
  ~DecodePlan();
  DecodePlan(DecodePlan&&) noexcept;
  DecodePlan& operator=(DecodePlan&&) noexcept;
  DecodePlan(const DecodePlan&) = delete;
  DecodePlan& operator=(const DecodePlan&) = delete;

  // The most bytes one line may take; `out` must have room for them.
  [[nodiscard]] std::size_t maxLineBytes() const noexcept;

  // Appends the CSV line of `record` at `out` and returns its length, when every field holds valid
  // data that needs no quoting and the record is Layout::recordLength bytes, or shorter and ending where
  // a field other than an overlay ends (a variable-length file's record, whose line then holds the
  // columns within it, as columnsWithin counts them); returns 0 otherwise (an empty record, one longer
  // or ending inside a field, invalid data, a value holding the delimiter, a quote or a line break),
  // the caller then reading the record with RecordDecoder. A layout with varying tables takes a record
  // of the length its counters make (or the longest record's, padded, with padVarying), whose line holds
  // every column, those of absent elements empty, as RecordDecoder reads it. Reentrant.
  [[nodiscard]] std::size_t decode(std::span<const std::uint8_t> record, char* out) const noexcept;

 private:
  struct Steps;
  std::unique_ptr<const Steps> steps_;
};

}  // namespace quor
