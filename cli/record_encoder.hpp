#pragma once
// Builds the records of a batch: each line decoded from its encoding, cut into values at every ",",
// built by the library's record builder, and checked for values written other than they read.

#include <string>
#include <string_view>
#include <vector>

#include "batch.hpp"
#include "quor/error.hpp"
#include "quor/gaiji_mapping.hpp"
#include "quor/layout.hpp"
#include "quor/record.hpp"

namespace quor::cli {

enum class InputEncoding { utf8, cp932 };

struct RecordRules {
  const Layout& layout;
  bool convertSign = true;
  InputEncoding encoding = InputEncoding::utf8;
  bool lenient = false;  // a value written other than it reads is written so, instead of a bad record
};

// One encoder is used by one thread; encoders on different threads share nothing but the read-only
// layout and gaiji reading.
class RecordEncoder {
 public:
  RecordEncoder(const RecordRules& rules, const GaijiMapping& mapping);

  // Fills the batch's records, bad lines and change counts from its lines. An unforeseen failure is
  // kept in the batch (failure, failedLine) and ends it there.
  void encode(Batch& batch) noexcept;

 private:
  // Builds the record of line `index` into the batch. False when the record is bad; problem_ then says
  // why.
  bool encodeLine(std::string_view line, std::size_t index, Batch& batch);
  // Why field `field` of a record that failed with `error` cannot be written.
  [[nodiscard]] std::string failure(const Error& error) const;

  const RecordRules rules_;
  RecordBuilder builder_;
  const std::vector<std::size_t> columns_;  // the layout's fields that take a value
  std::u16string text_;                     // the decoded line, storage reused
  std::vector<std::u16string_view> items_;  // its values, views into text_
  std::vector<ValueChange> changes_;        // one a field
  ByteString record_;                       // storage reused
  std::string problem_;                     // why the last bad record is bad
};

}  // namespace quor::cli
