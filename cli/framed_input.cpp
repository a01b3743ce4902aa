#include "framed_input.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "interruption.hpp"
#include "io_error.hpp"

namespace quor::cli {

namespace {

// The file is read this many bytes at a time, more for a longer record.
constexpr std::size_t kReadBytes = std::size_t{1} << 20;

}  // namespace

FramedInput::FramedInput(const InputFile& input, const Framing& framing,
                         const std::vector<NamedLayout>& layouts, const RecordSelector* selector,
                         std::size_t fixedLength, const RecordOptions& options)
    : input_(input), stream_(framing, layouts, selector, fixedLength, options) {
  // Room for a block and a record more than a block's worth (an RDW's longest is below a block).
  buffer_.resize(std::max(kReadBytes, stream_.longestRecord() + kReadBytes / 4));
}

bool FramedInput::fill(std::size_t wanted) {
  if (begin_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    base_ += begin_;
    end_ -= begin_;
    begin_ = 0;
  }
  if (buffer_.size() < wanted) buffer_.resize(wanted);
  if (end_ == buffer_.size()) buffer_.resize(2 * buffer_.size());
  while (end_ < buffer_.size()) {
    const ssize_t got = readInterruptibly(input_.fd(), buffer_.data() + end_, buffer_.size() - end_);
    if (got < 0) throw ioErrorFromErrno("cannot read " + input_.display(), errno);
    if (got == 0) {
      ended_ = true;
      return false;
    }
    end_ += static_cast<std::size_t>(got);
    bytesRead_ += static_cast<std::uint64_t>(got);
  }
  return true;
}

}  // namespace quor::cli
