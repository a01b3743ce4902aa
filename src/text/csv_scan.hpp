#pragma once
// The two scanners behind the CSV reader (quor/csv.hpp). The scalar one reads a byte at a time, as the
// rules read: it is the reference the other is tested against, and the path on targets without SSE2.
// The SSE2 one finds delimiters, quotes and line ends 16 bytes at a time and must give the same
// answers, messages included.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "quor/csv.hpp"
#include "quor/error.hpp"
#include "text/cp932.hpp"

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define QUOR_CSV_SSE2 1
#else
#define QUOR_CSV_SSE2 0
#endif

namespace quor::text::csv {

// Where a cut stopped in a record that needed more bytes: the meaning of the next byte.
enum class ScanState : std::uint8_t {
  fieldStart,     // the first byte of a field
  unquoted,       // inside an unquoted field (or after a closing quote)
  afterLeadByte,  // unquoted, after a code page 932 lead byte (the SSE2 scanner looks back instead)
  quoted,         // inside a quoted field
  quoteInQuoted,  // after a quote inside a quoted field: "" or the closing quote
};

struct CutProgress {
  std::size_t offset = 0;  // bytes of the record scanned
  std::size_t lineEndsInside = 0;
  ScanState state = ScanState::fieldStart;
};

// The end of the record at bytes[0], scanning on from `progress`: a fresh CutProgress for a new
// record, or as the last needMore answer left it. On needMore `progress` holds where scanning stopped;
// after any other answer it is fresh again.
CsvRecordEnd cutScalar(std::string_view bytes, bool endOfInput, const CsvOptions& options,
                       CutProgress& progress) noexcept;
// Splits `record` into `fields` (cleared first), at most `most` of them, and returns the record's
// count of fields, those after the first `most` counted by countFields(). Unescaped quoted fields are
// written to `storage`, which is grown when shorter than the record and never while fields point
// into it. Throws malformed().
std::size_t splitScalar(std::string_view record, const CsvOptions& options, std::vector<CsvField>& fields,
                        std::string& storage, std::size_t most = static_cast<std::size_t>(-1));

// The fields of `record` from the field that starts at record[from] to the end, counted and checked as
// the splitters read them but not kept; `before` fields come before it. Throws malformed() with the
// field numbers and offsets a splitter gives.
std::size_t countFields(std::string_view record, std::size_t from, const CsvOptions& options,
                        std::size_t before);

// Appends the offsets of the LFs in `bytes` to `lineFeeds`, at most `most` of them, and when
// `stopAtQuote` none after the first quote; returns how many it appended.
std::size_t lineFeedsScalar(std::string_view bytes, std::size_t most, bool stopAtQuote,
                            std::vector<std::size_t>& lineFeeds);

#if QUOR_CSV_SSE2
// The common record, without a quote, where every delimiter ends a field: its fields' texts written
// to `texts`, at most `most` of them (`most` > 0, and `texts` has room for min(most, record.size() + 1)),
// found 32 bytes at a time. The record's count of fields; or 0 when the record holds a quote or the
// delimiter may be the second byte of a character: splitSse2 then reads it.
std::size_t splitPlainSse2(std::string_view record, const CsvOptions& options, std::size_t most,
                           std::string_view* texts);
std::size_t lineFeedsSse2(std::string_view bytes, std::size_t most, bool stopAtQuote,
                          std::vector<std::size_t>& lineFeeds);
CsvRecordEnd cutSse2(std::string_view bytes, bool endOfInput, const CsvOptions& options,
                     CutProgress& progress) noexcept;
std::size_t splitSse2(std::string_view record, const CsvOptions& options, std::vector<CsvField>& fields,
                      std::string& storage, std::size_t most = static_cast<std::size_t>(-1));
#endif

// The error of a malformed record: "field 2, byte 7: " and the problem, the byte at `offset` counted
// from 1 as a user counts it.
Error malformed(std::size_t field, std::size_t offset, const char* problem);
inline constexpr char kTextAfterQuote[] = "text after the closing quote";
inline constexpr char kNotClosed[] = "the quoted field is not closed";

// A record's end at the LF bytes[lf] (outside quotes), a CR before it being part of the line end.
inline CsvRecordEnd recordEndingAt(std::string_view bytes, std::size_t lf,
                                   std::size_t lineEndsInside) noexcept {
  const std::size_t length = lf > 0 && bytes[lf - 1] == '\r' ? lf - 1 : lf;
  return {CsvCut::record, length, lf + 1 - length, lineEndsInside};
}

// True when the delimiter can be the second byte of a code page 932 character, so that each one
// found must be checked.
inline bool delimiterCanBeSecondByte(const CsvOptions& options) noexcept {
  return options.encoding == TextEncoding::cp932 && cp932::isTrailByte(static_cast<std::uint8_t>(options.delimiter));
}

// True when bytes[at], a byte that can be a second byte, is one: an odd run of lead bytes stands
// right before it. A character starts right after any byte that is not a lead byte (it is a single
// byte or a second byte), and at `from`, the start of the record, so the run pairs up from its start.
inline bool isSecondByte(const char* bytes, std::size_t from, std::size_t at) noexcept {
  std::size_t i = at;
  while (i > from && cp932::isLeadByte(static_cast<std::uint8_t>(bytes[i - 1]))) --i;
  return (at - i) % 2 == 1;
}

}  // namespace quor::text::csv
