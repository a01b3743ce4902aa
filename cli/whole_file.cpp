#include "whole_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "io_error.hpp"

namespace quor::cli {

namespace {

struct OpenFile {
  int fd;
  ~OpenFile() { ::close(fd); }
};

}  // namespace

std::string readWholeFile(const std::string& path, const std::string& what) {
  const std::string failure = "cannot read " + what + " " + path;
  const OpenFile file{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
  if (file.fd < 0) throw ioErrorFromErrno(failure, errno);
  struct stat info {};
  if (::fstat(file.fd, &info) == 0 && S_ISDIR(info.st_mode))
    throw IoError(what + " " + path + " is a folder");
  std::string text;
  char block[65536];
  for (;;) {
    const ssize_t got = ::read(file.fd, block, sizeof block);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw ioErrorFromErrno(failure, errno);
    if (got == 0) return text;
    text.append(block, static_cast<std::size_t>(got));
  }
}

}  // namespace quor::cli
