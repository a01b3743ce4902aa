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
//   if (!plan.encode(fields, record.data())) { /* RecordBuilder, as for any record */ }

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
// once for a gaiji mapping. Copies share the tables; one set serves every plan and thread of a run.
// Throws quor::Error 7 when memory runs out.
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
  // given in `encoding`. Throws quor::Error 5 for tables made for decode plans only, 7 when memory runs
  // out.
  EncodePlan(const Layout& layout, const RecordOptions& options, const PlanTables& tables, TextEncoding encoding);
  ~EncodePlan();
  EncodePlan(EncodePlan&&) noexcept;
  EncodePlan& operator=(EncodePlan&&) noexcept;
  EncodePlan(const EncodePlan&) = delete;
  EncodePlan& operator=(const EncodePlan&) = delete;

  // Writes the record of `values` (one a column, as input bytes) into `record`, Layout::recordLength
  // bytes, and returns true, when every value is one the plan writes as it reads; returns false
  // otherwise (a value to cut, an empty one, a sign or form the plan leaves to the builder, bytes that
  // are not valid text), leaving `record` undefined. Reentrant: one plan serves every thread.
  [[nodiscard]] bool encode(std::span<const std::string_view> values, std::uint8_t* record) const noexcept;

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

  // Appends the CSV line of `record` at `out` and returns its length, when the record is
  // Layout::recordLength bytes and every field holds valid data that needs no quoting; returns 0
  // otherwise (a record of another length, invalid data, a value holding the delimiter, a quote or a
  // line break), the caller then reading the record with RecordDecoder. Reentrant.
  [[nodiscard]] std::size_t decode(std::span<const std::uint8_t> record, char* out) const noexcept;

 private:
  struct Steps;
  std::unique_ptr<const Steps> steps_;
};

}  // namespace quor
