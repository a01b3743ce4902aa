#pragma once
// The one exception type of the public interface. It carries the runtime error number that the
// automation interface reports (5, 6, 7, 9, 13 or a file error) and that number's standard text. An
// error raised while building a record also names the field that failed, and errors of the readers
// of layouts and data files carry a message that says where and what.

#include <cstddef>
#include <exception>
#include <memory>
#include <string>

namespace quor {

class Error : public std::exception {
 public:
  explicit Error(int number) noexcept;
  // The error of record field `field`, counted from 1 (0: no field).
  Error(int number, std::size_t field) noexcept;
  // An error with a message of its own, which what() gives instead of the number's standard text.
  Error(int number, const std::string& message) noexcept;
  // The error of record field `field` with a message of its own.
  Error(int number, std::size_t field, const std::string& message) noexcept;

  [[nodiscard]] int number() const noexcept { return number_; }
  // The record field that failed, counted from 1, when a record builder raised the error; 0 otherwise.
  // The automation interface does not carry it.
  [[nodiscard]] std::size_t field() const noexcept { return field_; }
  // The message, or the standard text of the number, e.g. "Type mismatch" for 13.
  [[nodiscard]] const char* what() const noexcept override;
  // True when the error carries a message of its own rather than its number's standard text.
  [[nodiscard]] bool hasMessage() const noexcept { return message_ != nullptr; }

  // The standard text of any error number this component can raise ("Application-defined or
  // object-defined error" for numbers it does not know).
  [[nodiscard]] static const char* textOf(int number) noexcept;

 private:
  int number_;
  std::size_t field_ = 0;
  std::shared_ptr<const std::string> message_;  // shared, so copies never throw
};

// The numbers this component raises, named where the code raises them.
namespace errors {
inline constexpr int kInvalidCall = 5;        // invalid procedure call or argument
inline constexpr int kOverflow = 6;           // overflow
inline constexpr int kOutOfMemory = 7;        // out of memory
inline constexpr int kSubscript = 9;          // subscript out of range
inline constexpr int kTypeMismatch = 13;      // type mismatch
inline constexpr int kInternal = 51;          // internal error: a fault of the component itself
inline constexpr int kBadFileName = 52;       // bad file name or number
inline constexpr int kFileNotFound = 53;      // file not found
inline constexpr int kDeviceIO = 57;          // device I/O error
inline constexpr int kDiskFull = 61;          // disk full
inline constexpr int kPermissionDenied = 70;  // permission denied
inline constexpr int kPathFileAccess = 75;    // path/file access error
inline constexpr int kPathNotFound = 76;      // path not found
}  // namespace errors

}  // namespace quor
