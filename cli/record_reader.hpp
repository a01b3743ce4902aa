#pragma once
// Records of one input file, read in big blocks with read(2) and handed out as views into the block
// buffer: no copy per record. Plain records are lines: a record ends at LF, and a CR just before the
// LF is dropped with it. CSV records (RFC 4180) end at LF or CR LF outside a quoted field, so one may
// span lines. A last record without a line end is still a record. A record longer than the block grows
// the buffer to hold it, up to the longest record kept; a longer one is skipped to its end and given as
// too long, so the buffer never grows beyond the block or the longest record and its line end, whatever
// the input. A CSV record is skipped to its real end, holding only the cutter's state: a line break in
// a quoted field does not end it, so no part of it is read as records.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "quor/csv.hpp"

namespace quor::cli {

// The form of an input's bytes. UTF-16 is read as UTF-8, so the cutter, the splitter and the library
// see UTF-8 whichever the file holds; a UTF-16 unit that is a surrogate without its pair, or an odd
// last byte, becomes a byte 0xFF, which no UTF-8 text has, so that its record is refused.
enum class InputForm : std::uint8_t {
  bytes,        // as they are
  utf8,         // UTF-8: a UTF-8 byte order mark is dropped, a UTF-16 one refused
  cp932,        // code page 932: a UTF-16 byte order mark is refused
  utf8OrUtf16,  // UTF-8, or UTF-16 when the input starts with a UTF-16 byte order mark
  utf16,        // UTF-16 in the byte order its byte order mark gives; an input without one is refused
  utf16le,      // UTF-16 little-endian: a byte order mark of that order dropped, of the other refused
  utf16be,      // UTF-16 big-endian, as utf16le
};

class RecordReader {
 public:
  static constexpr std::size_t kDefaultBlock = std::size_t{1} << 20;
  // The longest record kept, without its line end; and what a longer one is called in messages.
  static constexpr std::size_t kLongestLine = std::size_t{64} << 20;
  static constexpr const char* kTooLong = "line longer than 64 MiB";

  // Reads lines from `fd`, which the caller keeps open, or CSV records with `csv`; `name` is used in
  // error messages. A byte order mark the input starts with is no part of its first record.
  RecordReader(int fd, std::string name, std::size_t blockSize = kDefaultBlock,
               std::size_t longestLine = kLongestLine, std::optional<CsvOptions> csv = std::nullopt,
               InputForm form = InputForm::bytes);

  // The next record, valid until the next call; false at the end of the input. A record longer than
  // the longest kept is given empty, with tooLong() true. Throws IoError when a read fails, UsageError
  // when the input's byte order mark is not of the form it is read as.
  bool next(std::string_view& record);
  // True once the input was found to be UTF-16: the records are its text as UTF-8.
  [[nodiscard]] bool utf16() const noexcept { return utf16_ != Order::none; }
  // True when the record last given was longer than the longest kept.
  [[nodiscard]] bool tooLong() const noexcept { return tooLong_; }

  // Where a record stands in the buffer (at()), and the line it starts on.
  struct Cut {
    std::size_t begin;
    std::size_t length;
    std::uint64_t line;
  };
  // Takes the records wholly in the buffer from the next one on, as next() would one at a time, at
  // most `most` of them and no more than about `bytes` bytes, into `cuts`, without reading: a batch
  // copies them in one piece. None when the next record is not whole in the buffer or too long; next()
  // then reads on. The places stay valid until the next call of next() or take().
  std::size_t take(std::size_t most, std::size_t bytes, std::vector<Cut>& cuts);
  [[nodiscard]] const char* at(std::size_t offset) const noexcept { return buffer_.data() + offset; }

  // True when next() can answer without waiting for whoever writes the input: a whole record is in the
  // buffer, or a read would not block (a regular file never does). A caller handing records on to
  // others asks this before it would wait on a pipe or a terminal.
  bool lineAtHand();

  // The number of the line the record last returned starts on, counted from 1.
  [[nodiscard]] std::uint64_t lineNumber() const noexcept { return lineNumber_; }
  // Bytes read from the file so far.
  [[nodiscard]] std::uint64_t bytesRead() const noexcept { return bytesRead_; }

 private:
  // Where the record at begin_ ends in the buffer, if it does: its length and its line end's length.
  struct Found {
    std::size_t length;
    std::size_t lineEnd;
    std::size_t lineEndsInside;
  };
  std::optional<Found> find();
  // Moves the unread rest to the front, grows the buffer when the rest fills it, and reads once more.
  // False at the end of the input.
  bool refill();
  // The first read: the input's form decided by its first bytes.
  void start();
  // Reads UTF-16 and appends it as UTF-8.
  void readUtf16();
  // Appends the UTF-16 bytes held in raw_ as UTF-8, keeping a unit or pair cut short by the read
  // unless the input ended.
  void convertUtf16();
  // Gives the record of `length` bytes at `begin`, or marks it too long.
  void give(std::size_t begin, std::size_t length, std::size_t lineEndsInside, std::string_view& record);
  // Drops what is held of the record at hand and reads on past its end: the end of its line, or for
  // CSV the line end after its last quoted field.
  void skipRestOfRecord();

  int fd_;
  std::string name_;
  std::size_t longest_;
  std::size_t block_;
  std::optional<CsvRecordCutter> cutter_;  // CSV records; lines without it
  std::vector<char> buffer_;
  std::vector<std::size_t> lineFeeds_;  // take(): the LFs found in one pass
  std::size_t begin_ = 0;    // first unread byte
  std::size_t end_ = 0;      // one past the last byte read
  std::size_t scanned_ = 0;  // lines: bytes from begin_ already known to hold no LF
  std::optional<Found> found_;  // the end of the record at begin_, once found
  bool byteOrderMark_ = false;  // a UTF-8 byte order mark may still start the input
  InputForm form_;
  bool started_ = false;  // the first bytes were read and the form decided
  enum class Order : std::uint8_t { none, little, big };
  Order utf16_ = Order::none;
  std::vector<char> raw_;  // UTF-16 bytes read, not yet converted
  std::size_t rawHeld_ = 0;
  bool rawEnded_ = false;  // the UTF-16 input ended; eof_ once raw_ is converted too
  std::u16string units_;   // a run of UTF-16 units being converted
  bool eof_ = false;
  bool tooLong_ = false;
  std::uint64_t lineNumber_ = 0;
  std::uint64_t nextLine_ = 1;  // the line the next record starts on
  std::uint64_t bytesRead_ = 0;
};

}  // namespace quor::cli
