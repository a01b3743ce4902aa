// The CSV reader with arbitrary bytes. Every record is cut by the library's cutter, given the input a
// block at a time, and split by its splitter, and:
//   - each cut and each split (fields or message) is the scalar reference's;
//   - records and their line ends cover the input, and every LF of it is a record's line end or is
//     counted inside one;
//   - a record cut as ending inside a quote does not split; any other never fails as not closed;
//   - the fields of a record that splits, written again with every field quoted, read back as one
//     record of the same fields, each quoted.
// Each record is split from a copy of its own size and the input is exactly sized, so a read past
// either is caught.
//
// Input: byte 0 chooses the options (bits 0-2 the delimiter, bit 3 code page 932) and the cutter's
// block (bits 4-7: 1 to 43 bytes, or 15 for all at once); the rest is the input.

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "fuzz_support.hpp"
#include "quor/csv.hpp"
#include "text/csv_scan.hpp"

namespace {

using quor::CsvCut;
using quor::CsvField;
using quor::CsvOptions;
using quor::CsvRecordEnd;

// Four delimiters that can never be a second byte, four that can.
constexpr char kDelimiters[] = {',', '\t', ';', ' ', '|', '@', '\\', '\x7F'};

struct Fields {
  std::vector<std::pair<std::string, bool>> fields;
  std::string error;
  bool operator==(const Fields&) const = default;
};

Fields owned(std::span<const CsvField> fields) {
  Fields out;
  for (const CsvField& f : fields) out.fields.emplace_back(f.text, f.quoted);
  return out;
}

Fields split(quor::CsvSplitter& splitter, std::string_view record) {
  try {
    return owned(splitter.split(record));
  } catch (const quor::Error& e) {
    QUOR_FUZZ_CHECK(e.number() == quor::errors::kInvalidCall);
    return {{}, e.what()};
  }
}

Fields referenceSplit(std::string_view record, const CsvOptions& options) {
  std::vector<CsvField> fields;
  std::string storage;
  try {
    quor::text::csv::splitScalar(record, options, fields, storage);
    return owned(fields);
  } catch (const quor::Error& e) {
    return {{}, e.what()};
  }
}

bool sameEnd(const CsvRecordEnd& a, const CsvRecordEnd& b) {
  return a.cut == b.cut && a.length == b.length && a.lineEndLength == b.lineEndLength &&
         a.lineEndsInside == b.lineEndsInside;
}

// The fields written as one record, every field quoted, each quote doubled.
std::string quotedRecord(const Fields& record, char delimiter) {
  std::string out;
  for (std::size_t i = 0; i < record.fields.size(); ++i) {
    if (i > 0) out += delimiter;
    out += '"';
    for (const char c : record.fields[i].first) out.append(c == '"' ? 2 : 1, c);
    out += '"';
  }
  return out;
}

void checkRoundTrip(const Fields& record, const CsvOptions& options) {
  const std::string written = quotedRecord(record, options.delimiter);
  quor::CsvRecordCutter cutter(options);
  const CsvRecordEnd end = cutter.next(written + "\r\n", true);
  QUOR_FUZZ_CHECK(end.cut == CsvCut::record && end.length == written.size() && end.lineEndLength == 2);
  QUOR_FUZZ_CHECK(end.lineEndsInside ==
                  static_cast<std::size_t>(std::count(written.begin(), written.end(), '\n')));
  quor::CsvSplitter splitter(options);
  Fields expected = record;
  for (auto& field : expected.fields) field.second = true;
  QUOR_FUZZ_CHECK(split(splitter, written) == expected);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const CsvOptions options{kDelimiters[data[0] & 7u], (data[0] & 8u) != 0};
  const unsigned blockCode = data[0] >> 4;
  const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::size_t block = blockCode == 15 ? input.size() + 1 : 1 + 3 * std::size_t{blockCode};

  quor::CsvRecordCutter cutter(options);
  quor::CsvSplitter splitter(options);
  std::size_t pos = 0;
  std::size_t lineEnds = 0;
  for (;;) {
    const std::string_view rest = input.substr(pos);
    quor::text::csv::CutProgress fresh;
    const CsvRecordEnd expected = quor::text::csv::cutScalar(rest, true, options, fresh);
    std::size_t have = std::min(block, rest.size());
    CsvRecordEnd end;
    while ((end = cutter.next(rest.substr(0, have), have == rest.size())).cut == CsvCut::needMore)
      have = std::min(have + block, rest.size());
    QUOR_FUZZ_CHECK(sameEnd(end, expected));
    if (end.cut == CsvCut::end) break;

    QUOR_FUZZ_CHECK(end.length + end.lineEndLength <= rest.size());
    const std::string_view lineEnd = rest.substr(end.length, end.lineEndLength);
    if (lineEnd.empty()) QUOR_FUZZ_CHECK(end.length == rest.size());
    if (lineEnd.size() == 1)
      QUOR_FUZZ_CHECK(lineEnd == "\n" && (end.length == 0 || rest[end.length - 1] != '\r'));
    if (lineEnd.size() == 2) QUOR_FUZZ_CHECK(lineEnd == "\r\n");
    lineEnds += end.lineEndsInside + (lineEnd.empty() ? 0 : 1);

    const std::vector<char> copy(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(end.length));
    const std::string_view record(copy.data(), copy.size());
    const Fields fields = split(splitter, record);
    QUOR_FUZZ_CHECK(fields == referenceSplit(record, options));
    const bool notClosed = fields.error.find(quor::text::csv::kNotClosed) != std::string::npos;
    if (end.cut == CsvCut::unclosedQuote)
      QUOR_FUZZ_CHECK(!fields.error.empty());
    else
      QUOR_FUZZ_CHECK(!notClosed);
    if (fields.error.empty()) checkRoundTrip(fields, options);
    pos += end.length + end.lineEndLength;
  }
  QUOR_FUZZ_CHECK(pos == input.size());
  QUOR_FUZZ_CHECK(lineEnds == static_cast<std::size_t>(std::count(input.begin(), input.end(), '\n')));
  return 0;
}
