#pragma once
// Cuts the inputs, read in order as one input, into batches of whole records of one input each.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "batch.hpp"
#include "input_file.hpp"
#include "quor/csv.hpp"
#include "quor/layout.hpp"
#include "record_encoder.hpp"
#include "record_reader.hpp"

namespace quor::cli {

// How the inputs' records are read.
struct ReadRules {
  TextEncoding encoding = TextEncoding::utf8;  // of the text the reader gives: UTF-16 is given as UTF-8
  InputForm form = InputForm::utf8OrUtf16;
  std::optional<CsvOptions> csv;  // none: plain lines, cut at every "," by the encoder
  bool header = false;            // each input's first record names its columns
  bool skipBlankLines = false;    // an empty line is no record (otherwise a bad one)
};

class BatchReader {
 public:
  // A batch holds at most `batchLines` records and about `batchBytes` bytes of them. With a header,
  // the names are matched to the columns of `layout`.
  BatchReader(const std::vector<std::string>& names, const ReadRules& rules, const Layout& layout,
              std::size_t batchLines, std::size_t batchBytes);

  // True when every input has been read to its end. Opens the next input when one ended and reads its
  // header; throws IoError when it cannot be opened or read, UsageError when its header does not name
  // the layout's columns.
  bool done();

  // True when fill() would not wait for the producer of a pipe or a terminal.
  bool lineAtHand() { return longLine_ != 0 || !reader_ || reader_->lineAtHand(); }

  // Fills `batch` with the next records of the open input (done() was false). It holds at least one
  // unless the input ended; it is cut short rather than wait for more input. Throws IoError when the
  // input cannot be read; the batch then holds the records read before. A UTF-8 byte-order mark at the
  // start of an input is not part of its first record. A record too long to keep comes alone in its
  // batch, marked lineTooLong.
  void fill(Batch& batch);

  [[nodiscard]] const std::string& display(std::size_t input) const { return displays_[input]; }

 private:
  // Reads the header record of the input just opened into order_.
  void readHeader();
  // The column (an index of `columns`) a header name names: the field of that name, else the one
  // whose name differs from it only in the case of its letters. Throws UsageError, after `where`,
  // when there is none, or several (names that differ only in case must be given exactly).
  std::size_t columnNamed(const std::vector<std::size_t>& columns, std::string_view name,
                          const std::string& where) const;

  const std::vector<std::string>& names_;
  const ReadRules rules_;
  const Layout& layout_;
  const std::size_t batchLines_;
  const std::size_t batchBytes_;
  std::size_t next_ = 0;  // the next input to open
  std::unique_ptr<InputFile> file_;
  std::unique_ptr<RecordReader> reader_;  // of file_; none between inputs
  std::shared_ptr<const std::vector<std::size_t>> order_;  // of the open input
  std::vector<std::string> displays_;     // the names of the inputs opened, for messages
  std::uint64_t bytesRead_ = 0;           // of the inputs read to their end
  std::uint64_t longLine_ = 0;            // a record too long met while a batch was filled: the next one's
  std::vector<RecordReader::Cut> cuts_;   // records taken from the reader's buffer at once
};

}  // namespace quor::cli
