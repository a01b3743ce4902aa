#pragma once
// Where the records go, written through one big buffer.
//
// A file to replace is written under a temporary name in its own folder and renamed over the name
// only by commit(), after the data reached the disk, and the folder is synced after the rename: a run
// that fails, or a sink that is dropped without commit(), removes the temporary file and leaves any
// earlier file of that name as it was.
//
// Standard output, and a device, FIFO or socket, are written as the records come, so memory stays flat
// however long the input. When standard output is a regular file written at its end (the shell's
// "> file" or ">> file"), a sink dropped without commit() cuts the file back to where the run started,
// so a failed run adds nothing there either; any other keeps what it was already given.

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "background_writer.hpp"
#include "output_target.hpp"

namespace quor::cli {

class OutputSink {
 public:
  static constexpr std::size_t kBufferSize = std::size_t{1} << 20;

  // A sink for `target`: creates the temporary file beside a file to replace. Throws IoError.
  explicit OutputSink(OutputTarget target);
  // A sink for the file, device or FIFO `path`, not checked against any input. Throws IoError.
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

  // Room for `size` bytes after what is buffered, for a writer that makes its bytes in place; wrote()
  // then keeps the first of them. Throws IoError when writing out the buffer fails.
  std::uint8_t* room(std::size_t size) {
    if (buffer_.size() - used_ < size) makeRoom(size);
    return buffer_.data() + used_;
  }
  void wrote(std::size_t size) noexcept { used_ += size; }

  // Writes what is buffered and, for a file to replace, syncs it and renames it into place. Throws
  // IoError.
  void commit();
  // Drops the output: removes the temporary file, or cuts standard output back (see above).
  void abandon() noexcept;
  // Drops the output as abandon() does and says what became of it, for a run that ends early: "out.dat
  // was not written", "standard output was cut back ...", or how many whole records of `recordLength`
  // bytes it holds; for records of no one length, its bytes, which are `pieces` ("whole lines"). Only
  // whole pieces are ever handed on, so the count is exact.
  [[nodiscard]] std::string abandonAndDescribe(std::size_t recordLength, const char* pieces = "whole lines");

  [[nodiscard]] std::uint64_t bytesWritten() const noexcept { return handed_ + used_; }
  // True when commit() syncs the output (a file or block device the sink opened) and, for a file it
  // replaces, the folder after the rename.
  [[nodiscard]] bool synced() const noexcept { return synced_; }
  // The temporary file's name; empty for an output written in place.
  [[nodiscard]] const std::string& temporaryPath() const noexcept { return tempPath_; }

 private:
  void flushAndWrite(const std::uint8_t* data, std::size_t size);
  void makeRoom(std::size_t size);
  // Hands the buffered bytes to the writer, which writes them while the buffer fills again.
  void handOver();
  // Drops the output (see abandon()); true when standard output was cut back.
  bool drop() noexcept;

  OutputTarget target_;
  int fd_ = -1;
  bool ownsFd_ = false;    // a temporary file or an output opened in place, not standard output
  bool synced_ = false;    // owned and a file or block device: synced at commit, written back early
  std::string tempPath_;   // the file being written; empty for an output written in place
  off_t truncateTo_ = -1;  // standard output that is a regular file: its size at the start
  std::vector<std::uint8_t> buffer_;
  std::size_t used_ = 0;
  std::uint64_t handed_ = 0;  // bytes given to the writer
  bool done_ = false;
  std::unique_ptr<BackgroundWriter> writer_;
};

}  // namespace quor::cli
