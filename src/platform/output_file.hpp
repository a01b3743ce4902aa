#pragma once
// A binary output file held open by its owner: created empty on open, written at its end, closed when
// the owner goes. Every failure is reported as the runtime file error number (52, 53, 57, 61, 70, 75,
// 76), never thrown from here.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace quor::platform {

class OutputFile {
 public:
  OutputFile() noexcept = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  OutputFile(OutputFile&& other) noexcept;
  OutputFile& operator=(OutputFile&& other) noexcept;

  [[nodiscard]] bool isOpen() const noexcept { return handle_ >= 0; }

  // Removes an existing regular file or link of that name (any failure ignored: the open that follows
  // empties the file anyway), then creates and opens the file empty, for writing only. Returns 0 or the
  // file error number. A device such as /dev/null is opened, never removed.
  [[nodiscard]] int open(std::u16string_view path) noexcept;

  // Writes all bytes at the end of what was written before. Returns 0 or the file error number; on
  // failure the bytes of earlier writes stay in the file and none of these bytes do.
  [[nodiscard]] int write(const std::uint8_t* data, std::size_t size) noexcept;

  void close() noexcept;

 private:
  int handle_ = -1;
  std::uint64_t written_ = 0;  // bytes of whole records in the file
};

// The runtime file error number of an errno value.
int fileErrorNumber(int errnoValue) noexcept;

}  // namespace quor::platform
