#include "framed_input.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "change_messages.hpp"
#include "interruption.hpp"
#include "io_error.hpp"
#include "quor/text.hpp"

namespace quor::cli {

namespace {

// The file is read this many bytes at a time, more for a longer record.
constexpr std::size_t kReadBytes = std::size_t{1} << 20;

}  // namespace

FramedInput::FramedInput(const InputFile& input, const Framing& framing,
                         const std::vector<NamedLayout>& layouts, const RecordSelector* selector,
                         std::size_t fixedLength)
    : input_(input), reader_(framing), layouts_(layouts), selector_(selector), fixedLength_(fixedLength) {
  std::size_t longest = fixedLength;
  for (const NamedLayout& layout : layouts) {
    longest = std::max(longest, layout.layout.recordLength);
    if (!commonLength_) commonLength_ = layout.layout.recordLength;
    if (*commonLength_ != layout.layout.recordLength) commonLength_ = 0;
  }
  if (commonLength_ == std::size_t{0}) commonLength_.reset();
  oneLayout_ = selector == nullptr && layouts.size() <= 1;
  if (framing.format == RecordFormat::fixed)
    fixedOnly_ = layouts.empty() ? fixedLength : layouts.front().layout.recordLength;
  // Room for a block and a record more than a block's worth (an RDW's longest is below a block).
  buffer_.resize(std::max(kReadBytes, longest + kReadBytes / 4));
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

std::size_t FramedInput::layoutOf(std::span<const std::uint8_t> bytes, std::string& problem) const {
  if (selector_ == nullptr) return layouts_.empty() ? kNoLayout : 0;
  const LayoutField& field = selector_->field();
  if (bytes.size() < selector_->bytesNeeded()) {
    problem = "a record of " + counted(bytes.size(), "byte") + ", too short for its type field " +
              field.name + " (bytes " + std::to_string(field.offset + 1) + " to " +
              std::to_string(selector_->bytesNeeded()) + ")";
    return kNoLayout;
  }
  const std::size_t layout = selector_->select(bytes);
  if (layout != kNoLayout) return layout;
  const char* fault = nullptr;
  const std::u16string value = selector_->valueOf(bytes, fault);
  problem = "its type field " + field.name +
            (fault != nullptr ? " cannot be read: " + std::string(fault)
                              : " holds \"" + toUtf8(value) + "\", which no --type names");
  return kNoLayout;
}

FramedInput::Item FramedInput::nextItem(const Frame* first) {
  Item item;
  for (;;) {
    if (stopped_) return item;
    const std::span<const std::uint8_t> held(buffer_.data() + begin_, end_ - begin_);
    const RecordFormat format = reader_.framing().format;
    std::size_t fixed = fixedLength_;
    std::size_t chosen = layouts_.empty() ? kNoLayout : 0;
    if (format == RecordFormat::fixed && !layouts_.empty()) {
      fixed = layouts_.front().layout.recordLength;
      if (selector_ != nullptr) {
        // A fixed record is as long as the layout its type field selects.
        const std::size_t needed = selector_->bytesNeeded();
        if (held.size() < needed && !ended_) {
          fill(needed);
          continue;
        }
        if (held.size() >= needed) {
          chosen = layoutOf(held, problem_);
          if (chosen != kNoLayout) {
            fixed = layouts_[chosen].layout.recordLength;
          } else if (commonLength_) {
            fixed = *commonLength_;
          } else {
            // The record's length is its layout's: without one, where the next record starts is unknown.
            stopped_ = true;
            item.kind = Item::Kind::bad;
            item.offset = base_ + begin_;
            item.number = records_ + 1;
            problem_ += ", and the records of the layouts differ in length";
            passedOver_ = "the rest of the input passed over";
            item.problem = problem_;
            item.passedOver = passedOver_;
            return item;
          }
        } else {
          fixed = needed;  // fewer bytes than a type field at the end: leftover bytes
        }
      }
    }
    const Frame frame = first != nullptr ? *first : reader_.next(held, ended_, fixed);
    first = nullptr;
    const std::size_t at = begin_;
    begin_ += frame.consumed;
    switch (frame.status) {
      case FrameStatus::needMore:
        fill(0);
        continue;
      case FrameStatus::end:
        return item;
      case FrameStatus::bad:
        item.kind = Item::Kind::bad;
        item.offset = base_ + at + frame.at;
        problem_ = describeFrame(frame);
        if (format == RecordFormat::fixed && layouts_.size() == 1)
          problem_ += " (records are " + counted(fixed, "byte") + ")";
        item.resumes = frame.resumes;
        passedOver_ = frame.resumes
                          ? "the rest of its block, " + counted(frame.skipped, "byte") + ", passed over"
                          : "the rest of the input passed over";
        if (!frame.resumes) stopped_ = true;
        // Leftover bytes at the end are where a record would be.
        if (frame.problem == FrameProblem::leftover) item.number = records_ + 1;
        item.problem = problem_;
        item.passedOver = passedOver_;
        return item;
      case FrameStatus::record:
        item.kind = Item::Kind::record;
        item.number = ++records_;
        item.offset = base_ + at + frame.begin;
        item.bytes = std::span<const std::uint8_t>(buffer_.data() + at + frame.begin, frame.length);
        if (format != RecordFormat::fixed && selector_ != nullptr) chosen = layoutOf(item.bytes, problem_);
        item.layout = chosen;
        if (chosen == kNoLayout && !layouts_.empty()) item.problem = problem_;
        return item;
    }
  }
}

}  // namespace quor::cli
