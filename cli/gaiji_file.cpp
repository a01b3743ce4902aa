#include "gaiji_file.hpp"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>

#include "io_error.hpp"
#include "quor/error.hpp"
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
  try {
    return GaijiMapping::fromNamedFile(readWholeFile(file, "the gaiji mapping file"), what);
  } catch (const Error& e) {
    // A content that cannot be a mapping file is a usage mistake; its message says which.
    if (e.number() != errors::kInvalidCall) throw;
    throw UsageError(e.what());
  }
}

}  // namespace quor::cli
