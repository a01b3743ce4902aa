#pragma once
// Builds the records of a batch: each record cut into its values (RFC 4180 CSV, or at every "," for
// plain lines), put in the layout's column order, and written the fast way by the record plan when
// every value is one it writes as it reads; otherwise decoded from its encoding and built by the
// library's record builder, which says which values it writes other than they read.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "batch.hpp"
#include "quor/csv.hpp"
#include "quor/error.hpp"
#include "quor/gaiji_mapping.hpp"
#include "quor/layout.hpp"
#include "quor/record.hpp"
#include "quor/record_plan.hpp"

namespace quor::cli {

struct RecordRules {
  const Layout& layout;
  bool convertSign = true;
  TextEncoding encoding = TextEncoding::utf8;
  bool lenient = false;  // a value written other than it reads is written so, instead of a bad record
  std::optional<CsvOptions> csv;  // none: plain lines, cut at every ","
  HostCodePage host = HostCodePage::fujitsu;  // typed text and national fields' code page
  bool shiftCodes = true;                     // typed text fields hold double-byte runs

  [[nodiscard]] RecordOptions recordOptions() const { return {convertSign, false, host, shiftCodes}; }
};

// One encoder is used by one thread; encoders on different threads share nothing but the read-only
// layout, plan and gaiji reading.
class RecordEncoder {
 public:
  // `plan` is the rules' plan, shared by every encoder and kept by the caller.
  RecordEncoder(const RecordRules& rules, const GaijiMapping& mapping, const EncodePlan& plan);

  // Fills the batch's records, bad lines and change counts from its records (a line the reader found
  // too long is a bad line as it stands). An unforeseen failure is kept in the batch (failure,
  // failedLine) and ends it there.
  void encode(Batch& batch) noexcept;

 private:
  // Builds record `index` into the batch. False when the record is bad; problem_ then says why.
  bool encodeRecord(std::string_view record, std::size_t index, Batch& batch);
  // The builder's way: the whole record decoded, then built value by value. `cutWhole`: cut() took
  // the record (otherwise problem_ says why it could not).
  bool buildRecord(std::string_view record, bool cutWhole, std::size_t index, Batch& batch);
  // Cuts `record` into values, keeping at most the layout's count of them in cutValues_ and counting
  // them all in valueCount_; false, with problem_ set, for malformed CSV.
  bool cut(std::string_view record);
  // Why field `field` of a record that failed with `error` cannot be written.
  [[nodiscard]] std::string failure(const Error& error) const;

  const RecordRules rules_;
  RecordBuilder builder_;
  const EncodePlan& plan_;
  const std::vector<std::size_t> columns_;  // the layout's fields that take a value
  std::optional<CsvSplitter> splitter_;
  std::vector<std::string_view> cutValues_;  // the values as cut, bytes: the first of them
  std::size_t valueCount_ = 0;               // the values of the record cut last
  std::vector<std::string_view> values_;     // in the layout's order
  std::u16string text_;                      // decoded values, storage reused
  std::vector<std::u16string_view> items_;   // the values decoded, in the layout's order
  std::vector<std::size_t> itemEnds_;
  std::vector<ValueChange> changes_;         // one a column
  ByteString record_;                        // storage reused
  std::string problem_;                      // why the last bad record is bad
};

}  // namespace quor::cli
