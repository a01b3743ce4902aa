#pragma once
// quor decode: host record files back to CSV, one line a record, one column a field that takes a value.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "quor/host_code_page.hpp"
#include "quor/layout.hpp"

namespace quor::cli {

struct DecodeOptions {
  Layout layout;
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
  bool lenient = false;  // invalid data written as U+FFFD or raw digits, listed
  bool skipBad = false;
  std::optional<std::uint64_t> maxErrors;
  bool quiet = false;
  std::string outputPath;           // empty or "-": standard output
  std::string layoutPath;           // the layout file or copybook, which the output must not be
  std::vector<std::string> inputs;  // empty or "-": standard input
};

// Runs the conversion and returns the exit status: kExitSuccess, or kExitBadData when a record held
// invalid data or an input did not end on a whole record (the run stopped and wrote nothing, or with
// skipBad wrote the good records). Throws IoError when a file cannot be read or written.
int runDecode(const DecodeOptions& options);

}  // namespace quor::cli
