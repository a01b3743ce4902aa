#pragma once
// Reading CSV as spreadsheets write it (RFC 4180): records end at LF or CRLF outside quoted fields; a
// field that holds the delimiter, a quote or a line break is quoted, with each quote inside written
// twice. Values are kept exactly as written: nothing is trimmed, no type is guessed, and a malformed
// record is refused with its byte offset rather than read some other way.
//
// Reading is in two steps, so that a reader can fill batches of whole records from blocks of a file
// and split them elsewhere: CsvRecordCutter finds where each record ends, CsvSplitter cuts one record
// into its fields.
//
//   quor::CsvRecordCutter cutter;
//   quor::CsvSplitter splitter;
//   std::string_view rest = "id,city\r\n7,\"Tokyo, Japan\"\r\n";
//   for (quor::CsvRecordEnd end; (end = cutter.next(rest, true)).cut != quor::CsvCut::end;) {
//     for (const quor::CsvField& field : splitter.split(rest.substr(0, end.length))) use(field.text);
//     rest.remove_prefix(end.length + end.lineEndLength);
//   }  // gives "id", "city", then "7", "Tokyo, Japan"
//
// The bytes are ASCII-compatible: UTF-8, or code page 932 (Shift-JIS) when the options say so. A UTF-8
// byte-order mark is not removed here: the caller drops it before the first record.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "quor/text.hpp"

namespace quor {

struct CsvOptions {
  // One ASCII character other than the quote, CR and LF: ',' or '\t', ';', '|', ...
  char delimiter = ',';
  // The bytes' encoding. In code page 932 a byte that follows a lead byte (0x81-0x9F, 0xE0-0xFC) is the
  // second byte of a two-byte character and never a delimiter. It matters only for a delimiter that can
  // be a second byte (0x40 and above, e.g. '|' 0x7C); quotes and line ends never can.
  TextEncoding encoding = TextEncoding::utf8;
};

// Throws quor::Error 5 with a message unless the delimiter is an ASCII character other than '"', CR
// and LF: checkCsvOptions({'"'}) throws, checkCsvOptions({'\t'}) returns.
void checkCsvOptions(const CsvOptions& options);

enum class CsvCut : std::uint8_t {
  record,         // a record and its line end
  needMore,       // the bytes end inside the record: call again with more bytes after them
  unclosedQuote,  // the input ends inside a quoted field: the rest of it is a malformed last record
  end,            // the input ended: no bytes, no record
};

// Where a record ends. The next record starts length + lineEndLength bytes after this one's start,
// on line first + lineEndsInside + (lineEndLength > 0 ? 1 : 0) when this one starts on line first.
struct CsvRecordEnd {
  CsvCut cut = CsvCut::needMore;
  std::size_t length = 0;          // the record's bytes, its line end excluded
  std::size_t lineEndLength = 0;   // 2 for CRLF, 1 for LF, 0 at the end of the input
  std::size_t lineEndsInside = 0;  // line ends inside quoted fields, each LF or CRLF counted once

  friend bool operator==(const CsvRecordEnd&, const CsvRecordEnd&) = default;
};

// Finds the ends of records. A record ends at an LF, or a CR and LF, outside a quoted field; a lone CR
// is data. A quote opens a quoted field only at the start of a field; inside one, "" is a quote and
// a single quote closes it. Text after a closing quote (malformed, see CsvSplitter) is read as an
// unquoted field's text, so such a record still ends at its line end.
//
// One cutter is used by one thread at a time; it keeps how far it scanned a record that needed more
// bytes, so a long record is scanned once however many reads it takes.
class CsvRecordCutter {
 public:
  // Throws quor::Error 5 for options checkCsvOptions refuses.
  explicit CsvRecordCutter(const CsvOptions& options = {});

  // The end of the record that starts at bytes[0]. `endOfInput` says no bytes follow these: then a
  // last record without a line end is a record (or unclosedQuote), and no bytes at all give end.
  // Otherwise a record not ended inside the bytes gives needMore, and the next call must give the same
  // record again (it may have moved) with at least as many bytes; call restart() to drop it instead.
  //
  //   next("a,\"x\r\ny\"\r\nb", false)  // record, length 8, lineEndLength 2, lineEndsInside 1
  //   next("b", false)                  // needMore
  //   next("b", true)                   // record, length 1, lineEndLength 0
  //   next("\"b", true)                 // unclosedQuote, length 2
  //   next("", true)                    // end
  [[nodiscard]] CsvRecordEnd next(std::string_view bytes, bool endOfInput) noexcept;

  // Forgets a record that needed more bytes: the next call starts a new record.
  void restart() noexcept;

  // Reads through a record too long to keep, holding only the cutter's state, so that a line break
  // inside its quoted fields does not end it. Give the record's bytes in pieces from its start, each
  // piece the bytes right after the last, restart() called before the first piece and skip() again
  // after a needMore answer (an empty last piece says the record ends with the input). Answers as
  // next() would for the record given whole, except that `length` counts from the start of the last
  // piece and, when a CR ends the piece before and an LF starts this one, the line end is the LF
  // alone: the next record starts length + lineEndLength bytes into the piece. lineEndsInside counts
  // the whole record's.
  //
  //   restart(); skip("a,\"x\n", false);  // needMore
  //   skip("y\",b\nc", false);              // record, length 4, lineEndLength 1, lineEndsInside 1
  [[nodiscard]] CsvRecordEnd skip(std::string_view piece, bool endOfInput) noexcept;

 private:
  CsvOptions options_;
  // How far the last call scanned a record that needed more bytes (0 after any other answer).
  std::size_t scanned_ = 0;
  std::size_t lineEndsScanned_ = 0;
  std::uint8_t state_ = 0;
  bool skipping_ = false;  // skip() was given the start of a record and needs more
};

// Appends to `lineFeeds` the offsets of the LFs in `bytes`, from the first on, at most `most` of them,
// and when `stopAtQuote` none after the first quote; returns how many it appended. Up to its first
// quote, CSV ends a record at each LF (a CR before it part of the line end), as CsvRecordCutter::next
// finds them one by one: a reader holding many short records takes their ends in one pass.
//
//   findLineFeeds("a,1\nb,2\n\"c\n\",3\n", 10, true, lfs)  // 2: offsets 3 and 7
//   findLineFeeds("a\nb\nc\n", 2, false, lfs)              // 2: offsets 1 and 3
//
// Throws quor::Error 7 when memory runs out.
std::size_t findLineFeeds(std::string_view bytes, std::size_t most, bool stopAtQuote,
                          std::vector<std::size_t>& lineFeeds);

// One field of a record: its text, and whether it was written quoted.
struct CsvField {
  std::string_view text;
  bool quoted = false;

  friend bool operator==(const CsvField&, const CsvField&) = default;  // the texts' bytes compared
};

// Splits records into fields. One splitter is used by one thread at a time; it keeps its storage from
// record to record, so once it has split a record of a given size and field count it allocates no
// more for records as large.
class CsvSplitter {
 public:
  // Throws quor::Error 5 for options checkCsvOptions refuses.
  explicit CsvSplitter(const CsvOptions& options = {});

  // The fields of one record (without its line end; any CR or LF in it is data). An unquoted field's
  // text is its bytes, a quote in it included; a quoted field's text is its content without the outer
  // quotes and with each "" read as one quote. An empty record is one empty field; a record ending in
  // the delimiter ends in an empty field. The texts point into `record` or into the splitter's
  // storage and stay valid until the next call (and while `record` is).
  //
  //   split("a,\"Tokyo, Japan\",,\"say \"\"hi\"\"\"")  // a | Tokyo, Japan | (empty) | say "hi"
  //   split("ab\"c,d")                                 // ab"c | d
  //
  // Throws quor::Error 5 for a malformed record, with a message naming the field and the byte of the
  // record, both counted from 1: text between a closing quote and the delimiter ("field 1, byte 5:
  // text after the closing quote" for "ab"c), or a quoted field that never closes ("field 2, byte 3:
  // the quoted field is not closed" for a,"b, the byte of its opening quote). Throws 7 when memory runs
  // out.
  [[nodiscard]] std::span<const CsvField> split(std::string_view record);

  // As split(record), but keeps at most `most` fields: the fields after them are read only to be
  // counted and checked (a malformed record throws as split(record) throws), so a record of millions
  // of fields takes no memory for them. fieldCount() then gives the record's count.
  //
  //   split("a,b,c,d", 2)  // a | b, and fieldCount() is 4
  [[nodiscard]] std::span<const CsvField> split(std::string_view record, std::size_t most);

  // As split(record, most), the fields' texts alone, for a caller that does not ask which were quoted:
  // the common record, without a quote, is split in one pass straight into them.
  [[nodiscard]] std::span<const std::string_view> texts(std::string_view record, std::size_t most);

  // The fields of the record split last, those not kept included.
  [[nodiscard]] std::size_t fieldCount() const noexcept { return count_; }

 private:
  CsvOptions options_;
  std::size_t count_ = 0;
  std::vector<CsvField> fields_;
  std::vector<std::string_view> texts_;
  std::string unescaped_;  // the quoted fields that held "", unescaped
};

}  // namespace quor
