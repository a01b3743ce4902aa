#pragma once
// Where quor encode writes its records, decided before anything is read or written.
//
// "-" (or no -o at all) is standard output. A regular file, or a name where nothing is yet, is replaced
// whole when the run succeeds (OutputSink writes a temporary file beside it and renames it over it).
// Symbolic links are followed: the file a link leads to is replaced, or created when the link dangles,
// and the link stays. A character or block device, a FIFO or a socket is written in place: it is
// opened here and never removed or replaced.
//
// An output that is a file the run reads is refused, as is a terminal unless forced: binary records
// would garble it.

#include <sys/stat.h>

#include <optional>
#include <string>
#include <vector>

namespace quor::cli {

class OutputTarget {
 public:
  enum class Kind { standardOutput, replacedFile, inPlace };

  // A file the run reads: its path ("-": standard input) and how messages call it ("the input a.csv").
  struct ReadFile {
    std::string path;
    std::string described;
  };

  // Looks at `path` ("" or "-": standard output) and opens it when it is written in place (a FIFO waits
  // for its reader here). Throws UsageError when the output is one of `reads` (the same path, or the
  // same file where writing could damage it: a regular file or a block device) or, unless `force`, a
  // terminal; IoError when it is a folder or cannot be looked at or opened.
  static OutputTarget open(const std::string& path, const std::vector<ReadFile>& reads, bool force);

  OutputTarget(OutputTarget&& other) noexcept;
  OutputTarget& operator=(OutputTarget&&) = delete;
  OutputTarget(const OutputTarget&) = delete;
  OutputTarget& operator=(const OutputTarget&) = delete;
  ~OutputTarget();

  [[nodiscard]] Kind kind() const noexcept { return kind_; }
  // For messages: the path as given, or "standard output".
  [[nodiscard]] const std::string& name() const noexcept { return name_; }
  // replacedFile: the file to replace, symbolic links followed.
  [[nodiscard]] const std::string& file() const noexcept { return file_; }
  // replacedFile: the file there now, whose mode and owner the new one takes; none for a new file.
  [[nodiscard]] const std::optional<struct stat>& existing() const noexcept { return existing_; }
  // The descriptor to write: standard output's, or the one opened for an in-place output, which the
  // caller then owns. -1 for a file to replace.
  [[nodiscard]] int releaseDescriptor() noexcept;

 private:
  OutputTarget(Kind kind, std::string name) : kind_(kind), name_(std::move(name)) {}

  Kind kind_;
  std::string name_;
  std::string file_;
  std::optional<struct stat> existing_;
  int fd_ = -1;
  bool ownsFd_ = false;
};

// The files a run reads, which its output must not be.
struct RunFiles {
  const std::vector<std::string>& inputs;  // empty: standard input
  const std::string& layoutPath;           // the layout file or copybook; may be empty
  const std::optional<std::string>& gaijiPath;
};

// The output `path` of a run ("" or "-": standard output) checked against the files it reads; a
// terminal is refused unless `force` (binary records would garble it).
OutputTarget openOutput(const std::string& path, const RunFiles& files, bool force);

// The folder of `path` ("." when it names none).
std::string folderOf(const std::string& path);

}  // namespace quor::cli
