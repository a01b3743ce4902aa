#pragma once
// Cuts the inputs, read in order as one input, into batches of whole lines of one input each.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "batch.hpp"
#include "input_file.hpp"
#include "line_reader.hpp"
#include "record_encoder.hpp"

namespace quor::cli {

class BatchReader {
 public:
  // A batch holds at most `batchLines` lines and about `batchBytes` bytes of them.
  BatchReader(const std::vector<std::string>& names, InputEncoding encoding, std::size_t batchLines,
              std::size_t batchBytes);

  // True when every input has been read to its end. Opens the next input when one ended; throws
  // IoError when it cannot be opened.
  bool done();

  // True when fill() would not wait for the producer of a pipe or a terminal.
  bool lineAtHand() { return longLine_ != 0 || !reader_ || reader_->lineAtHand(); }

  // Fills `batch` with the next lines of the open input (done() was false). It holds at least one line
  // unless the input ended; it is cut short rather than wait for more input. Throws IoError when the
  // input cannot be read; the batch then holds the lines read before. A UTF-8 byte-order mark at the
  // start of an input is not part of its first line. A line too long to keep comes alone in its batch,
  // marked lineTooLong.
  void fill(Batch& batch);

  [[nodiscard]] const std::string& display(std::size_t input) const { return displays_[input]; }

 private:
  const std::vector<std::string>& names_;
  const InputEncoding encoding_;
  const std::size_t batchLines_;
  const std::size_t batchBytes_;
  std::size_t next_ = 0;  // the next input to open
  std::unique_ptr<InputFile> file_;
  std::unique_ptr<LineReader> reader_;  // of file_; none between inputs
  std::vector<std::string> displays_;   // the names of the inputs opened, for messages
  std::uint64_t bytesRead_ = 0;         // of the inputs read to their end
  std::uint64_t longLine_ = 0;          // a line too long met while a batch was filled: the next one's
};

}  // namespace quor::cli
