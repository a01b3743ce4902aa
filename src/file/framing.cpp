// Record framing both ways: the descriptor words of V and VB files read and written, each by one
// kernel.

#include "quor/framing.hpp"

#include <algorithm>

#include "base/api_guard.hpp"
#include "quor/error.hpp"

namespace quor {

namespace {

using Bytes = std::span<const std::uint8_t>;

// The 2-byte form's largest block length: a BDW with the high bit set is of the extended form.
constexpr std::uint64_t kLongestShortBlock = 0x7FFF;

// The length a descriptor word gives and its bytes 3 and 4.
struct Descriptor {
  std::uint64_t length;
  std::uint16_t reserved;
};

void writeRdw(std::uint64_t length, bool littleEndian, std::uint8_t* out) noexcept {
  const auto high = static_cast<std::uint8_t>(length >> 8);
  const auto low = static_cast<std::uint8_t>(length);
  out[0] = littleEndian ? low : high;
  out[1] = littleEndian ? high : low;
  out[2] = 0;
  out[3] = 0;
}

// A BDW: the 2-byte form, or the extended one (high bit set, a 31-bit length).
Descriptor readBdw(const std::uint8_t* bytes) noexcept {
  if ((bytes[0] & 0x80u) != 0)
    return {(std::uint64_t{bytes[0] & 0x7Fu} << 24) | (std::uint64_t{bytes[1]} << 16) |
                (std::uint64_t{bytes[2]} << 8) | bytes[3],
            0};
  return {std::uint64_t{bytes[0]} << 8 | bytes[1], static_cast<std::uint16_t>(bytes[2] << 8 | bytes[3])};
}

void writeBdw(std::uint64_t length, std::uint8_t* out) noexcept {
  if (length <= kLongestShortBlock) {
    out[0] = static_cast<std::uint8_t>(length >> 8);
    out[1] = static_cast<std::uint8_t>(length);
    out[2] = 0;
    out[3] = 0;
    return;
  }
  out[0] = static_cast<std::uint8_t>(0x80u | (length >> 24));
  out[1] = static_cast<std::uint8_t>(length >> 16);
  out[2] = static_cast<std::uint8_t>(length >> 8);
  out[3] = static_cast<std::uint8_t>(length);
}

// A frame found after `n` bytes: its offsets and consumed bytes counted from before them.
Frame after(std::size_t n, Frame frame) noexcept {
  frame.begin += n;
  frame.at += n;
  frame.consumed += n;
  return frame;
}

Frame waiting(bool atEnd) noexcept {
  Frame frame;
  frame.status = atEnd ? FrameStatus::end : FrameStatus::needMore;
  return frame;
}

std::string hex4(std::uint64_t value) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text;
  for (int shift = 12; shift >= 0; shift -= 4) {
    text += kHex[(value >> shift) & 0xFu];
    if (shift == 8) text += ' ';
  }
  return text;
}

}  // namespace

bool parseRecordFormat(std::string_view text, RecordFormat& format) {
  std::string upper(text);
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  if (upper == "F" || upper == "FB") {
    format = RecordFormat::fixed;
  } else if (upper == "V") {
    format = RecordFormat::variable;
  } else if (upper == "VB") {
    format = RecordFormat::variableBlocked;
  } else {
    return false;
  }
  return true;
}

std::size_t longestFramedRecord(const Framing& framing) noexcept {
  constexpr std::size_t kMostLength = 0xFFFF;
  return framing.rdwCountsData ? kMostLength : kMostLength - kDescriptorBytes;
}

std::string describeFrame(const Frame& frame) {
  return base::guarded([&]() -> std::string {
    const std::string length = std::to_string(frame.value);
    const std::string left = std::to_string(frame.left);
    switch (frame.problem) {
      case FrameProblem::none:
        return "no problem";
      case FrameProblem::leftover:
        return left + (frame.left == 1 ? " leftover byte" : " leftover bytes") +
               " after the last whole record";
      case FrameProblem::descriptorCut:
        return std::string(frame.value == 0 ? "an RDW" : "a BDW") + " cut short by the end of the input (" +
               left + " of its 4 bytes)";
      case FrameProblem::recordCut:
        return "a record of " + length + " bytes cut short by the end of the input (" + left +
               " of them there)";
      case FrameProblem::blockCut:
        return "the input ends inside a block, " + left + (frame.left == 1 ? " byte" : " bytes") +
               " before its end";
      case FrameProblem::rdwTooShort:
        return "an RDW of length " + length + ", less than its own 4 bytes";
      case FrameProblem::rdwReserved:
        return "an RDW whose bytes 3 and 4 are " + hex4(frame.value) +
               ", not 00 00 (a segment of a spanned record has them; spanned records are not read)";
      case FrameProblem::rdwPastBlock:
        return "an RDW of length " + length + ", past the end of its block (" + left + " bytes left in it)";
      case FrameProblem::blockSlack:
        return left + (frame.left == 1 ? " byte" : " bytes") +
               " left at the end of a block, too few for an RDW";
      case FrameProblem::bdwTooShort:
        return "a BDW of length " + length + ", less than a BDW and an RDW (8 bytes)";
      case FrameProblem::bdwReserved:
        return "a BDW whose bytes 3 and 4 are " + hex4(frame.value) + ", not 00 00";
    }
    return "an impossible frame";
  });
}

Frame FrameReader::stop(FrameProblem problem, std::size_t at, Bytes bytes) noexcept {
  stopped_ = true;
  Frame frame;
  frame.status = FrameStatus::bad;
  frame.problem = problem;
  frame.at = at;
  frame.consumed = bytes.size();
  return frame;
}

Frame FrameReader::skipBlock(FrameProblem problem, std::size_t at, Bytes bytes) noexcept {
  Frame frame;
  frame.status = FrameStatus::bad;
  frame.problem = problem;
  frame.at = at;
  frame.resumes = true;
  frame.skipped = blockLeft_;
  const std::uint64_t here = std::min<std::uint64_t>(bytes.size() - at, blockLeft_);
  frame.consumed = at + static_cast<std::size_t>(here);
  skipping_ = blockLeft_ - here;
  blockLeft_ = 0;
  return frame;
}

Frame FrameReader::nextFrame(Bytes bytes, bool atEnd, std::size_t fixedLength) noexcept {
  if (stopped_) {
    Frame frame = waiting(atEnd);
    frame.consumed = bytes.size();
    return frame;
  }
  if (skipping_ > 0) {
    // The rest of a block after a bad RDW.
    const std::uint64_t here = std::min<std::uint64_t>(bytes.size(), skipping_);
    skipping_ -= here;
    const auto n = static_cast<std::size_t>(here);
    if (skipping_ > 0) {
      Frame frame = waiting(atEnd);
      frame.consumed = n;
      return frame;
    }
    return after(n, nextFrame(bytes.subspan(n), atEnd, fixedLength));
  }
  switch (framing_.format) {
    case RecordFormat::fixed: {
      const std::size_t length = std::max<std::size_t>(fixedLength, 1);
      if (bytes.empty()) return waiting(atEnd);
      if (bytes.size() < length) {
        if (!atEnd) return waiting(false);
        Frame frame = stop(FrameProblem::leftover, 0, bytes);
        frame.left = bytes.size();
        return frame;
      }
      return fixedRecord(length);
    }
    case RecordFormat::variable:
      return nextVariable(bytes, atEnd);
    case RecordFormat::variableBlocked:
      return nextBlocked(bytes, atEnd);
  }
  return stop(FrameProblem::none, 0, bytes);
}

Frame FrameReader::nextVariable(Bytes bytes, bool atEnd) noexcept {
  if (bytes.empty()) return waiting(atEnd);
  if (bytes.size() < kDescriptorBytes) {
    if (!atEnd) return waiting(false);
    Frame frame = stop(FrameProblem::descriptorCut, 0, bytes);
    frame.left = bytes.size();
    return frame;
  }
  std::uint64_t data = 0;
  if (!rdwData(bytes.data(), data)) {
    const std::uint16_t reserved = rdwReserved(bytes.data());
    Frame frame = stop(reserved != 0 ? FrameProblem::rdwReserved : FrameProblem::rdwTooShort, 0, bytes);
    frame.value = reserved != 0 ? reserved : rdwLength(bytes.data());
    return frame;
  }
  if (bytes.size() - kDescriptorBytes < data) {
    if (!atEnd) return waiting(false);
    Frame frame = stop(FrameProblem::recordCut, 0, bytes);
    frame.value = data;
    frame.left = bytes.size() - kDescriptorBytes;
    return frame;
  }
  return variableRecord(data);
}

Frame FrameReader::nextBlocked(Bytes bytes, bool atEnd) noexcept {
  if (blockLeft_ > 0) return nextInBlock(bytes, atEnd);
  if (bytes.empty()) return waiting(atEnd);
  if (bytes.size() < kDescriptorBytes) {
    if (!atEnd) return waiting(false);
    Frame frame = stop(FrameProblem::descriptorCut, 0, bytes);
    frame.value = 1;  // a BDW
    frame.left = bytes.size();
    return frame;
  }
  const Descriptor bdw = readBdw(bytes.data());
  if (bdw.reserved != 0 || bdw.length < 2 * kDescriptorBytes) {
    Frame frame = stop(bdw.reserved != 0 ? FrameProblem::bdwReserved : FrameProblem::bdwTooShort, 0, bytes);
    frame.value = bdw.reserved != 0 ? bdw.reserved : bdw.length;
    return frame;
  }
  blockSize_ = bdw.length;
  blockLeft_ = bdw.length - kDescriptorBytes;
  return after(kDescriptorBytes, nextInBlock(bytes.subspan(kDescriptorBytes), atEnd));
}

Frame FrameReader::nextInBlock(Bytes bytes, bool atEnd) noexcept {
  const auto cut = [&] {
    Frame frame = stop(FrameProblem::blockCut, 0, bytes);
    frame.left = blockLeft_ - bytes.size();
    return frame;
  };
  if (blockLeft_ < kDescriptorBytes) {
    if (bytes.size() < blockLeft_ && atEnd) return cut();
    Frame frame = skipBlock(FrameProblem::blockSlack, 0, bytes);
    frame.left = frame.skipped;
    return frame;
  }
  if (bytes.size() < kDescriptorBytes) return atEnd ? cut() : waiting(false);
  std::uint64_t data = 0;
  if (!rdwData(bytes.data(), data)) {
    const std::uint16_t reserved = rdwReserved(bytes.data());
    Frame frame = skipBlock(reserved != 0 ? FrameProblem::rdwReserved : FrameProblem::rdwTooShort, 0, bytes);
    frame.value = reserved != 0 ? reserved : rdwLength(bytes.data());
    return frame;
  }
  const std::uint64_t total = kDescriptorBytes + data;
  if (total > blockLeft_) {
    const std::uint64_t left = blockLeft_;
    Frame frame = skipBlock(FrameProblem::rdwPastBlock, 0, bytes);
    frame.value = rdwLength(bytes.data());
    frame.left = left;
    return frame;
  }
  if (bytes.size() < total) return atEnd ? cut() : waiting(false);
  blockLeft_ -= total;
  return variableRecord(data);
}

FrameWriter::FrameWriter(const Framing& framing) : framing_(framing) {
  if (framing.format == RecordFormat::variableBlocked &&
      (framing.blockSize < kSmallestBlock || framing.blockSize > kLargestBlock))
    throw Error(errors::kInvalidCall, "a block size of " + std::to_string(framing.blockSize) +
                                          " bytes: blocks hold " + std::to_string(kSmallestBlock) + " to " +
                                          std::to_string(kLargestBlock) + " bytes");
}

bool FrameWriter::fits(std::size_t length) const noexcept {
  switch (framing_.format) {
    case RecordFormat::fixed:
      return true;
    case RecordFormat::variable:
      return length <= longestFramedRecord(framing_);
    case RecordFormat::variableBlocked:
      return length <= longestFramedRecord(framing_) && length <= framing_.blockSize - 2 * kDescriptorBytes;
  }
  return false;
}

void FrameWriter::append(Bytes record, std::vector<std::uint8_t>& out) {
  base::guarded([&] {
    if (!fits(record.size()))
      throw Error(errors::kInvalidCall,
                  "a record of " + std::to_string(record.size()) + " bytes is longer than its framing holds");
    const std::uint64_t length = framing_.rdwCountsData ? record.size() : record.size() + kDescriptorBytes;
    std::uint8_t rdw[kDescriptorBytes];
    writeRdw(length, framing_.littleEndianRdw, rdw);
    switch (framing_.format) {
      case RecordFormat::fixed:
        out.insert(out.end(), record.begin(), record.end());
        return;
      case RecordFormat::variable:
        out.insert(out.end(), rdw, rdw + kDescriptorBytes);
        out.insert(out.end(), record.begin(), record.end());
        return;
      case RecordFormat::variableBlocked:
        if (kDescriptorBytes + block_.size() + kDescriptorBytes + record.size() > framing_.blockSize)
          finish(out);
        block_.insert(block_.end(), rdw, rdw + kDescriptorBytes);
        block_.insert(block_.end(), record.begin(), record.end());
        return;
    }
  });
}

void FrameWriter::finish(std::vector<std::uint8_t>& out) {
  base::guarded([&] {
    if (block_.empty()) return;
    std::uint8_t bdw[kDescriptorBytes];
    writeBdw(kDescriptorBytes + block_.size(), bdw);
    out.insert(out.end(), bdw, bdw + kDescriptorBytes);
    out.insert(out.end(), block_.begin(), block_.end());
    block_.clear();
  });
}

}  // namespace quor
