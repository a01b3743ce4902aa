#pragma once
// An input file held open for the length of its reading; "-" is standard input. Read it with
// readInterruptibly(), which also waits for a FIFO's writer.

#include <string>

namespace quor::cli {

class InputFile {
 public:
  // Opens `name`; throws IoError when it cannot be opened.
  explicit InputFile(const std::string& name);
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  ~InputFile();

  [[nodiscard]] int fd() const noexcept { return fd_; }
  // The name messages use: the file's name, or "<stdin>".
  [[nodiscard]] const std::string& display() const noexcept { return display_; }

 private:
  int fd_ = -1;
  bool owned_ = false;
  std::string display_;
};

}  // namespace quor::cli
