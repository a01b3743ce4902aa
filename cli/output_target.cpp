#include "output_target.hpp"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "io_error.hpp"

namespace quor::cli {

namespace {

// As many links as the kernel follows in one path before it answers ELOOP.
constexpr int kMostLinks = 40;

// The file `path` leads to: symbolic links followed, a relative one from the link's own folder. A link
// that leads nowhere gives the name it holds, where the file will be created.
std::string followLinks(std::string path) {
  std::vector<char> target(256);
  for (int hops = 0; hops < kMostLinks; ++hops) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
    ssize_t got = 0;
    while ((got = ::readlink(path.c_str(), target.data(), target.size())) ==
           static_cast<ssize_t>(target.size()))
      target.resize(target.size() * 2);
    if (got < 0) throw ioErrorFromErrno("cannot read the symbolic link " + path, errno);
    const std::string leadsTo(target.data(), static_cast<std::size_t>(got));
    path = leadsTo.front() == '/' ? leadsTo : folderOf(path) + "/" + leadsTo;
  }
  throw ioErrorFromErrno("cannot follow " + path, ELOOP);
}

void refuseReadFile(const std::string& name, const std::string& path, const struct stat* output,
                    const std::vector<OutputTarget::ReadFile>& reads) {
  // The same name is refused whatever it is. As the same file under another name only where writing
  // changes what is read: a regular file or a block device, not a FIFO, socket or character device.
  const bool damageable = output != nullptr && (S_ISREG(output->st_mode) || S_ISBLK(output->st_mode));
  for (const OutputTarget::ReadFile& read : reads) {
    bool same = !path.empty() && read.path == path;
    if (!same && damageable) {
      struct stat info {};
      const int got = read.path == "-" ? ::fstat(STDIN_FILENO, &info) : ::stat(read.path.c_str(), &info);
      same = got == 0 && info.st_dev == output->st_dev && info.st_ino == output->st_ino;
    }
    if (same)
      throw UsageError(name + " is the same file as " + read.described +
                       ": write the records to another file");
  }
}

void refuseTerminal(int fd, const std::string& name, bool force) {
  if (force || ::isatty(fd) == 0) return;
  throw UsageError(name +
                   " is a terminal, and the records are binary: write them to a file (-o FILE, or > file), "
                   "or give --force to write them there anyway");
}

int connectSocket(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path)
    throw ioErrorFromErrno("cannot connect to the socket " + path, ENAMETOOLONG);
  std::memcpy(address.sun_path, path.data(), path.size());
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw ioErrorFromErrno("cannot connect to the socket " + path, errno);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    const int error = errno;
    ::close(fd);
    throw ioErrorFromErrno("cannot connect to the socket " + path, error);
  }
  return fd;
}

// Opens a device, FIFO or socket for writing where it is. Opening a FIFO waits for its reader.
int openInPlace(const std::string& path, const struct stat& info) {
  if (S_ISSOCK(info.st_mode)) return connectSocket(path);
  int fd = -1;
  do {
    fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) throw ioErrorFromErrno("cannot open " + path, errno);
  return fd;
}

}  // namespace

std::string folderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

OutputTarget OutputTarget::open(const std::string& path, const std::vector<ReadFile>& reads, bool force) {
  if (path.empty() || path == "-") {
    OutputTarget target(Kind::standardOutput, "standard output");
    target.fd_ = STDOUT_FILENO;
    struct stat info {};
    refuseReadFile(target.name_, {}, ::fstat(STDOUT_FILENO, &info) == 0 ? &info : nullptr, reads);
    refuseTerminal(STDOUT_FILENO, target.name_, force);
    return target;
  }
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    if (errno != ENOENT) throw ioErrorFromErrno("cannot write " + path, errno);
    // Nothing there yet, or a link that leads nowhere yet: the file is created where the link leads.
    OutputTarget target(Kind::replacedFile, path);
    refuseReadFile(path, path, nullptr, reads);
    target.file_ = followLinks(path);
    return target;
  }
  if (S_ISDIR(info.st_mode)) throw IoError(path + " is a folder");
  if (S_ISREG(info.st_mode)) {
    OutputTarget target(Kind::replacedFile, path);
    refuseReadFile(path, path, &info, reads);
    target.file_ = followLinks(path);
    target.existing_ = info;
    return target;
  }
  OutputTarget target(Kind::inPlace, path);
  refuseReadFile(path, path, &info, reads);
  target.fd_ = openInPlace(path, info);
  target.ownsFd_ = true;
  refuseTerminal(target.fd_, path, force);
  return target;
}

OutputTarget::OutputTarget(OutputTarget&& other) noexcept
    : kind_(other.kind_),
      name_(std::move(other.name_)),
      file_(std::move(other.file_)),
      existing_(other.existing_),
      fd_(other.fd_),
      ownsFd_(other.ownsFd_) {
  other.fd_ = -1;
  other.ownsFd_ = false;
}

OutputTarget::~OutputTarget() {
  if (ownsFd_) ::close(fd_);
}

int OutputTarget::releaseDescriptor() noexcept {
  ownsFd_ = false;
  return fd_;
}

OutputTarget openOutput(const std::string& path, const RunFiles& files, bool force) {
  std::vector<OutputTarget::ReadFile> reads;
  for (const std::string& input : files.inputs)
    reads.push_back({input, input == "-" ? "standard input" : "the input " + input});
  if (files.inputs.empty()) reads.push_back({"-", "standard input"});
  // These are files by name, "-" too.
  const auto byName = [](const std::string& name) { return name == "-" ? "./-" : name; };
  if (!files.layoutPath.empty()) reads.push_back({byName(files.layoutPath), "the layout file " + files.layoutPath});
  if (files.gaijiPath) reads.push_back({byName(*files.gaijiPath), "the gaiji file " + *files.gaijiPath});
  return OutputTarget::open(path, reads, force);
}

}  // namespace quor::cli
