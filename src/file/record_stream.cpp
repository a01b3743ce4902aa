// The records of a host record file one after the other: its framing, and for fixed records of several
// layouts the length of the layout each record's type field selects.

#include "quor/record_stream.hpp"

#include <algorithm>

#include "base/api_guard.hpp"
#include "quor/record_problem.hpp"
#include "quor/text.hpp"

namespace quor {

namespace {

std::string counted(std::uint64_t count, const std::string& noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

}  // namespace

RecordStream::RecordStream(const Framing& framing, std::span<const NamedLayout> layouts,
                           const RecordSelector* selector, std::size_t fixedLength, const RecordOptions& options)
    : reader_(framing),
      layouts_(layouts),
      layoutCount_(layouts.size()),
      selector_(selector),
      fixedLength_(fixedLength),
      longest_(fixedLength) {
  base::guarded([&] {
    bool varies = false;
    for (const NamedLayout& layout : layouts) {
      longest_ = std::max(longest_, layout.layout.recordLength);
      if (!commonLength_) commonLength_ = layout.layout.recordLength;
      if (*commonLength_ != layout.layout.recordLength) commonLength_ = 0;
      // Back to back, a record of varying length is found by its counters.
      std::optional<RecordDecoder>& decoder = varying_.emplace_back();
      if (layout.layout.varies() && !options.padVarying && framing.format == RecordFormat::fixed) {
        decoder.emplace(layout.layout, options);
        varies = true;
      }
    }
    if (commonLength_ == std::size_t{0} || varies) commonLength_.reset();
    oneLayout_ = selector == nullptr && layouts.size() <= 1 && !varies;
    if (framing.format == RecordFormat::fixed && !varies)
      fixedOnly_ = layouts.empty() ? fixedLength : layouts.front().layout.recordLength;
  });
}

RecordStream::~RecordStream() = default;
RecordStream::RecordStream(RecordStream&&) noexcept = default;
RecordStream& RecordStream::operator=(RecordStream&&) noexcept = default;

bool RecordStream::fixedLengthOf(std::size_t layout, std::span<const std::uint8_t> held, std::size_t& length,
                                 Item& item) {
  const std::optional<RecordDecoder>& decoder = varying_[layout];
  if (!decoder) {
    length = layouts_[layout].layout.recordLength;
    return true;
  }
  const RecordExtent extent = decoder->extent(held);
  if (!extent.fault) {
    length = extent.length;
    return true;
  }
  stopped_ = true;
  item.kind = Item::Kind::bad;
  item.begin = extent.fault->offset;
  item.number = records_ + 1;
  problem_ = faultProblem(layouts_[layout].layout, held, *extent.fault).text() +
             "; the records after it cannot be found";
  passedOver_ = "the rest of the input passed over";
  item.problem = problem_;
  item.passedOver = passedOver_;
  return false;
}

std::size_t RecordStream::layoutOf(std::span<const std::uint8_t> bytes) {
  if (selector_ == nullptr) return layouts_.empty() ? kNoLayout : 0;
  const LayoutField& field = selector_->field();
  if (bytes.size() < selector_->bytesNeeded()) {
    problem_ = "a record of " + counted(bytes.size(), "byte") + ", too short for its type field " +
               field.name + " (bytes " + std::to_string(field.offset + 1) + " to " +
               std::to_string(selector_->bytesNeeded()) + ")";
    return kNoLayout;
  }
  const std::size_t layout = selector_->select(bytes);
  if (layout != kNoLayout) return layout;
  const char* fault = nullptr;
  const std::u16string value = selector_->valueOf(bytes, fault);
  problem_ = "its type field " + field.name +
             (fault != nullptr ? " cannot be read: " + std::string(fault)
                               : " holds \"" + toUtf8(value) + "\", which no --type names");
  return kNoLayout;
}

RecordStream::Item RecordStream::nextItem(std::span<const std::uint8_t> held, bool atEnd,
                                          const Frame* first) {
  return base::guarded([&] {
    Item item;
    if (stopped_) return item;
    const RecordFormat format = reader_.framing().format;
    std::size_t fixed = fixedLength_;
    std::size_t chosen = layouts_.empty() ? kNoLayout : 0;
    if (first == nullptr && format == RecordFormat::fixed && !layouts_.empty()) {
      fixed = layouts_.front().layout.recordLength;
      if (selector_ == nullptr && !fixedLengthOf(0, held, fixed, item)) return item;
      if (selector_ != nullptr) {
        // A fixed record is as long as the layout its type field selects.
        const std::size_t needed = selector_->bytesNeeded();
        if (held.size() < needed && !atEnd) {
          item.kind = Item::Kind::needMore;
          item.wanted = needed;
          return item;
        }
        if (held.size() >= needed) {
          chosen = layoutOf(held);
          if (chosen != kNoLayout) {
            if (!fixedLengthOf(chosen, held, fixed, item)) return item;
          } else if (commonLength_) {
            fixed = *commonLength_;
          } else {
            // The record's length is its layout's: without one, where the next record starts is unknown.
            stopped_ = true;
            item.kind = Item::Kind::bad;
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
    const Frame frame = first != nullptr ? *first : reader_.next(held, atEnd, fixed);
    if (first != nullptr) fixed = fixedOnly_;
    item.consumed = frame.consumed;
    switch (frame.status) {
      case FrameStatus::needMore:
        item.kind = Item::Kind::needMore;
        return item;
      case FrameStatus::end:
        item.kind = Item::Kind::end;
        return item;
      case FrameStatus::bad:
        item.kind = Item::Kind::bad;
        item.begin = frame.at;
        problem_ = describeFrame(frame);
        if (format == RecordFormat::fixed && layouts_.size() == 1)
          problem_ += varying_.front() ? " (the record there would be " + counted(fixed, "byte") + ")"
                                       : " (records are " + counted(fixed, "byte") + ")";
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
        item.begin = frame.begin;
        item.length = frame.length;
        if (format != RecordFormat::fixed && selector_ != nullptr)
          chosen = layoutOf(held.subspan(frame.begin, frame.length));
        item.layout = chosen;
        if (chosen == kNoLayout && !layouts_.empty()) item.problem = problem_;
        return item;
    }
    return item;
  });
}

}  // namespace quor
