#include "record_reader.hpp"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

#include "interruption.hpp"
#include "io_error.hpp"
#include "quor/text.hpp"

namespace quor::cli {

namespace {

// Room the buffer keeps for a read: a UTF-16 unit needs up to three bytes of UTF-8, a pair four.
constexpr std::size_t kUtf16Room = 8;
// The byte that stands for a surrogate without its pair or an odd last byte: never in UTF-8 text.
constexpr char kNotUtf16 = '\xFF';

bool isHighSurrogate(char16_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}

bool isLowSurrogate(char16_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

}  // namespace

RecordReader::RecordReader(int fd, std::string name, std::size_t blockSize, std::size_t longestLine,
                           std::optional<CsvOptions> csv, InputForm form)
    : fd_(fd),
      name_(std::move(name)),
      longest_(longestLine),
      block_(blockSize == 0 ? 1 : blockSize),
      buffer_(block_),
      form_(form) {
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
  // The lines before the first quote end at their LFs: found in one pass rather than record by record.
  if (!byteOrderMark_ && begin_ < end_) {
    lineFeeds_.clear();
    const char* const base = buffer_.data();
    findLineFeeds(std::string_view(base + begin_, std::min(end_ - begin_, bytes)), most, cutter_.has_value(),
                  lineFeeds_);
    const std::size_t from = begin_;
    for (const std::size_t lf : lineFeeds_) {
      const std::size_t at = from + lf;
      const std::size_t stop = at > begin_ && base[at - 1] == '\r' ? at - 1 : at;
      if (stop - begin_ > longest_) break;
      cuts.push_back({begin_, stop - begin_, nextLine_});
      lineNumber_ = nextLine_;
      ++nextLine_;
      taken += at + 1 - begin_;
      begin_ = at + 1;
    }
    if (!cuts.empty()) {
      scanned_ = 0;
      found_.reset();
      if (cutter_) cutter_->restart();
    }
  }
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
  // next() skips a record before it outgrows longest_ + 2 bytes (the record, a CR and its LF); a
  // UTF-16 read needs a few bytes of room.
  const std::size_t room = utf16_ != Order::none || !started_ ? kUtf16Room : 1;
  if (buffer_.size() - end_ < room) {
    buffer_.resize(std::min(std::max(buffer_.size() * 2, end_ + room), longest_ + kUtf16Room));
  } else if (buffer_.size() > block_ && end_ <= block_ / 2 && block_ - end_ >= room) {
    // Grown for a long record, the buffer goes back to a block once what it holds fits in half of one.
    std::vector<char> smaller(block_);
    std::copy_n(buffer_.data(), end_, smaller.data());
    buffer_.swap(smaller);
  }
  const std::size_t before = end_;
  if (!started_) {
    start();
  } else if (utf16_ != Order::none) {
    readUtf16();
  } else {
    const ssize_t got = readInterruptibly(fd_, buffer_.data() + end_, buffer_.size() - end_);
    if (got < 0) throw ioErrorFromErrno("cannot read " + name_, errno);
    if (got == 0) eof_ = true;
    end_ += static_cast<std::size_t>(got);
    bytesRead_ += static_cast<std::uint64_t>(got);
  }
  return !eof_ || end_ != before;
}

void RecordReader::start() {
  // Two bytes tell a UTF-16 byte order mark.
  while (end_ < 2 && !eof_) {
    const ssize_t got = readInterruptibly(fd_, buffer_.data() + end_, buffer_.size() - end_);
    if (got < 0) throw ioErrorFromErrno("cannot read " + name_, errno);
    if (got == 0) eof_ = true;
    end_ += static_cast<std::size_t>(got);
    bytesRead_ += static_cast<std::uint64_t>(got);
  }
  started_ = true;
  const std::string_view first(buffer_.data(), std::min<std::size_t>(end_, 2));
  const Order mark = first == "\xFF\xFE" ? Order::little : first == "\xFE\xFF" ? Order::big : Order::none;
  const char* const names[] = {"", "little-endian", "big-endian"};
  switch (form_) {
    case InputForm::bytes:
      return;
    case InputForm::utf8:
    case InputForm::cp932:
      if (mark != Order::none)
        throw UsageError(
            name_ +
            " starts with a UTF-16 byte order mark: it is UTF-16 text, which --encoding utf-16 reads");
      byteOrderMark_ = form_ == InputForm::utf8;
      return;
    case InputForm::utf8OrUtf16:
      byteOrderMark_ = mark == Order::none;
      utf16_ = mark;
      break;
    case InputForm::utf16:
      if (mark == Order::none)
        throw UsageError(
            name_ + " has no UTF-16 byte order mark: give its byte order, --encoding utf-16le or utf-16be");
      utf16_ = mark;
      break;
    case InputForm::utf16le:
    case InputForm::utf16be:
      utf16_ = form_ == InputForm::utf16le ? Order::little : Order::big;
      if (mark != Order::none && mark != utf16_)
        throw UsageError(name_ + " starts with a " + names[static_cast<int>(mark)] +
                         " byte order mark, and --encoding " +
                         (utf16_ == Order::little ? "utf-16le" : "utf-16be") + " reads " +
                         names[static_cast<int>(utf16_)] + " text: --encoding utf-16 follows the mark");
      break;
  }
  if (utf16_ == Order::none) return;
  // The bytes read so far are UTF-16: converted from raw_, the mark left out.
  const std::size_t skip = mark != Order::none ? 2 : 0;
  raw_.resize(std::max({block_, kUtf16Room, end_}));
  rawHeld_ = end_ - skip;
  rawEnded_ = eof_;
  eof_ = false;
  std::copy_n(buffer_.data() + skip, rawHeld_, raw_.data());
  end_ = 0;
  convertUtf16();
}

void RecordReader::readUtf16() {
  if (!rawEnded_ && rawHeld_ < raw_.size() / 2) {
    const ssize_t got = readInterruptibly(fd_, raw_.data() + rawHeld_, raw_.size() - rawHeld_);
    if (got < 0) throw ioErrorFromErrno("cannot read " + name_, errno);
    if (got == 0) rawEnded_ = true;
    rawHeld_ += static_cast<std::size_t>(got);
    bytesRead_ += static_cast<std::uint64_t>(got);
  }
  convertUtf16();
}

void RecordReader::convertUtf16() {
  const auto* bytes = reinterpret_cast<const unsigned char*>(raw_.data());
  const bool little = utf16_ == Order::little;
  const auto unitAt = [&](std::size_t i) {
    return static_cast<char16_t>(little ? bytes[i] | bytes[i + 1] << 8 : bytes[i] << 8 | bytes[i + 1]);
  };
  const auto flush = [&] {
    if (units_.empty()) return;
    const std::string utf8 = toUtf8(units_);  // the library's one UTF-8 encoder
    std::copy(utf8.begin(), utf8.end(), buffer_.data() + end_);
    end_ += utf8.size();
    units_.clear();
  };
  // Each unit gives at most three bytes, a pair four, a unit without its pair one: as many are taken
  // as the buffer has room for.
  const auto roomFor = [&](std::size_t bytes) { return end_ + 3 * units_.size() + bytes <= buffer_.size(); };
  std::size_t i = 0;
  while (i + 1 < rawHeld_ && roomFor(4)) {
    const char16_t unit = unitAt(i);
    if (isHighSurrogate(unit)) {
      if (i + 3 >= rawHeld_ && !rawEnded_) break;  // its pair may come with the next read
      if (i + 3 < rawHeld_ && isLowSurrogate(unitAt(i + 2))) {
        units_ += unit;
        units_ += unitAt(i + 2);
        i += 4;
        continue;
      }
    }
    if (isHighSurrogate(unit) || isLowSurrogate(unit)) {
      flush();
      buffer_[end_++] = kNotUtf16;
    } else {
      units_ += unit;
    }
    i += 2;
  }
  flush();
  if (rawEnded_ && i + 1 == rawHeld_ && end_ < buffer_.size()) {  // an odd last byte
    buffer_[end_++] = kNotUtf16;
    i = rawHeld_;
  }
  std::copy(raw_.data() + i, raw_.data() + rawHeld_, raw_.data());
  rawHeld_ -= i;
  eof_ = rawEnded_ && rawHeld_ == 0;
}

}  // namespace quor::cli
