#include "io_error.hpp"

#include <cstring>

namespace quor::cli {

IoError ioErrorFromErrno(const std::string& what, int errnoValue) {
  return IoError(what + ": " + std::strerror(errnoValue));
}

}  // namespace quor::cli
