#include "line_reader.hpp"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "io_error.hpp"

namespace quor::cli {

LineReader::LineReader(int fd, std::string name, std::size_t blockSize, std::size_t longestLine)
    : fd_(fd), name_(std::move(name)), longest_(longestLine), buffer_(blockSize == 0 ? 1 : blockSize) {}

bool LineReader::next(std::string_view& line) {
  tooLong_ = false;
  for (;;) {
    const char* base = buffer_.data();
    const void* lf = std::memchr(base + begin_ + scanned_, '\n', end_ - begin_ - scanned_);
    if (lf != nullptr) {
      const auto at = static_cast<std::size_t>(static_cast<const char*>(lf) - base);
      std::size_t stop = at;
      if (stop > begin_ && base[stop - 1] == '\r') --stop;
      const std::size_t begin = begin_;
      begin_ = at + 1;
      scanned_ = 0;
      give(begin, stop - begin, line);
      return true;
    }
    scanned_ = end_ - begin_;
    if (scanned_ > longest_ + 1) {
      // Longer than the longest line even should a CR LF come next.
      skipRestOfLine();
      ++lineNumber_;
      tooLong_ = true;
      line = {};
      return true;
    }
    if (!refill()) {
      if (begin_ == end_) return false;
      // The last line has no line end; it is still a line. (refill may have moved the buffer.)
      std::size_t stop = end_;
      if (buffer_[stop - 1] == '\r') --stop;
      const std::size_t begin = begin_;
      begin_ = end_;
      scanned_ = 0;
      give(begin, stop - begin, line);
      return true;
    }
  }
}

void LineReader::give(std::size_t begin, std::size_t length, std::string_view& line) {
  ++lineNumber_;
  tooLong_ = length > longest_;
  line = tooLong_ ? std::string_view() : std::string_view(buffer_.data() + begin, length);
}

void LineReader::skipRestOfLine() {
  scanned_ = 0;
  for (;;) {
    begin_ = end_;
    if (!refill()) return;
    const void* lf = std::memchr(buffer_.data() + begin_, '\n', end_ - begin_);
    if (lf != nullptr) {
      begin_ = static_cast<std::size_t>(static_cast<const char*>(lf) - buffer_.data()) + 1;
      return;
    }
  }
}

bool LineReader::lineAtHand() {
  if (eof_) return true;
  const char* base = buffer_.data();
  const void* lf = std::memchr(base + begin_ + scanned_, '\n', end_ - begin_ - scanned_);
  if (lf != nullptr) {
    // next() takes it from here without scanning again.
    scanned_ = static_cast<std::size_t>(static_cast<const char*>(lf) - base) - begin_;
    return true;
  }
  scanned_ = end_ - begin_;
  pollfd ready{fd_, POLLIN, 0};
  // A failing poll says nothing about the input: let the read find out.
  return ::poll(&ready, 1, 0) != 0;
}

bool LineReader::refill() {
  if (eof_) return false;
  if (begin_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  // next() skips a line before it outgrows longest_ + 2 bytes (the line, a CR and its LF).
  if (end_ == buffer_.size()) buffer_.resize(std::min(buffer_.size() * 2, longest_ + 2));
  for (;;) {
    const ssize_t got = ::read(fd_, buffer_.data() + end_, buffer_.size() - end_);
    if (got < 0 && errno == EINTR) continue;
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
