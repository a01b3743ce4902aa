#pragma once
// quor dump: host records field by field, for a person checking a file: each field's offset, name,
// bytes in hexadecimal and decoded value, and a mark with the reason where the bytes are invalid.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "quor/host_code_page.hpp"
#include "quor/layout.hpp"

namespace quor::cli {

struct DumpOptions {
  Layout layout;
  bool convertSign = true;
  HostCodePage host = HostCodePage::fujitsu;  // --host
  bool shiftCodes = true;                     // off: --no-shift
  std::optional<std::string> gaijiPath;
  std::uint64_t first = 1;                  // the first record shown, counted from 1
  std::optional<std::uint64_t> last;        // the last one; none: to the end
  std::vector<std::string> inputs;          // empty or "-": standard input
};

// Parses a --records range: "5", "1-10", "20-" (to the end). Throws UsageError.
void parseRecordRange(const std::string& text, DumpOptions& options);

// Prints the records and returns kExitSuccess, kExitBadData when a shown record holds invalid data or
// an input does not end on a whole record, or kExitUsage when an input ends before a record the range
// asks for (the records it holds are shown, and the message says which are not there). Throws IoError
// when an input cannot be read.
int runDump(const DumpOptions& options);

}  // namespace quor::cli
