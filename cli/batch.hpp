#pragma once
// A batch: whole records of one input, handed from the reader to an encoder and on to the writer, with
// what became of them.

#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <new>
#include <utility>
#include <string>
#include <vector>

#include "change_messages.hpp"

namespace quor::cli {

// An allocator whose resize() leaves new bytes as they are, for a buffer whose bytes are written in
// place right after (a record the plan fills): no zeroing first.
template <class T>
struct UninitializedAllocator : std::allocator<T> {
  template <class U>
  struct rebind {
    using other = UninitializedAllocator<U>;
  };
  UninitializedAllocator() = default;
  template <class U>
  explicit UninitializedAllocator(const UninitializedAllocator<U>&) noexcept {}
  template <class U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <class U, class... Args>
  void construct(U* p, Args&&... args) {
    std::construct_at(p, std::forward<Args>(args)...);
  }
};

struct Batch {
  struct BadLine {
    std::size_t line;     // index in the batch
    std::string problem;  // why it is bad
  };
  // A value of a good record written other than it reads (with --lenient).
  struct ChangedValue {
    std::size_t line;     // index in the batch
    std::string problem;  // the field, the value and what changed
  };
  // The changed values a batch lists at most: the run lists the first of them only.
  static constexpr std::size_t kListedChanges = 20;

  // Set by the reader.
  std::size_t input = 0;                // the input's index (BatchReader::display)
  std::vector<std::uint64_t> lines;     // the line each record starts on in its input, from 1
  std::uint64_t bytesRead = 0;          // of all inputs, when the batch was cut: for the progress line
  std::string text;                     // the records, maybe with line ends between them
  std::vector<std::size_t> starts;      // where each record starts in text (after a byte-order mark)
  std::vector<std::size_t> ends;        // where each record ends in text (before its line end)
  bool lineTooLong = false;             // the batch's one record is longer than the longest kept: no text
  bool utf16 = false;                   // the input is UTF-16, its records given as UTF-8
  // The input's columns in the layout's order (with a header line): entry k is the value of layout
  // column k. None: the values stand in the layout's order.
  std::shared_ptr<const std::vector<std::size_t>> order;

  // Set by the encoder.
  std::vector<std::uint8_t, UninitializedAllocator<std::uint8_t>> records;  // the good records back to back
  std::vector<std::size_t> recordEnds;  // where each one ends
  std::vector<BadLine> badLines;        // in line order
  ChangeCounts changes{};               // values of the good records written differently
  std::vector<ChangedValue> changed;    // the first kListedChanges of them, in line order
  std::exception_ptr failure;           // an unforeseen failure at line failedLine ends the batch
  std::size_t failedLine = 0;
  bool done = false;  // encoded: guarded by the pool's mutex

  [[nodiscard]] std::size_t lineCount() const noexcept { return ends.size(); }

  // A failure the encoder threw: it ends the batch before its first line, with nothing encoded.
  void fail(std::exception_ptr thrown) noexcept {
    records.clear();
    recordEnds.clear();
    badLines.clear();
    changed.clear();
    failure = std::move(thrown);
    failedLine = 0;
  }

  void clearLines() {
    text.clear();
    starts.clear();
    ends.clear();
    lines.clear();
    lineTooLong = false;
  }

  // Once written: room grown for a long line is given back, so a batch waiting for its next turn
  // holds no more than `keep` bytes of lines or records.
  void release(std::size_t keep) {
    if (text.capacity() > keep) std::string().swap(text);
    if (records.capacity() > keep) decltype(records)().swap(records);
  }
};

}  // namespace quor::cli
