#pragma once
// quor decode: host record files back to CSV, one line a record, one column a field that takes a value;
// or to JSON Lines, one object a record.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "file_shape.hpp"
#include "quor/host_code_page.hpp"

namespace quor::cli {

struct DecodeOptions {
  FileShape shape;                       // the records' framing and layouts, and CSV or JSON Lines out
  bool convertSign = true;               // component packed fields carry a sign nibble
  HostCodePage host = HostCodePage::fujitsu;  // --host
  bool shiftCodes = true;                     // off: --no-shift
  std::optional<std::string> gaijiPath;  // without it, QUOR_GAIJI or none
  bool cp932 = false;                    // write code page 932 instead of UTF-8
  std::optional<bool> crlf;              // line ends: CRLF for code page 932, LF for UTF-8, unless given
  char delimiter = ',';
  bool header = false;  // a first line naming the columns
  bool keepPadding = false;
  bool keepZeros = false;  // unsigned whole numbers with their picture's width
  bool padVarying = false;  // records of varying length stand in slots of the longest record's length
  bool overlays = false;    // the overlays (REDEFINES, RENAMES) as columns after the record's own
  bool lenient = false;  // invalid data written as U+FFFD or raw digits, listed
  bool skipBad = false;
  std::optional<std::uint64_t> maxErrors;
  bool quiet = false;
  unsigned threads = 0;  // 0: one a processor (workingThreads); 1: the reading thread does all
  bool splitByType = false;         // a file a record layout, NAME.csv (or .jsonl) in the folder outputPath
  std::string outputPath;           // empty or "-": standard output
  std::string layoutPath;           // the layout file or copybook, which the output must not be
  std::vector<std::string> inputs;  // empty or "-": standard input
};

// Runs the conversion and returns the exit status: kExitSuccess, or kExitBadData when a record held
// invalid data, had no layout, disagreed with its layout's length or could not be framed (the run
// stopped and wrote nothing, or with skipBad wrote the good records). Records of a layout with varying
// tables in a file without record descriptors stand back to back, each as long as its counters make it
// (padVarying: each in a slot of the longest length); a counter that gives no length ends its input,
// the records after it being past finding. Throws UsageError for options that do not fit together,
// IoError when a file cannot be read or written.
int runDecode(const DecodeOptions& options);

}  // namespace quor::cli
