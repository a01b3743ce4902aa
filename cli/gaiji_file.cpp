#include "gaiji_file.hpp"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>

#include "io_error.hpp"
#include "whole_file.hpp"

namespace quor::cli {

GaijiMapping loadGaijiMapping(const std::optional<std::string>& path) {
  std::string file;
  std::string from = "--gaiji";
  if (path) {
    file = *path;
  } else if (const char* named = std::getenv("QUOR_GAIJI"); named != nullptr && *named != '\0') {
    file = named;
    from = "QUOR_GAIJI";
  } else {
    return GaijiMapping();
  }
  const std::string what = "the gaiji mapping file " + file + " (" + from + ")";
  struct stat info {};
  if (::stat(file.c_str(), &info) != 0) throw ioErrorFromErrno("cannot read " + what, errno);
  if (S_ISDIR(info.st_mode)) throw IoError("cannot read " + what + ": it is a folder");
  if (!S_ISREG(info.st_mode)) throw UsageError(what + " is not a regular file");
  const std::string bytes = readWholeFile(file, "the gaiji mapping file");
  if (bytes.empty()) throw UsageError(what + " is empty");
  if (bytes.find('\0') != std::string::npos) throw UsageError(what + " holds NUL bytes: it is not a text file");
  GaijiMapping mapping = GaijiMapping::fromText(bytes);
  if (mapping.size() == 0)
    throw UsageError(what +
                     " has no mapping line: a line holds a JEF code, one separator and the character's JIS-derived "
                     "code, each four hexadecimal digits, as \"8EA1 7F21\" (see docs/gaiji.md)");
  return mapping;
}

}  // namespace quor::cli
