#include "batch_reader.hpp"

#include <string_view>

namespace quor::cli {

namespace {
constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";
}  // namespace

BatchReader::BatchReader(const std::vector<std::string>& names, InputEncoding encoding, std::size_t batchLines,
                         std::size_t batchBytes)
    : names_(names), encoding_(encoding), batchLines_(batchLines), batchBytes_(batchBytes) {}

bool BatchReader::done() {
  if (reader_) return false;
  if (next_ == names_.size()) return true;
  file_ = std::make_unique<InputFile>(names_[next_]);
  ++next_;
  displays_.push_back(file_->display());
  reader_ = std::make_unique<LineReader>(file_->fd(), file_->display());
  return false;
}

void BatchReader::fill(Batch& batch) {
  batch.clearLines();
  batch.input = displays_.size() - 1;
  const auto fillWithLongLine = [&](std::uint64_t lineNumber) {
    batch.firstLine = lineNumber;
    batch.ends.push_back(0);
    batch.lineTooLong = true;
    batch.bytesRead = bytesRead_ + reader_->bytesRead();
  };
  if (longLine_ != 0) {
    fillWithLongLine(longLine_);
    longLine_ = 0;
    return;
  }
  std::string_view line;
  while (batch.lineCount() < batchLines_ && batch.text.size() < batchBytes_) {
    if (batch.lineCount() > 0 && !reader_->lineAtHand()) return;
    if (!reader_->next(line)) {
      bytesRead_ += reader_->bytesRead();
      reader_.reset();
      file_.reset();
      return;
    }
    if (reader_->tooLong()) {
      if (batch.lineCount() == 0)
        fillWithLongLine(reader_->lineNumber());
      else
        longLine_ = reader_->lineNumber();
      return;
    }
    if (batch.lineCount() == 0) batch.firstLine = reader_->lineNumber();
    if (reader_->lineNumber() == 1 && encoding_ == InputEncoding::utf8 &&
        line.substr(0, kUtf8ByteOrderMark.size()) == kUtf8ByteOrderMark)
      line.remove_prefix(kUtf8ByteOrderMark.size());
    batch.text.append(line);
    batch.ends.push_back(batch.text.size());
    batch.bytesRead = bytesRead_ + reader_->bytesRead();
  }
}

}  // namespace quor::cli
