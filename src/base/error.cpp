#include "quor/error.hpp"

namespace quor {

Error::Error(int number) noexcept : number_(number) {}

Error::Error(int number, std::size_t field) noexcept : number_(number), field_(field) {}

Error::Error(int number, const std::string& message) noexcept : number_(number) {
  try {
    message_ = std::make_shared<const std::string>(message);
  } catch (...) {
    // Without memory for the message the error still carries its number and standard text.
  }
}

Error::Error(int number, std::size_t field, const std::string& message) noexcept : Error(number, message) {
  field_ = field;
}

const char* Error::what() const noexcept {
  return message_ ? message_->c_str() : textOf(number_);
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
