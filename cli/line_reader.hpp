#pragma once
// Lines of one input file, read in big blocks with read(2) and handed out as views into the block
// buffer: no copy per line. A line ends at LF; a CR just before the LF is dropped with it. A last line
// without a line end is still a line. A line longer than the block grows the buffer to hold it, up to
// the longest line kept; a longer one is skipped to its end and given as too long, so the buffer never
// grows beyond the block or the longest line and its line end, whatever the input.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quor::cli {

class LineReader {
 public:
  static constexpr std::size_t kDefaultBlock = std::size_t{1} << 20;
  // The longest line kept, without its line end; and what a longer one is called in messages.
  static constexpr std::size_t kLongestLine = std::size_t{64} << 20;
  static constexpr const char* kTooLong = "line longer than 64 MiB";

  // Reads from `fd`, which the caller keeps open; `name` is used in error messages.
  LineReader(int fd, std::string name, std::size_t blockSize = kDefaultBlock,
             std::size_t longestLine = kLongestLine);

  // The next line, valid until the next call; false at the end of the input. A line longer than the
  // longest kept is given empty, with tooLong() true. Throws IoError when a read fails.
  bool next(std::string_view& line);
  // True when the line last given was longer than the longest kept.
  [[nodiscard]] bool tooLong() const noexcept { return tooLong_; }

  // True when next() can answer without waiting for whoever writes the input: a whole line is in the
  // buffer, or a read would not block (a regular file never does). A caller handing lines on to others
  // asks this before it would wait on a pipe or a terminal.
  bool lineAtHand();

  // The number of the line last returned, counted from 1.
  [[nodiscard]] std::uint64_t lineNumber() const noexcept { return lineNumber_; }
  // Bytes read from the file so far.
  [[nodiscard]] std::uint64_t bytesRead() const noexcept { return bytesRead_; }

 private:
  // Moves the unread rest to the front, grows the buffer when the rest fills it, and reads once more.
  // False at the end of the input.
  bool refill();
  // Gives the line of `length` bytes at `begin`, or marks it too long.
  void give(std::size_t begin, std::size_t length, std::string_view& line);
  // Drops what is held of the line at hand and reads on past its line end.
  void skipRestOfLine();

  int fd_;
  std::string name_;
  std::size_t longest_;
  std::vector<char> buffer_;
  std::size_t begin_ = 0;    // first unread byte
  std::size_t end_ = 0;      // one past the last byte read
  std::size_t scanned_ = 0;  // bytes from begin_ already known to hold no LF
  bool eof_ = false;
  bool tooLong_ = false;
  std::uint64_t lineNumber_ = 0;
  std::uint64_t bytesRead_ = 0;
};

}  // namespace quor::cli
