#pragma once
// Where the records go, written through one big buffer.
//
// A named output file is written under a temporary name in its own folder and renamed over the name
// only by commit(), after the data reached the disk: a run that fails, or a sink that is dropped
// without commit(), removes the temporary file and leaves any earlier file of that name as it was.
//
// Standard output is written as the records come, so memory stays flat however long the input. When it
// is a regular file written at its end (the shell's "> file" or ">> file"), a sink dropped without
// commit() cuts the file back to where the run started, so a failed run adds nothing there either; a
// pipe or terminal keeps what it was already given.

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quor::cli {

class OutputSink {
 public:
  static constexpr std::size_t kBufferSize = std::size_t{1} << 20;

  // A sink for the file `path`: creates the temporary file beside it. Throws IoError.
  static OutputSink toFile(const std::string& path);
  // A sink for standard output.
  static OutputSink toStandardOutput();

  OutputSink(OutputSink&& other) noexcept;
  OutputSink& operator=(OutputSink&&) = delete;
  OutputSink(const OutputSink&) = delete;
  OutputSink& operator=(const OutputSink&) = delete;
  ~OutputSink();

  // Appends bytes. Throws IoError when a write fails.
  void write(const std::uint8_t* data, std::size_t size) {
    if (buffer_.size() - used_ < size)
      flushAndWrite(data, size);
    else {
      std::copy(data, data + size, buffer_.data() + used_);
      used_ += size;
    }
  }

  // Writes what is buffered and, for a named file, syncs it and renames it into place. Throws IoError.
  void commit();
  // Drops the output: removes the temporary file, or cuts standard output back (see above).
  void abandon() noexcept;

  [[nodiscard]] std::uint64_t bytesWritten() const noexcept { return written_ + used_; }
  // The temporary file's name; empty for standard output.
  [[nodiscard]] const std::string& temporaryPath() const noexcept { return tempPath_; }

 private:
  OutputSink(int fd, std::string path, std::string tempPath);
  void flushAndWrite(const std::uint8_t* data, std::size_t size);
  void writeAll(const std::uint8_t* data, std::size_t size);

  int fd_ = -1;
  std::string path_;       // the name to rename to; empty for standard output
  std::string tempPath_;   // the file being written; empty for standard output
  off_t truncateTo_ = -1;  // standard output that is a regular file: its size at the start
  std::vector<std::uint8_t> buffer_;
  std::size_t used_ = 0;
  std::uint64_t written_ = 0;
  bool done_ = false;
};

}  // namespace quor::cli
