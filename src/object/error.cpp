#include "quor/error.hpp"

namespace quor {

Error::Error(int number) noexcept : number_(number) {}

const char* Error::what() const noexcept {
  return textOf(number_);
}

const char* Error::textOf(int number) noexcept {
  switch (number) {
    case errors::kInvalidCall:
      return "Invalid procedure call or argument";
    case errors::kOverflow:
      return "Overflow";
    case errors::kOutOfMemory:
      return "Out of memory";
    case errors::kSubscript:
      return "Subscript out of range";
    case errors::kTypeMismatch:
      return "Type mismatch";
    case errors::kInternal:
      return "Internal error";
    case errors::kBadFileName:
      return "Bad file name or number";
    case errors::kFileNotFound:
      return "File not found";
    case errors::kDeviceIO:
      return "Device I/O error";
    case errors::kDiskFull:
      return "Disk full";
    case errors::kPermissionDenied:
      return "Permission denied";
    case errors::kPathFileAccess:
      return "Path/File access error";
    case errors::kPathNotFound:
      return "Path not found";
    default:
      return "Application-defined or object-defined error";
  }
}

}  // namespace quor
