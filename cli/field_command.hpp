#pragma once
// quor field: one value encoded as one field, the bytes printed as hexadecimal pairs or written raw.

#include <cstdint>
#include <optional>
#include <string>

#include "quor/host_code_page.hpp"

namespace quor::cli {

struct FieldOptions {
  std::string kind;    // zoned, packed, ebcdic, jef, zoned-list; text, national: typed fields on the host page
  std::string value;   // for zoned-list, the comma-separated numbers
  std::string length;  // for zoned-list, the comma-separated lengths
  bool convertSign = true;
  HostCodePage host = HostCodePage::fujitsu;  // --host: text and national fields' code page
  bool shiftCodes = true;                     // off: --no-shift
  bool raw = false;
  bool bare = false;     // the component's single call instead of a one-field record
  bool lenient = false;  // print a value the record rules change instead of refusing it
  std::optional<std::string> gaijiPath;
};

// The encoder names `kind` accepts.
inline constexpr const char* kFieldKinds[] = {"zoned", "packed", "ebcdic", "jef", "zoned-list", "text", "national"};

// Prints the field and returns kExitSuccess; prints what is wrong with the value, in words and then
// the error number, and returns kExitBadData when it cannot be written as it reads. Throws UsageError
// for a length that is not a whole number, IoError for an unreadable --gaiji file.
int runField(const FieldOptions& options);

}  // namespace quor::cli
