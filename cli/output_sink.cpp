#include "output_sink.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <random>
#include <utility>

#include "io_error.hpp"

namespace quor::cli {

namespace {

constexpr char kNameCharacters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
constexpr int kNameAttempts = 100;
// The part of the output's name the temporary name repeats: short enough that ".NAME.quor-XXXXXX" fits
// in a folder entry wherever the output's own name fits.
constexpr std::size_t kNamePart = 200;

std::string baseNameOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Gives the new file the mode of the file it replaces, and its owner where this process may; a file
// that keeps another owner does not take set-user-ID or set-group-ID.
void takeModeOf(int fd, const struct stat& existing) {
  mode_t mode = existing.st_mode & 07777;
  struct stat created {};
  if (::fstat(fd, &created) == 0 &&
      (created.st_uid != existing.st_uid || created.st_gid != existing.st_gid) &&
      ::fchown(fd, existing.st_uid, existing.st_gid) != 0)
    mode &= static_cast<mode_t>(~(S_ISUID | S_ISGID));
  if (::fchmod(fd, mode) != 0) throw ioErrorFromErrno("cannot set the mode of the new file", errno);
}

// Creates the temporary file beside the file to replace, under a random name no other file has
// (O_EXCL). It is created with 0666, which the kernel narrows by the umask as for any new file; when a
// file is replaced, the new one takes its mode instead.
int createTemporary(const OutputTarget& target, std::string& tempPath) {
  const std::string prefix =
      folderOf(target.file()) + "/." + baseNameOf(target.file()).substr(0, kNamePart) + ".quor-";
  const std::string failure = "cannot create a temporary file beside " + target.file();
  std::random_device random;
  std::uniform_int_distribution<std::size_t> pick(0, sizeof kNameCharacters - 2);
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    std::string name = prefix;
    for (int i = 0; i < 6; ++i) name += kNameCharacters[pick(random)];
    const int fd = ::open(name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd < 0) throw ioErrorFromErrno(failure, errno);
    try {
      if (target.existing()) takeModeOf(fd, *target.existing());
    } catch (...) {
      ::close(fd);
      ::unlink(name.c_str());
      throw;
    }
    tempPath = std::move(name);
    return fd;
  }
  throw ioErrorFromErrno(failure, EEXIST);
}

// Where standard output can be cut back to: its size now, when it is a regular file written at its end.
// Only such a file can be cut back without losing bytes that were there before.
off_t cutBackPoint(int fd) {
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return -1;
  const int flags = ::fcntl(fd, F_GETFL);
  const off_t position = ::lseek(fd, 0, SEEK_CUR);
  if ((flags >= 0 && (flags & O_APPEND) != 0) || position == info.st_size) return info.st_size;
  return -1;
}

// Syncs the folder that holds `file`. A file system that cannot sync a folder (EINVAL) keeps its
// entries by its own rules.
void syncFolderOf(const std::string& file) {
  const std::string folder = folderOf(file);
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  const int synced = fd < 0 ? -1 : ::fsync(fd);
  const int error = errno;
  if (fd >= 0) ::close(fd);
  if (synced != 0 && !(fd >= 0 && error == EINVAL))
    throw ioErrorFromErrno(file + " is written, but its folder " + folder +
                               " could not be synced, so its name may not survive a power cut",
                           error);
}

}  // namespace

OutputSink::OutputSink(OutputTarget target) : target_(std::move(target)), buffer_(kBufferSize) {
  switch (target_.kind()) {
    case OutputTarget::Kind::replacedFile:
      fd_ = createTemporary(target_, tempPath_);
      ownsFd_ = true;
      break;
    case OutputTarget::Kind::inPlace:
      fd_ = target_.releaseDescriptor();
      ownsFd_ = true;
      break;
    case OutputTarget::Kind::standardOutput:
      fd_ = target_.releaseDescriptor();
      truncateTo_ = cutBackPoint(fd_);
      break;
  }
  // A character device, FIFO or socket has nothing to sync; a block device and a file do. What commit()
  // syncs, the writer starts writing back early.
  struct stat info {};
  synced_ = ownsFd_ && ::fstat(fd_, &info) == 0 && (S_ISREG(info.st_mode) || S_ISBLK(info.st_mode));
  try {
    writer_ = std::make_unique<BackgroundWriter>(fd_, target_.name(), synced_, kBufferSize);
  } catch (...) {
    drop();
    throw;
  }
}

OutputSink OutputSink::toFile(const std::string& path) {
  if (path.empty()) throw IoError("the output file name is empty");
  return OutputSink(OutputTarget::open(path, {}, true));
}

OutputSink OutputSink::toStandardOutput() {
  return OutputSink(OutputTarget::open("-", {}, true));
}

OutputSink::OutputSink(OutputSink&& other) noexcept
    : target_(std::move(other.target_)),
      fd_(std::exchange(other.fd_, -1)),
      ownsFd_(std::exchange(other.ownsFd_, false)),
      synced_(std::exchange(other.synced_, false)),
      tempPath_(std::move(other.tempPath_)),
      truncateTo_(std::exchange(other.truncateTo_, -1)),
      buffer_(std::move(other.buffer_)),
      used_(std::exchange(other.used_, 0)),
      handed_(std::exchange(other.handed_, 0)),
      done_(std::exchange(other.done_, true)),
      writer_(std::move(other.writer_)) {}

OutputSink::~OutputSink() {
  abandon();
}

void OutputSink::handOver() {
  if (used_ == 0) return;
  writer_->write(buffer_, used_);
  handed_ += used_;
  used_ = 0;
}

void OutputSink::flushAndWrite(const std::uint8_t* data, std::size_t size) {
  handOver();
  if (size >= buffer_.size()) {
    writer_->writeNow(data, size);
    handed_ += size;
    return;
  }
  std::copy(data, data + size, buffer_.data());
  used_ = size;
}

void OutputSink::makeRoom(std::size_t size) {
  handOver();
  if (buffer_.size() < size) buffer_.resize(size);
}

void OutputSink::commit() {
  if (done_) return;
  handOver();
  writer_->drain();
  if (ownsFd_) {
    const std::string failure = "cannot write " + target_.name();
    if (synced_ && ::fsync(fd_) != 0) throw ioErrorFromErrno(failure, errno);
    const int closed = ::close(fd_);
    fd_ = -1;
    if (closed != 0) throw ioErrorFromErrno(failure, errno);
  }
  if (!tempPath_.empty() && ::rename(tempPath_.c_str(), target_.file().c_str()) != 0)
    throw ioErrorFromErrno("cannot rename " + tempPath_ + " to " + target_.file(), errno);
  done_ = true;
  // The new name is an entry of the folder: synced with it, it survives a power cut as the data does.
  if (!tempPath_.empty() && synced_) syncFolderOf(target_.file());
}

bool OutputSink::drop() noexcept {
  if (done_) return false;
  done_ = true;
  used_ = 0;
  if (writer_) writer_->settle();
  if (ownsFd_) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!tempPath_.empty()) ::unlink(tempPath_.c_str());
    return false;
  }
  if (truncateTo_ < 0 || ::ftruncate(fd_, truncateTo_) != 0) return false;
  ::lseek(fd_, truncateTo_, SEEK_SET);
  return true;
}

void OutputSink::abandon() noexcept {
  drop();
}

std::string OutputSink::abandonAndDescribe(std::size_t recordLength, const char* pieces) {
  const bool cutBack = drop();
  const std::uint64_t written = writer_ ? writer_->written() : 0;
  if (target_.kind() == OutputTarget::Kind::replacedFile) return target_.name() + " was not written";
  if (cutBack) return target_.name() + " was cut back to its size at the start of the run";
  if (written == 0) return "nothing was written to " + target_.name();
  if (recordLength == 0)
    return target_.name() + " holds a partial result: its first " + std::to_string(written) + " bytes, " +
           pieces;
  const std::uint64_t records = written / recordLength;
  return target_.name() + " holds a partial result: its first " + std::to_string(records) +
         (records == 1 ? " record (" : " records (") + std::to_string(written) + " bytes)";
}

}  // namespace quor::cli
