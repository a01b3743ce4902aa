#pragma once
// quor dump: host records field by field, for a person checking a file: each field's offset, name,
// bytes in hexadecimal and decoded value, and a mark with the reason where the bytes are invalid; or,
// without a layout, each record's bytes beside the text they read as.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "file_shape.hpp"
#include "quor/host_code_page.hpp"

namespace quor::cli {

struct DumpOptions {
  FileShape shape;  // the records' framing and layouts; without layouts each record's bytes are shown
  std::size_t recordLength = 0;  // fixed records without a layout: their length (--lrecl)
  bool convertSign = true;
  HostCodePage host = HostCodePage::fujitsu;  // --host
  bool shiftCodes = true;                     // off: --no-shift
  std::optional<std::string> gaijiPath;
  std::uint64_t first = 1;                  // the first record shown, counted from 1
  std::optional<std::uint64_t> last;        // the last one; none: to the end
  bool padVarying = false;                  // records of varying length stand in slots of the longest
  std::vector<std::string> inputs;          // empty or "-": standard input
};

// Parses a --records range: "5", "1-10", "20-" (to the end). Throws UsageError.
void parseRecordRange(const std::string& text, DumpOptions& options);

// Prints the records and returns kExitSuccess, kExitBadData when a shown record holds invalid data,
// has no layout or another length than its layout's, or an input cannot be framed (a leftover at the
// end, an impossible RDW or BDW), or kExitUsage when an input ends before a record the range asks for
// (the records it holds are shown, and the message says which are not there). Without a layout each
// record is shown as its bytes in hexadecimal with the text they read as, 16 a line. Throws UsageError
// for options that do not fit together, IoError when an input cannot be read.
int runDump(const DumpOptions& options);

}  // namespace quor::cli
