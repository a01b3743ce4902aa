#pragma once
// quor field: one encoder on one value, the bytes printed as hexadecimal pairs or written raw.

#include <cstdint>
#include <optional>
#include <string>

namespace quor::cli {

struct FieldOptions {
  std::string kind;    // zoned, packed, ebcdic, jef, zoned-list
  std::string value;   // for zoned-list, the comma-separated numbers
  std::string length;  // for zoned-list, the comma-separated lengths
  bool convertSign = true;
  bool raw = false;
  std::optional<std::string> gaijiPath;
};

// The encoder names `kind` accepts.
inline constexpr const char* kFieldKinds[] = {"zoned", "packed", "ebcdic", "jef", "zoned-list"};

// Prints the field and returns kExitSuccess, or prints "error N: text" and returns kExitBadData when the
// encoder fails. Throws UsageError for a length that is not a whole number, IoError for an unreadable
// --gaiji file.
int runField(const FieldOptions& options);

}  // namespace quor::cli
