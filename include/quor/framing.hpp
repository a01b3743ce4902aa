#pragma once
// Record framing: how the records of a host file stand in its bytes once it reaches the PC.
//
// - F and FB (fixed): records back to back, each as long as its layout says; the host's blocks leave
//   no trace in the bytes.
// - V (variable): each record behind a record descriptor word (RDW) of 4 bytes: the length of the
//   record, the RDW's own 4 bytes included, as 2 bytes big-endian, then 2 zero bytes.
// - VB (variable blocked): blocks, each behind a block descriptor word (BDW) of 4 bytes, the length of
//   the block, the BDW included, as 2 bytes big-endian and 2 zero bytes, or in the extended form a
//   4-byte big-endian length with its high bit set; each block holds whole RDW records.
//
// Transfer programs make two variants of the RDW, which FrameReader and FrameWriter take as options: a
// little-endian length, and a length that counts the record's data without the RDW's 4 bytes.
//
// Reading works on blocks of a file: the caller hands FrameReader the bytes it holds, from where the
// last call stopped, and gets the next record (its place in those bytes), a request for more, the end,
// or an impossible descriptor, with what can be passed over to go on.
//
//   quor::FrameReader reader(quor::Framing{quor::RecordFormat::variable});
//   for (;;) {
//     const quor::Frame frame = reader.next(held, atEnd);
//     held = held.subspan(frame.consumed);  // after using frame.begin, frame.length
//     ...
//   }

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quor {

enum class RecordFormat : std::uint8_t {
  fixed,            // F, FB
  variable,         // V
  variableBlocked,  // VB
};

// The format "F", "FB", "V" or "VB" names, in any letter case; false for anything else.
bool parseRecordFormat(std::string_view text, RecordFormat& format);

struct Framing {
  RecordFormat format = RecordFormat::fixed;
  bool littleEndianRdw = false;   // the RDW's length is little-endian: length low, length high, 0, 0
  bool rdwCountsData = false;     // the RDW's length counts the record's data only, not the RDW itself
  std::size_t blockSize = 32760;  // VB, writing: the most bytes of a block, its BDW included
};

// The bytes of a record or block descriptor word.
inline constexpr std::size_t kDescriptorBytes = 4;
// The most data bytes of a record an RDW frames: its length is 2 bytes.
std::size_t longestFramedRecord(const Framing& framing) noexcept;
// The block sizes FrameWriter writes: a block holds a BDW and at least an RDW and one byte; one longer
// than 32767 bytes is written with the extended BDW; the most is 64 MiB.
inline constexpr std::size_t kSmallestBlock = 2 * kDescriptorBytes + 1;
inline constexpr std::size_t kLargestBlock = std::size_t{64} << 20;

enum class FrameStatus : std::uint8_t {
  record,    // a record: begin and length give its data in the bytes given
  needMore,  // the bytes given end before the next record does: give more (after `consumed`)
  end,       // the input ended where a record could start
  bad,       // an impossible descriptor or a record cut by the end of the input
};

// What is wrong where FrameReader::next gives FrameStatus::bad.
enum class FrameProblem : std::uint8_t {
  none,
  leftover,       // fixed: fewer bytes than a record at the end of the input
  descriptorCut,  // an RDW or BDW cut short by the end of the input
  recordCut,      // V: a record cut short by the end of the input
  blockCut,       // VB: the input ends inside a block
  rdwTooShort,    // an RDW's length less than its own 4 bytes (zero among them)
  rdwReserved,    // an RDW whose bytes 3 and 4 are not zero (a segment of a spanned record is one)
  rdwPastBlock,   // an RDW whose record runs past the end of its block
  blockSlack,     // bytes left at the end of a block, too few for an RDW
  bdwTooShort,    // a BDW's length less than a BDW and an RDW (8 bytes)
  bdwReserved,    // a BDW of the 2-byte form whose bytes 3 and 4 are not zero
};

// What FrameReader::next found. `consumed` bytes of those given are done with, whatever the status:
// the next call starts after them.
struct Frame {
  FrameStatus status = FrameStatus::needMore;
  std::size_t begin = 0;   // record: its data, from the start of the bytes given
  std::size_t length = 0;  // record: its data's bytes
  std::size_t consumed = 0;
  // bad: what is wrong, at which offset of the bytes given, and whether reading can go on. In a VB
  // block the reader passes over the rest of the block (`skipped` bytes from `at`, those beyond the
  // bytes given by the calls that follow, which give needMore or end meanwhile). Anywhere else the
  // framing gives no next record: the rest of the input cannot be read, and the calls that follow take
  // it without a record.
  FrameProblem problem = FrameProblem::none;
  std::size_t at = 0;
  bool resumes = false;
  std::uint64_t skipped = 0;
  std::uint64_t value = 0;  // the descriptor's length, or its bytes 3 and 4 (reserved); the bytes left over
  std::uint64_t left = 0;   // the bytes the input or the block has left, or lacks
};

// The words for a bad frame: "an RDW of length 2, less than its own 4 bytes".
std::string describeFrame(const Frame& frame);

class FrameReader {
 public:
  explicit FrameReader(const Framing& framing) noexcept : framing_(framing) {}

  // The next record at the start of `bytes`, the unread input held from where the last call stopped;
  // `atEnd` when no byte follows them. Fixed records are `fixedLength` bytes (at least 1), the length
  // of the layout of the record at hand; V and VB records are as long as their RDW says.
  [[nodiscard]] Frame next(std::span<const std::uint8_t> bytes, bool atEnd,
                           std::size_t fixedLength = 0) noexcept {
    // The common fixed or V record, inline: its whole bytes at hand.
    if (!stopped_ && skipping_ == 0) {
      if (framing_.format == RecordFormat::fixed && fixedLength != 0 && bytes.size() >= fixedLength)
        return fixedRecord(fixedLength);
      std::uint64_t data = 0;
      if (framing_.format == RecordFormat::variable && bytes.size() >= kDescriptorBytes &&
          rdwData(bytes.data(), data) && bytes.size() - kDescriptorBytes >= data)
        return variableRecord(data);
    }
    return nextFrame(bytes, atEnd, fixedLength);
  }

  // The descriptors' forms, for a caller that shows them.
  [[nodiscard]] const Framing& framing() const noexcept { return framing_; }
  // True where the next call starts at a record's own first byte (fixed), its RDW (V) or its block's BDW
  // (VB, before the block's first record): a place a reader can start at, knowing nothing before it.
  [[nodiscard]] bool atBoundary() const noexcept { return !stopped_ && skipping_ == 0 && blockLeft_ == 0; }

 private:
  static Frame fixedRecord(std::size_t length) noexcept {
    Frame frame;
    frame.status = FrameStatus::record;
    frame.length = length;
    frame.consumed = length;
    return frame;
  }
  static Frame variableRecord(std::uint64_t data) noexcept {
    Frame frame;
    frame.status = FrameStatus::record;
    frame.begin = kDescriptorBytes;
    frame.length = static_cast<std::size_t>(data);
    frame.consumed = static_cast<std::size_t>(kDescriptorBytes + data);
    return frame;
  }
  // The length of an RDW at `bytes` and its bytes 3 and 4, as the framing's RDWs are written.
  [[nodiscard]] std::uint64_t rdwLength(const std::uint8_t* bytes) const noexcept {
    return framing_.littleEndianRdw ? std::uint64_t{bytes[1]} << 8 | bytes[0]
                                    : std::uint64_t{bytes[0]} << 8 | bytes[1];
  }
  static std::uint16_t rdwReserved(const std::uint8_t* bytes) noexcept {
    return static_cast<std::uint16_t>(bytes[2] << 8 | bytes[3]);
  }
  // The data bytes of the record behind the RDW at `bytes`; false for an RDW no record has.
  bool rdwData(const std::uint8_t* bytes, std::uint64_t& data) const noexcept {
    const std::uint64_t length = rdwLength(bytes);
    if (rdwReserved(bytes) != 0 || (!framing_.rdwCountsData && length < kDescriptorBytes)) return false;
    data = framing_.rdwCountsData ? length : length - kDescriptorBytes;
    return true;
  }
  Frame nextFrame(std::span<const std::uint8_t> bytes, bool atEnd, std::size_t fixedLength) noexcept;
  Frame nextVariable(std::span<const std::uint8_t> bytes, bool atEnd) noexcept;
  Frame nextBlocked(std::span<const std::uint8_t> bytes, bool atEnd) noexcept;
  Frame nextInBlock(std::span<const std::uint8_t> bytes, bool atEnd) noexcept;
  // A bad frame that ends reading, or one after which the rest of the block is passed over.
  Frame stop(FrameProblem problem, std::size_t at, std::span<const std::uint8_t> bytes) noexcept;
  Frame skipBlock(FrameProblem problem, std::size_t at, std::span<const std::uint8_t> bytes) noexcept;

  Framing framing_;
  std::uint64_t blockLeft_ = 0;  // VB: bytes of the block at hand still to read
  std::uint64_t blockSize_ = 0;  // VB: the block's length as its BDW gives it
  std::uint64_t skipping_ = 0;   // bytes still to pass over after a bad RDW in a block
  bool stopped_ = false;         // a bad frame without a next record: the rest is passed over
};

// Writes records framed. Records of a VB file wait in the block at hand until the next does not fit.
class FrameWriter {
 public:
  // Throws quor::Error 5 when a VB block size is outside kSmallestBlock..kLargestBlock.
  explicit FrameWriter(const Framing& framing);

  // True when a record of `length` data bytes can be framed: an RDW holds its length, a block holds it.
  [[nodiscard]] bool fits(std::size_t length) const noexcept;
  // Appends `record` framed to `out`: fixed records as they are, V records behind their RDW, VB records
  // to the block at hand, which is appended to `out` first when the record does not fit in it. Throws
  // quor::Error 5 when the record does not fit (fits() is false), 7 when memory runs out.
  void append(std::span<const std::uint8_t> record, std::vector<std::uint8_t>& out);
  // Appends the block at hand (VB), if it holds a record. Throws quor::Error 7 when memory runs out.
  void finish(std::vector<std::uint8_t>& out);

 private:
  Framing framing_;
  std::vector<std::uint8_t> block_;  // VB: the block at hand, after room for its BDW
};

}  // namespace quor
