// The CSV reader's public face: options checked once, then each call handed to the SSE2 scanner
// where the target has SSE2 and to the scalar one elsewhere.

#include "quor/csv.hpp"

#include <algorithm>
#include <cstdio>

#include "base/api_guard.hpp"
#include "text/csv_scan.hpp"

namespace quor {

namespace {

using text::csv::CutProgress;
using text::csv::ScanState;

#if QUOR_CSV_SSE2
// The most fields CsvSplitter::texts makes room for ahead, before it knows how many a record has.
constexpr std::size_t kPlainRoom = std::size_t{1} << 16;
constexpr auto kLineFeeds = text::csv::lineFeedsSse2;
constexpr auto kCut = text::csv::cutSse2;
constexpr auto kSplit = text::csv::splitSse2;
#else
constexpr auto kLineFeeds = text::csv::lineFeedsScalar;
constexpr auto kCut = text::csv::cutScalar;
constexpr auto kSplit = text::csv::splitScalar;
#endif

}  // namespace

void checkCsvOptions(const CsvOptions& options) {
  const auto delimiter = static_cast<unsigned char>(options.delimiter);
  if (delimiter < 0x80 && delimiter != '"' && delimiter != '\r' && delimiter != '\n') return;
  base::guarded([&] {
    char code[8];
    std::snprintf(code, sizeof code, "0x%02X", static_cast<unsigned>(delimiter));
    throw Error(errors::kInvalidCall, std::string("the CSV delimiter is ") + code +
                                          ": it must be one ASCII character other than the quote, CR and LF");
  });
}

std::size_t findLineFeeds(std::string_view bytes, std::size_t most, bool stopAtQuote,
                          std::vector<std::size_t>& lineFeeds) {
  return base::guarded([&] { return kLineFeeds(bytes, most, stopAtQuote, lineFeeds); });
}

CsvRecordCutter::CsvRecordCutter(const CsvOptions& options) : options_(options) {
  checkCsvOptions(options);
}

CsvRecordEnd CsvRecordCutter::next(std::string_view bytes, bool endOfInput) noexcept {
  if (bytes.size() < scanned_) restart();  // fewer bytes than scanned: not the record that needed more
  CutProgress progress{scanned_, lineEndsScanned_, static_cast<ScanState>(state_)};
  const CsvRecordEnd end = kCut(bytes, endOfInput, options_, progress);
  scanned_ = progress.offset;
  lineEndsScanned_ = progress.lineEndsInside;
  state_ = static_cast<std::uint8_t>(progress.state);
  return end;
}

void CsvRecordCutter::restart() noexcept {
  scanned_ = 0;
  lineEndsScanned_ = 0;
  state_ = static_cast<std::uint8_t>(ScanState::fieldStart);
  skipping_ = false;
}

CsvRecordEnd CsvRecordCutter::skip(std::string_view piece, bool endOfInput) noexcept {
  // The byte-at-a-time scanner keeps everything it needs in its state, where the SSE2 one looks back at
  // the bytes before, which a skipped record no longer has.
  const auto state = static_cast<ScanState>(state_);
  if (piece.empty() && endOfInput && skipping_) {
    // The record given so far ends with the input.
    const CsvRecordEnd end{state == ScanState::quoted ? CsvCut::unclosedQuote : CsvCut::record, 0, 0,
                           lineEndsScanned_};
    restart();
    return end;
  }
  CutProgress progress{0, lineEndsScanned_, state};
  const CsvRecordEnd end = text::csv::cutScalar(piece, endOfInput, options_, progress);
  scanned_ = 0;
  lineEndsScanned_ = progress.lineEndsInside;
  state_ = static_cast<std::uint8_t>(progress.state);
  skipping_ = end.cut == CsvCut::needMore;
  return end;
}

CsvSplitter::CsvSplitter(const CsvOptions& options) : options_(options) {
  checkCsvOptions(options);
}

std::span<const CsvField> CsvSplitter::split(std::string_view record) {
  return split(record, static_cast<std::size_t>(-1));
}

std::span<const CsvField> CsvSplitter::split(std::string_view record, std::size_t most) {
  return base::guarded([&] {
    count_ = 0;
    count_ = kSplit(record, options_, fields_, unescaped_, most);
    return std::span<const CsvField>(fields_);
  });
}

std::span<const std::string_view> CsvSplitter::texts(std::string_view record, std::size_t most) {
  return base::guarded([&] {
    count_ = 0;
#if QUOR_CSV_SSE2
    // Room for every field the record may have, grown only for a record of more than any before; a
    // long record kept whole (more than kPlainRoom fields may be kept) is split as split() splits it,
    // the room growing with its fields rather than with its bytes.
    const std::size_t room = std::min(most, record.size() + 1);
    if (room != 0 && room <= kPlainRoom) {
      if (texts_.size() < room) texts_.resize(std::max(room, 2 * texts_.size()));
      if ((count_ = text::csv::splitPlainSse2(record, options_, most, texts_.data())) != 0)
        return std::span<const std::string_view>(texts_.data(), std::min(count_, most));
    }
#endif
    count_ = kSplit(record, options_, fields_, unescaped_, most);
    if (texts_.size() < fields_.size()) texts_.resize(fields_.size());
    for (std::size_t k = 0; k < fields_.size(); ++k) texts_[k] = fields_[k].text;
    return std::span<const std::string_view>(texts_.data(), fields_.size());
  });
}

}  // namespace quor
