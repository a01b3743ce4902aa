#include "output_sink.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "io_error.hpp"

namespace quor::cli {

namespace {

std::string folderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string baseNameOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The mode a new file gets from the user's umask (mkstemp creates 0600), or the mode of the file the
// output replaces.
mode_t outputMode(const std::string& path) {
  struct stat existing {};
  if (::stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) return existing.st_mode & 07777;
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return static_cast<mode_t>(0666 & ~mask);
}

}  // namespace

OutputSink::OutputSink(int fd, std::string path, std::string tempPath)
    : fd_(fd), path_(std::move(path)), tempPath_(std::move(tempPath)), buffer_(kBufferSize) {}

OutputSink::OutputSink(OutputSink&& other) noexcept
    : fd_(other.fd_),
      path_(std::move(other.path_)),
      tempPath_(std::move(other.tempPath_)),
      truncateTo_(other.truncateTo_),
      buffer_(std::move(other.buffer_)),
      used_(other.used_),
      written_(other.written_),
      done_(other.done_) {
  other.fd_ = -1;
  other.done_ = true;
}

OutputSink::~OutputSink() {
  abandon();
}

OutputSink OutputSink::toFile(const std::string& path) {
  if (path.empty()) throw IoError("the output file name is empty");
  struct stat target {};
  if (::stat(path.c_str(), &target) == 0 && S_ISDIR(target.st_mode)) throw IoError(path + " is a folder");
  std::string temp = folderOf(path) + "/." + baseNameOf(path) + ".quor-XXXXXX";
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) throw ioErrorFromErrno("cannot create a temporary file beside " + path, errno);
  return OutputSink(fd, path, std::move(temp));
}

OutputSink OutputSink::toStandardOutput() {
  OutputSink sink(STDOUT_FILENO, {}, {});
  struct stat info {};
  if (::fstat(STDOUT_FILENO, &info) == 0 && S_ISREG(info.st_mode)) {
    const int flags = ::fcntl(STDOUT_FILENO, F_GETFL);
    const off_t position = ::lseek(STDOUT_FILENO, 0, SEEK_CUR);
    // Only a file written at its end can be cut back without losing bytes that were there before.
    if ((flags >= 0 && (flags & O_APPEND) != 0) || position == info.st_size) sink.truncateTo_ = info.st_size;
  }
  return sink;
}

void OutputSink::writeAll(const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t put = ::write(fd_, data, size);
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) {
      const std::string name = path_.empty() ? std::string("standard output") : path_;
      throw ioErrorFromErrno("cannot write " + name, errno);
    }
    data += put;
    size -= static_cast<std::size_t>(put);
    written_ += static_cast<std::uint64_t>(put);
  }
}

void OutputSink::flushAndWrite(const std::uint8_t* data, std::size_t size) {
  writeAll(buffer_.data(), used_);
  used_ = 0;
  if (size >= buffer_.size()) {
    writeAll(data, size);
    return;
  }
  std::copy(data, data + size, buffer_.data());
  used_ = size;
}

void OutputSink::commit() {
  if (done_) return;
  writeAll(buffer_.data(), used_);
  used_ = 0;
  if (!path_.empty()) {
    if (::fchmod(fd_, outputMode(path_)) != 0)
      throw ioErrorFromErrno("cannot set the mode of " + tempPath_, errno);
    if (::fsync(fd_) != 0) throw ioErrorFromErrno("cannot write " + path_, errno);
    if (::close(fd_) != 0) {
      fd_ = -1;
      throw ioErrorFromErrno("cannot write " + path_, errno);
    }
    fd_ = -1;
    if (::rename(tempPath_.c_str(), path_.c_str()) != 0)
      throw ioErrorFromErrno("cannot rename " + tempPath_ + " to " + path_, errno);
  }
  done_ = true;
}

void OutputSink::abandon() noexcept {
  if (done_) return;
  done_ = true;
  used_ = 0;
  if (!path_.empty()) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    ::unlink(tempPath_.c_str());
  } else if (truncateTo_ >= 0) {
    if (::ftruncate(STDOUT_FILENO, truncateTo_) == 0) ::lseek(STDOUT_FILENO, truncateTo_, SEEK_SET);
  }
}

}  // namespace quor::cli
