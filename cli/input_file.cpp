#include "input_file.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "io_error.hpp"

namespace quor::cli {

InputFile::InputFile(const std::string& name) {
  if (name == "-") {
    fd_ = STDIN_FILENO;
    display_ = "<stdin>";
    return;
  }
  // Opening a FIFO would wait for its writer where no signal can end the wait: it is opened at once
  // instead, and the reads wait (readInterruptibly) until the writer has written or gone.
  fd_ = ::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd_ < 0) throw ioErrorFromErrno("cannot open " + name, errno);
  owned_ = true;
  const int flags = ::fcntl(fd_, F_GETFL);
  if (flags < 0 || ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    const int error = errno;
    ::close(fd_);
    throw ioErrorFromErrno("cannot open " + name, error);
  }
  display_ = name;
}

InputFile::~InputFile() {
  if (owned_) ::close(fd_);
}

}  // namespace quor::cli
