#pragma once
// Runs the built quor binary for the end-to-end tests and collects what it did.

#include <filesystem>
#include <string>

namespace quor::cli::testing {

struct RunResult {
  int exitCode = -1;
  std::string out;  // standard output, bytes
  std::string err;  // standard error
};

// Runs `quor <arguments>` through the shell in `folder` with `input` as its standard input.
// Arguments are passed to the shell as written: quote them there.
RunResult runQuor(const std::string& arguments, const std::filesystem::path& folder,
                  const std::string& input = {});

// A fresh empty folder under the system's temporary folder, removed by the destructor.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  [[nodiscard]] const std::filesystem::path& path() const noexcept { return path_; }
  // Writes a file in the folder (and the folders its name holds) and returns its path.
  std::filesystem::path write(const std::string& name, const std::string& content) const;

 private:
  std::filesystem::path path_;
};

std::string readFile(const std::filesystem::path& path);
// Bytes as upper-case hexadecimal pairs, `perLine` bytes a line, each line ended by LF.
std::string hexLines(const std::string& bytes, std::size_t perLine);
std::string examplesDir();

}  // namespace quor::cli::testing
