#include "record_reader.hpp"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

#include "interruption.hpp"
#include "io_error.hpp"

namespace quor::cli {

RecordReader::RecordReader(int fd, std::string name, std::size_t blockSize, std::size_t longestLine,
                           std::optional<CsvOptions> csv, bool dropByteOrderMark)
    : fd_(fd),
      name_(std::move(name)),
      longest_(longestLine),
      block_(blockSize == 0 ? 1 : blockSize),
      buffer_(block_),
      byteOrderMark_(dropByteOrderMark) {
  if (csv) cutter_.emplace(*csv);
}

std::optional<RecordReader::Found> RecordReader::find() {
  if (found_) return found_;
  const char* base = buffer_.data();
  if (byteOrderMark_) {
    // Dropped before the first record is cut, so a quote right after it opens a quoted field.
    constexpr std::string_view kMark = "\xEF\xBB\xBF";
    const std::string_view start(base + begin_, std::min(end_ - begin_, kMark.size()));
    if (start.size() < kMark.size() && !eof_ && kMark.starts_with(start)) return std::nullopt;
    if (start == kMark) begin_ += kMark.size();
    byteOrderMark_ = false;
  }
  if (cutter_) {
    const CsvRecordEnd end = cutter_->next(std::string_view(base + begin_, end_ - begin_), eof_);
    if (end.cut == CsvCut::record || end.cut == CsvCut::unclosedQuote) {
      // A quoted field left open at the end is a malformed record; the splitter says so.
      found_ = Found{end.length, end.lineEndLength, end.lineEndsInside};
    }
    return found_;
  }
  const void* lf = std::memchr(base + begin_ + scanned_, '\n', end_ - begin_ - scanned_);
  if (lf != nullptr) {
    const auto at = static_cast<std::size_t>(static_cast<const char*>(lf) - base);
    const std::size_t stop = at > begin_ && base[at - 1] == '\r' ? at - 1 : at;
    found_ = Found{stop - begin_, at + 1 - stop, 0};
  } else if (eof_ && begin_ != end_) {
    // The last line has no line end; it is still a line.
    const std::size_t stop = buffer_[end_ - 1] == '\r' ? end_ - 1 : end_;
    found_ = Found{stop - begin_, end_ - stop, 0};
  } else {
    scanned_ = end_ - begin_;
  }
  return found_;
}

bool RecordReader::next(std::string_view& record) {
  tooLong_ = false;
  for (;;) {
    if (const std::optional<Found> found = find()) {
      const std::size_t begin = begin_;
      begin_ += found->length + found->lineEnd;
      scanned_ = 0;
      found_.reset();
      give(begin, found->length, found->lineEndsInside, record);
      return true;
    }
    if (eof_ && begin_ == end_) return false;
    if (end_ - begin_ > longest_ + 1) {
      // Longer than the longest record even should a CR LF come next.
      lineNumber_ = nextLine_;
      skipRestOfRecord();
      ++nextLine_;
      tooLong_ = true;
      record = {};
      return true;
    }
    refill();
  }
}

std::size_t RecordReader::take(std::size_t most, std::size_t bytes, std::vector<Cut>& cuts) {
  cuts.clear();
  tooLong_ = false;
  std::size_t taken = 0;
  while (cuts.size() < most && taken < bytes) {
    const std::optional<Found> found = find();
    if (!found || found->length > longest_) break;
    cuts.push_back({begin_, found->length, nextLine_});
    lineNumber_ = nextLine_;
    nextLine_ += 1 + found->lineEndsInside;
    begin_ += found->length + found->lineEnd;
    taken += found->length + found->lineEnd;
    scanned_ = 0;
    found_.reset();
  }
  return cuts.size();
}

void RecordReader::give(std::size_t begin, std::size_t length, std::size_t lineEndsInside, std::string_view& record) {
  lineNumber_ = nextLine_;
  nextLine_ += 1 + lineEndsInside;
  tooLong_ = length > longest_;
  record = tooLong_ ? std::string_view() : std::string_view(buffer_.data() + begin, length);
}

void RecordReader::skipRestOfRecord() {
  scanned_ = 0;
  found_.reset();
  if (!cutter_) {
    for (;;) {
      const void* lf = std::memchr(buffer_.data() + begin_, '\n', end_ - begin_);
      if (lf != nullptr) {
        begin_ = static_cast<std::size_t>(static_cast<const char*>(lf) - buffer_.data()) + 1;
        return;
      }
      begin_ = end_;
      if (!refill()) return;
    }
  }
  // The record is read on through its quoted fields, whose line breaks do not end it, holding only
  // the cutter's state: what is held of it is given first, then each block read.
  cutter_->restart();
  for (;;) {
    const CsvRecordEnd end = cutter_->skip(std::string_view(buffer_.data() + begin_, end_ - begin_), eof_);
    if (end.cut != CsvCut::needMore) {
      begin_ += end.length + end.lineEndLength;
      nextLine_ += end.lineEndsInside;
      return;
    }
    begin_ = end_;
    refill();
  }
}

bool RecordReader::lineAtHand() {
  if (eof_ || find()) return true;
  pollfd ready{fd_, POLLIN, 0};
  // A failing poll says nothing about the input: let the read find out.
  return ::poll(&ready, 1, 0) != 0;
}

bool RecordReader::refill() {
  if (eof_) return false;
  if (begin_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  // next() skips a record before it outgrows longest_ + 2 bytes (the record, a CR and its LF).
  if (end_ == buffer_.size()) buffer_.resize(std::min(buffer_.size() * 2, longest_ + 2));
  // Grown for a long record, the buffer goes back to a block once what it holds fits in half of one.
  if (buffer_.size() > block_ && end_ <= block_ / 2) {
    std::vector<char> smaller(block_);
    std::copy_n(buffer_.data(), end_, smaller.data());
    buffer_.swap(smaller);
  }
  for (;;) {
    const ssize_t got = readInterruptibly(fd_, buffer_.data() + end_, buffer_.size() - end_);
    if (got < 0) throw ioErrorFromErrno("cannot read " + name_, errno);
    if (got == 0) {
      eof_ = true;
      return false;
    }
    end_ += static_cast<std::size_t>(got);
    bytesRead_ += static_cast<std::uint64_t>(got);
    return true;
  }
}

}  // namespace quor::cli
