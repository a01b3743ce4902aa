#pragma once
// The records of one host record file as its framing gives them, each with the layout its type field
// selects, read in blocks of the file: memory holds a block and the longest record, whatever the
// file's size. decode and dump read their inputs through it.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "input_file.hpp"
#include "quor/framing.hpp"
#include "quor/layout.hpp"
#include "quor/record_types.hpp"

namespace quor::cli {

class FramedInput {
 public:
  // Reads `input` framed as `framing`. Fixed records are as long as their layout (of `layouts`, the one
  // `selector` selects where there are several) or, without layouts, `fixedLength`.
  FramedInput(const InputFile& input, const Framing& framing, const std::vector<NamedLayout>& layouts,
              const RecordSelector* selector, std::size_t fixedLength = 0);

  struct Item {
    enum class Kind : std::uint8_t { record, bad, end };
    Kind kind = Kind::end;
    std::uint64_t number = 0;             // record, and a bad frame where a record would be: from 1
    std::uint64_t offset = 0;             // record: of its data in the file; bad: of what is wrong
    std::span<const std::uint8_t> bytes;  // record: its data, valid until the next call
    std::size_t layout = kNoLayout;       // record: its layout; kNoLayout when none can be told
    // Record without a layout, bad: what is wrong, in words; bad: what reading passes over ("the rest
    // of the input"). Valid until the next call.
    std::string_view problem;
    std::string_view passedOver;
    bool resumes = false;  // bad: reading goes on after it
  };

  // The next record or bad frame, or the end. Throws IoError when the input cannot be read.
  Item next() {
    if (oneLayout_) {
      // A record of the one layout (or none) whose bytes are at hand: the common record, inline.
      const Frame frame = reader_.next({buffer_.data() + begin_, end_ - begin_}, ended_, fixedOnly_);
      if (frame.status == FrameStatus::record) {
        Item item;
        item.kind = Item::Kind::record;
        item.number = ++records_;
        item.offset = base_ + begin_ + frame.begin;
        item.bytes = std::span<const std::uint8_t>(buffer_.data() + begin_ + frame.begin, frame.length);
        item.layout = layouts_.empty() ? kNoLayout : 0;
        begin_ += frame.consumed;
        return item;
      }
      return nextItem(&frame);
    }
    return nextItem(nullptr);
  }

  [[nodiscard]] std::uint64_t bytesRead() const noexcept { return bytesRead_; }

 private:
  // The next item, from `first` when the reader already gave that frame for the bytes held.
  Item nextItem(const Frame* first);
  // Keeps the unread bytes, makes room for `wanted` of them and reads; false at the end of the input.
  bool fill(std::size_t wanted);
  // The layout of the record at `bytes`, or kNoLayout with `problem` saying why.
  std::size_t layoutOf(std::span<const std::uint8_t> bytes, std::string& problem) const;

  const InputFile& input_;
  FrameReader reader_;
  const std::vector<NamedLayout>& layouts_;
  const RecordSelector* selector_;
  std::size_t fixedLength_;
  std::optional<std::size_t> commonLength_;  // the length every layout's record has, if one
  bool oneLayout_ = false;                   // no type to tell: every record is of the one layout, or of none
  std::size_t fixedOnly_ = 0;                // fixed records of one layout: their length
  std::vector<std::uint8_t> buffer_;
  std::size_t begin_ = 0;   // the first unread byte
  std::size_t end_ = 0;     // one past the last byte read
  std::uint64_t base_ = 0;  // the file offset of buffer_[0]
  bool ended_ = false;
  bool stopped_ = false;  // a bad frame without a next record: nothing more is read
  std::uint64_t records_ = 0;
  std::uint64_t bytesRead_ = 0;
  std::string problem_;  // the words of the item last given
  std::string passedOver_;
};

}  // namespace quor::cli
