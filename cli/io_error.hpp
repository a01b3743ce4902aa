#pragma once
// Failures of the tool itself, each ending the run with its own exit status: a usage mistake (the
// command line or the layout), or an input/output failure (a file that cannot be read or written).
// Running out of memory (std::bad_alloc, or the component's error 7 reaching the top) has its own.

#include <stdexcept>
#include <string>

namespace quor::cli {

// Exit statuses of the quor tool.
enum ExitCode : int {
  kExitSuccess = 0,
  kExitBadData = 1,
  kExitUsage = 2,
  kExitIo = 3,
  kExitOutOfMemory = 4,
};

struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct IoError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// "what: strerror(errnoValue)".
IoError ioErrorFromErrno(const std::string& what, int errnoValue);

}  // namespace quor::cli
