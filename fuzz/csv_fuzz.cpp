// The CSV reader with arbitrary bytes. Each record is cut by the library's cutter, given the input a
// block at a time, and split by its splitter, and:
//   - each cut and each split (fields or message) is the scalar reference's;
//   - records and line ends cover the input, and each LF in it ends a record or is counted inside one;
//   - a record cut as ending inside a quote does not split; no other fails as not closed;
//   - the fields of a record, written again with every field quoted, read back as one record of the
//     same fields, each quoted;
//   - the record read through skip() in blocks ends where next() ends it, with the same count of line
//     ends inside;
//   - a split keeping at most half its fields keeps the first ones, counts them all, and fails with
//     the same message; the texts alone are the same;
//   - the LFs found in one pass before the first quote are the ends of the records before it.
// Records are split from copies of their own size, so a read past one is caught.
//
// Input: byte 0 gives the delimiter (bits 0-2), code page 932 (bit 3) and the cutter's block (bits
// 4-7: 1 to 43 bytes, 15 all at once); the rest is the input.

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.hpp"
#include "quor/csv.hpp"
#include "text/csv_scan.hpp"

namespace {

using namespace quor;

// Four delimiters that can never be a second byte, four that can.
constexpr char kDelimiters[] = {',', '\t', ';', ' ', '|', '@', '\\', '\x7F'};

// The message `split` throws, or "".
template <class Split>
std::string failure(Split&& split) {
  try {
    split();
    return "";
  } catch (const Error& e) {
    QUOR_FUZZ_CHECK(e.number() == errors::kInvalidCall);
    return e.what();
  }
}

void checkRoundTrip(std::span<const CsvField> fields, const CsvOptions& options) {
  std::string written;
  for (const CsvField& field : fields) {
    if (&field != fields.data()) written += options.delimiter;
    written += '"';
    for (const char c : field.text) written.append(c == '"' ? 2 : 1, c);
    written += '"';
  }
  const auto lineEnds = static_cast<std::size_t>(std::count(written.begin(), written.end(), '\n'));
  QUOR_FUZZ_CHECK((CsvRecordCutter(options).next(written + "\r\n", true) ==
                   CsvRecordEnd{CsvCut::record, written.size(), 2, lineEnds}));
  CsvSplitter splitter(options);
  const std::span<const CsvField> read = splitter.split(written);
  QUOR_FUZZ_CHECK(std::ranges::equal(
      read, fields, [](const CsvField& a, const CsvField& b) { return a.quoted && a.text == b.text; }));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const CsvOptions options{kDelimiters[data[0] & 7u], (data[0] & 8u) != 0 ? quor::TextEncoding::cp932 : quor::TextEncoding::utf8};
  const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::size_t block =
      (data[0] >> 4) == 15 ? input.size() + 1 : 1 + 3 * static_cast<std::size_t>(data[0] >> 4);

  CsvRecordCutter cutter(options);
  CsvSplitter splitter(options);
  std::size_t lineEnds = 0;
  // The LFs before the first quote, found in one pass: each ends a record.
  std::vector<std::size_t> feeds;
  findLineFeeds(input, input.size(), true, feeds);
  const std::size_t firstQuote = input.find('"');
  std::size_t feed = 0;
  std::string_view rest = input;
  for (;;) {
    text::csv::CutProgress fresh;
    const CsvRecordEnd expected = text::csv::cutScalar(rest, true, options, fresh);
    CsvRecordEnd end;
    for (std::size_t have = std::min(block, rest.size());
         (end = cutter.next(rest.substr(0, have), have == rest.size())).cut == CsvCut::needMore;)
      have = std::min(have + block, rest.size());
    QUOR_FUZZ_CHECK(end == expected);
    if (end.cut == CsvCut::end) break;

    CsvRecordCutter skipper(options);
    std::size_t skippedTo = 0;
    CsvRecordEnd skipped;
    for (;;) {
      const std::size_t piece = std::min(block, rest.size() - skippedTo);
      skipped = skipper.skip(rest.substr(skippedTo, piece), skippedTo + piece == rest.size());
      if (skipped.cut != CsvCut::needMore) break;
      skippedTo += piece;
    }
    QUOR_FUZZ_CHECK(skipped.cut == end.cut && skipped.lineEndsInside == end.lineEndsInside);
    QUOR_FUZZ_CHECK(skippedTo + skipped.length + skipped.lineEndLength == end.length + end.lineEndLength);

    const std::string_view lineEnd = rest.substr(end.length, end.lineEndLength);
    QUOR_FUZZ_CHECK(lineEnd == std::string_view("\r\n").substr(2 - lineEnd.size()));
    QUOR_FUZZ_CHECK(lineEnd.size() != 1 || end.length == 0 || rest[end.length - 1] != '\r');
    QUOR_FUZZ_CHECK(!lineEnd.empty() || end.length == rest.size());
    lineEnds += end.lineEndsInside + (lineEnd.empty() ? 0 : 1);
    const std::size_t lf = input.size() - rest.size() + end.length + end.lineEndLength - 1;
    if (!lineEnd.empty() && lf < firstQuote) QUOR_FUZZ_CHECK(feed < feeds.size() && feeds[feed++] == lf);

    const std::vector<char> copy(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(end.length));
    const std::string_view record(copy.data(), copy.size());
    std::span<const CsvField> fields;
    const std::string error = failure([&] { fields = splitter.split(record); });
    std::vector<CsvField> reference;
    std::string storage;
    QUOR_FUZZ_CHECK(error == failure([&] {
                      text::csv::splitScalar(record, options, reference, storage,
                                             static_cast<std::size_t>(-1));
                    }));
    CsvSplitter capped(options);
    const std::size_t most = reference.size() / 2;
    std::span<const CsvField> kept;
    QUOR_FUZZ_CHECK(error == failure([&] { kept = capped.split(record, most); }));
    if (error.empty()) {
      QUOR_FUZZ_CHECK(capped.fieldCount() == reference.size() && kept.size() == most);
      QUOR_FUZZ_CHECK(std::ranges::equal(kept, std::span<const CsvField>(reference).first(most)));
      QUOR_FUZZ_CHECK(std::ranges::equal(fields, reference));
      const std::span<const std::string_view> texts = capped.texts(record, most);
      QUOR_FUZZ_CHECK(capped.fieldCount() == reference.size() && texts.size() == most);
      for (std::size_t k = 0; k < most; ++k) QUOR_FUZZ_CHECK(texts[k] == reference[k].text);
      QUOR_FUZZ_CHECK(end.cut == CsvCut::record);
      checkRoundTrip(fields, options);
    } else {
      QUOR_FUZZ_CHECK(end.cut == CsvCut::unclosedQuote ||
                      error.find(text::csv::kNotClosed) == std::string::npos);
    }
    rest.remove_prefix(end.length + end.lineEndLength);
  }
  QUOR_FUZZ_CHECK(rest.empty());
  QUOR_FUZZ_CHECK(feed == feeds.size());
  QUOR_FUZZ_CHECK(lineEnds == static_cast<std::size_t>(std::count(input.begin(), input.end(), '\n')));
  return 0;
}
