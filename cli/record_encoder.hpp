#pragma once
// Builds the records of a batch: each record cut into its values (RFC 4180 CSV, or at every "," for
// plain lines), put in the layout's column order, and written the fast way by the record plan when
// every value is one it writes as it reads; otherwise decoded from its encoding and built by the
// library's record builder, which says which values it writes other than they read. A file of several
// record layouts names each line's layout in its first value; JSON Lines objects go to the builder.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "batch.hpp"
#include "quor/csv.hpp"
#include "quor/error.hpp"
#include "quor/gaiji_mapping.hpp"
#include "quor/json_lines.hpp"
#include "quor/layout.hpp"
#include "quor/record.hpp"
#include "quor/record_plan.hpp"
#include "quor/record_types.hpp"

namespace quor::cli {

struct RecordRules {
  const std::vector<NamedLayout>& layouts;  // the records' layouts: one, or several each line names
  bool convertSign = true;
  TextEncoding encoding = TextEncoding::utf8;
  bool lenient = false;  // a value written other than it reads is written so, instead of a bad record
  std::optional<CsvOptions> csv;  // none: plain lines, cut at every ","
  HostCodePage host = HostCodePage::fujitsu;  // typed text and national fields' code page
  bool shiftCodes = true;                     // typed text fields hold double-byte runs
  bool padVarying = false;                    // records of varying length padded to the longest record's length

  [[nodiscard]] RecordOptions recordOptions() const {
    RecordOptions options{convertSign, false, host, shiftCodes};
    options.padVarying = padVarying;
    return options;
  }
  const JsonLinesReader* json = nullptr;  // JSON Lines instead of CSV
  bool shortRecords = false;  // V and VB: a line may give a record's first values only, its end absent
  const RecordSelector* selector = nullptr;  // each record's type field must select its own layout

  // Each line names its record's layout first.
  [[nodiscard]] bool named() const noexcept { return layouts.size() > 1; }
};

// One encoder is used by one thread; encoders on different threads share nothing but the read-only
// layouts, plans, selector, JSON reader and gaiji reading.
class RecordEncoder {
 public:
  // `plans` are the plans of the rules' layouts, shared by every encoder and kept by the caller.
  RecordEncoder(const RecordRules& rules, const GaijiMapping& mapping, const std::vector<EncodePlan>& plans);

  // Fills the batch's records, bad lines and change counts from its records (a line the reader found
  // too long is a bad line as it stands). An unforeseen failure is kept in the batch (failure,
  // failedLine) and ends it there.
  void encode(Batch& batch) noexcept;

 private:
  // What a record of one layout is written with.
  struct Way {
    const NamedLayout* layout;
    RecordBuilder builder;
    const EncodePlan* plan;
    std::vector<std::size_t> columns;  // the layout's fields that take a value
    std::string name;                  // the layout's name as a line gives it, in the input's encoding
  };

  // Builds record `index` into the batch. False when the record is bad; problem_ then says why.
  bool encodeRecord(std::string_view record, std::size_t index, Batch& batch);
  // The builder's way: the whole record decoded, then built value by value. `cutWhole`: cut() took
  // the record (otherwise problem_ says why it could not).
  bool buildRecord(std::string_view record, bool cutWhole, std::size_t way, std::size_t index, Batch& batch);
  // A JSON Lines record, built from its object's values.
  bool buildJsonRecord(std::string_view record, std::size_t index, Batch& batch);
  // Builds items_, the first `given` of the layout's values (the rest absent), into the batch.
  bool buildItems(std::size_t way, std::size_t given, std::size_t index, Batch& batch);
  // Cuts `record` into values, keeping at most the most any layout takes (and a name) in cutValues_
  // and counting them all in valueCount_; false, with problem_ set, for malformed CSV.
  bool cut(std::string_view record);
  // The layout a line's first value names; false, with problem_ set, for none.
  bool layoutNamed(std::string_view name, std::size_t& way);
  // True when the record's type field selects its own layout; otherwise problem_ says what it selects.
  bool typeMatches(std::size_t way, std::span<const std::uint8_t> record);
  // Why field `field` of a record of `way` that failed with `error` cannot be written.
  [[nodiscard]] std::string failure(std::size_t way, const Error& error) const;

  const RecordRules rules_;
  std::vector<Way> ways_;  // one a layout
  std::size_t mostColumns_ = 0;
  std::optional<CsvSplitter> splitter_;
  std::span<const std::string_view> cutValues_;  // the values as cut, bytes: the first of them
  std::vector<std::string_view> listed_;          // the values of a list, not CSV
  std::size_t valueCount_ = 0;               // the values of the record cut last
  std::vector<std::string_view> values_;     // in the layout's order
  std::u16string text_;                      // decoded values, storage reused
  std::vector<std::u16string> jsonValues_;   // a JSON record's values
  std::vector<std::u16string_view> items_;   // the values decoded, in the layout's order
  std::vector<std::size_t> itemEnds_;
  std::vector<ValueChange> changes_;         // one a column
  ByteString record_;                        // storage reused
  std::string problem_;                      // why the last bad record is bad
};

}  // namespace quor::cli
