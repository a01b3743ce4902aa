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
  fd_ = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) throw ioErrorFromErrno("cannot open " + name, errno);
  owned_ = true;
  display_ = name;
}

InputFile::~InputFile() {
  if (owned_) ::close(fd_);
}

}  // namespace quor::cli
