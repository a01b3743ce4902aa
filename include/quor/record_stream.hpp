#pragma once
// The records of a host record file one after the other, as its framing gives them, each with the
// layout its type field selects: the one way every reader of whole files (the quor tool's decode and
// dump, the Python package) takes a file's bytes apart. It works on the bytes the caller holds of the
// file, from where the last call stopped, and asks for more when they end inside a record, so the
// caller reads the file in blocks of its own and memory holds a block and the longest record.
//
//   quor::RecordStream stream(framing, layouts, selector);
//   for (;;) {
//     const quor::RecordStream::Item item = stream.next(held, atEnd);
//     // record: held.subspan(item.begin, item.length), of layouts[item.layout]; bad: item.problem
//     held = held.subspan(item.consumed);  // needMore: read at least item.wanted bytes more first
//   }

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "quor/framing.hpp"
#include "quor/layout.hpp"
#include "quor/record.hpp"
#include "quor/record_types.hpp"

namespace quor {

class RecordStream {
 public:
  // Records framed as `framing`. Fixed records are as long as their layout (of `layouts`, the one
  // `selector` selects where there are several) or, without layouts, `fixedLength`; a layout with
  // varying tables (OCCURS DEPENDING ON) makes each record as long as its counters say, read with
  // `options` (with padVarying, each stands in a slot of the longest record's length), and a counter
  // that says no length is a bad item after which nothing is read. The layouts and the selector are the
  // caller's and must outlive the stream.
  RecordStream(const Framing& framing, std::span<const NamedLayout> layouts, const RecordSelector* selector,
               std::size_t fixedLength = 0, const RecordOptions& options = {});
  ~RecordStream();
  RecordStream(RecordStream&&) noexcept;
  RecordStream& operator=(RecordStream&&) noexcept;

  struct Item {
    enum class Kind : std::uint8_t {
      record,    // a record: begin and length give its bytes, layout its layout
      bad,       // bytes that are no record, or a record whose layout cannot be told
      needMore,  // the bytes given end inside a record: give them again with more after them
      end,       // the input ended where a record could start
    };
    Kind kind = Kind::end;
    // Bytes of those given done with, whatever the kind: the next call starts after them.
    std::size_t consumed = 0;
    // needMore: the fewest bytes the next call must give (0: any more).
    std::size_t wanted = 0;
    // record, and a bad frame where a record would be: the record's number, counted from 1.
    std::uint64_t number = 0;
    // record: its bytes, from the start of the bytes given; bad: where what is wrong is.
    std::size_t begin = 0;
    std::size_t length = 0;
    std::size_t layout = kNoLayout;  // record: its layout; kNoLayout when none can be told
    // A record without a layout, bad: what is wrong, in words; bad: what reading passes over ("the rest
    // of the input passed over"). Valid until the next call.
    std::string_view problem;
    std::string_view passedOver;
    bool resumes = false;  // bad: reading goes on after it
  };

  // The next record, bad frame, request for more bytes, or the end, from the start of `held`, the
  // bytes of the file from where the last call stopped; `atEnd` when none follow them. Throws
  // quor::Error 7 when memory runs out.
  Item next(std::span<const std::uint8_t> held, bool atEnd) {
    if (oneLayout_) {
      // A record of the one layout (or none) whose bytes are at hand: the common record, inline.
      const Frame frame = reader_.next(held, atEnd, fixedOnly_);
      if (frame.status == FrameStatus::record) {
        Item item;
        item.kind = Item::Kind::record;
        item.consumed = frame.consumed;
        item.number = ++records_;
        item.begin = frame.begin;
        item.length = frame.length;
        item.layout = layoutCount_ == 0 ? kNoLayout : 0;
        return item;
      }
      return nextItem(held, atEnd, &frame);
    }
    return nextItem(held, atEnd, nullptr);
  }

  // True where the next call starts at a record, or at the block that holds it (VB): a place another
  // stream of the same file can start reading at, numbering its records from records() + 1.
  [[nodiscard]] bool atBoundary() const noexcept { return !stopped_ && reader_.atBoundary(); }
  // The records given so far.
  [[nodiscard]] std::uint64_t records() const noexcept { return records_; }
  // The longest record the layouts give (fixedLength without layouts), for a caller sizing its buffer.
  [[nodiscard]] std::size_t longestRecord() const noexcept { return longest_; }

 private:
  // The next item, from `first` when the reader already gave that frame for `held`.
  Item nextItem(std::span<const std::uint8_t> held, bool atEnd, const Frame* first);
  // The layout of the record at `bytes`, or kNoLayout with problem_ saying why.
  std::size_t layoutOf(std::span<const std::uint8_t> bytes);
  // The length of a fixed record of layout `layout` at the start of `held`: its layout's, or what its
  // counters say (more than held.size() when more bytes are needed to tell). False, with `item` the bad
  // item, when a counter says no length.
  bool fixedLengthOf(std::size_t layout, std::span<const std::uint8_t> held, std::size_t& length, Item& item);

  FrameReader reader_;
  std::span<const NamedLayout> layouts_;
  std::size_t layoutCount_ = 0;
  const RecordSelector* selector_;
  std::size_t fixedLength_;
  std::vector<std::optional<RecordDecoder>> varying_;  // a layout's decoder where its records vary in length
  std::optional<std::size_t> commonLength_;  // the length every layout's record has, if one
  bool oneLayout_ = false;                   // no type to tell: every record is of the one layout, or of none
  std::size_t fixedOnly_ = 0;                // fixed records of one layout: their length
  std::size_t longest_ = 0;
  bool stopped_ = false;  // a bad frame without a next record: nothing more is read
  std::uint64_t records_ = 0;
  std::string problem_;  // the words of the item last given
  std::string passedOver_;
};

}  // namespace quor
