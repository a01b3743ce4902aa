#pragma once
// The records of one host record file as its framing gives them, each with the layout its type field
// selects (the library's RecordStream), read in blocks of the file: memory holds a block and the
// longest record, whatever the file's size. decode and dump read their inputs through it.

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
#include "quor/record_stream.hpp"
#include "quor/record_types.hpp"

namespace quor::cli {

class FramedInput {
 public:
  // Reads `input` framed as `framing`. Fixed records are as long as their layout (of `layouts`, the one
  // `selector` selects where there are several) or, without layouts, `fixedLength`; those of a layout
  // with varying tables as long as their counters say, read with `options`.
  FramedInput(const InputFile& input, const Framing& framing, const std::vector<NamedLayout>& layouts,
              const RecordSelector* selector, std::size_t fixedLength = 0, const RecordOptions& options = {});

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
    for (;;) {
      const std::size_t at = begin_;
      const RecordStream::Item got = stream_.next({buffer_.data() + begin_, end_ - begin_}, ended_);
      begin_ += got.consumed;
      if (got.kind == RecordStream::Item::Kind::needMore) {
        fill(got.wanted);
        continue;
      }
      Item item;
      item.number = got.number;
      item.offset = base_ + at + got.begin;
      item.layout = got.layout;
      item.problem = got.problem;
      item.passedOver = got.passedOver;
      item.resumes = got.resumes;
      if (got.kind == RecordStream::Item::Kind::record) {
        item.kind = Item::Kind::record;
        item.bytes = std::span<const std::uint8_t>(buffer_.data() + at + got.begin, got.length);
      } else {
        item.kind = got.kind == RecordStream::Item::Kind::bad ? Item::Kind::bad : Item::Kind::end;
      }
      return item;
    }
  }

  [[nodiscard]] std::uint64_t bytesRead() const noexcept { return bytesRead_; }

 private:
  // Keeps the unread bytes, makes room for `wanted` of them and reads; false at the end of the input.
  bool fill(std::size_t wanted);

  const InputFile& input_;
  RecordStream stream_;
  std::vector<std::uint8_t> buffer_;
  std::size_t begin_ = 0;   // the first unread byte
  std::size_t end_ = 0;     // one past the last byte read
  std::uint64_t base_ = 0;  // the file offset of buffer_[0]
  bool ended_ = false;
  std::uint64_t bytesRead_ = 0;
};

}  // namespace quor::cli
