#include "platform/output_file.hpp"

#include <cerrno>
#include <string>

#include "platform/path.hpp"
#include "quor/error.hpp"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quor::platform {

int fileErrorNumber(int e) noexcept {
  switch (e) {
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
    case EFBIG:
      return errors::kDiskFull;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
#if defined(EWOULDBLOCK) && EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
#endif
    case EAGAIN:
      return errors::kPermissionDenied;
    case ENOENT:
    case ENOTDIR:
      return errors::kPathNotFound;
    case ENAMETOOLONG:
    case EINVAL:
    case EILSEQ:
      return errors::kBadFileName;
    case EIO:
    case ENXIO:
      return errors::kDeviceIO;
    default:
      return errors::kPathFileAccess;
  }
}

OutputFile::~OutputFile() {
  close();
}

OutputFile::OutputFile(OutputFile&& other) noexcept : handle_(other.handle_), written_(other.written_) {
  other.handle_ = -1;
}

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
  if (this != &other) {
    close();
    handle_ = other.handle_;
    written_ = other.written_;
    other.handle_ = -1;
  }
  return *this;
}

#ifdef _WIN32

int OutputFile::open(std::u16string_view path) noexcept {
  close();
  if (path.empty() || path.find(u'\0') != std::u16string_view::npos) return errors::kBadFileName;
  try {
    const std::wstring name(path.begin(), path.end());
    // A file another holder has open is not deleted (Windows refuses), and the exclusive share mode
    // below makes this open fail too, so nobody's records are lost.
    (void)_wremove(name.c_str());
    int fd = -1;
    const errno_t e = _wsopen_s(&fd, name.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY | _O_NOINHERIT,
                                _SH_DENYWR, _S_IREAD | _S_IWRITE);
    if (e != 0) return fileErrorNumber(e);
    handle_ = fd;
    return 0;
  } catch (...) {
    return errors::kOutOfMemory;
  }
}

int OutputFile::write(const std::uint8_t* data, std::size_t size) noexcept {
  if (handle_ < 0) return errors::kBadFileName;
  const std::size_t total = size;
  while (size > 0) {
    const unsigned chunk = size > (1u << 30) ? (1u << 30) : static_cast<unsigned>(size);
    const int n = _write(handle_, data, chunk);
    if (n <= 0) {
      const int error = n < 0 ? fileErrorNumber(errno) : errors::kDiskFull;
      // No half-written record: cut the file back to the end of the last whole one.
      if (size != total && _chsize_s(handle_, static_cast<long long>(written_)) == 0)
        (void)_lseeki64(handle_, static_cast<long long>(written_), SEEK_SET);
      return error;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  written_ += total;
  return 0;
}

void OutputFile::close() noexcept {
  if (handle_ >= 0) _close(handle_);
  handle_ = -1;
  written_ = 0;
}

#else

namespace {

// True when another holder has the file at `name` locked as its output: it must be neither deleted
// nor emptied under it.
bool heldByAnother(const char* name) {
  const int fd = ::open(name, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  ::close(fd);
  return held;
}

}  // namespace

int OutputFile::open(std::u16string_view path) noexcept {
  close();
  if (path.empty() || path.find(u'\0') != std::u16string_view::npos) return errors::kBadFileName;
  try {
    const std::string name = toNativePath(path);
    struct stat st {};
    if (::lstat(name.c_str(), &st) == 0) {
      if (S_ISREG(st.st_mode) && heldByAnother(name.c_str())) return errors::kPermissionDenied;
      // A fresh file: an old regular file or link of the name goes first. Devices (/dev/null) and
      // folders are never removed; a failure here is ignored since the open below empties the file.
      if (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)) (void)::unlink(name.c_str());
    }
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return fileErrorNumber(errno);
    // Mark the file as held by this object so another object's open does not delete it under us.
    (void)::flock(fd, LOCK_EX | LOCK_NB);
    handle_ = fd;
    return 0;
  } catch (...) {
    return errors::kOutOfMemory;
  }
}

int OutputFile::write(const std::uint8_t* data, std::size_t size) noexcept {
  if (handle_ < 0) return errors::kBadFileName;
  const std::size_t total = size;
  while (size > 0) {
    const ssize_t n = ::write(handle_, data, size);
    if (n <= 0) {
      if (n < 0 && errno == EINTR) continue;
      const int error = n < 0 ? fileErrorNumber(errno) : errors::kDiskFull;
      // No half-written record: cut the file back to the end of the last whole one.
      if (size != total && ::ftruncate(handle_, static_cast<off_t>(written_)) == 0)
        (void)::lseek(handle_, static_cast<off_t>(written_), SEEK_SET);
      return error;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  written_ += total;
  return 0;
}

void OutputFile::close() noexcept {
  if (handle_ >= 0) ::close(handle_);
  handle_ = -1;
  written_ = 0;
}

#endif

}  // namespace quor::platform
