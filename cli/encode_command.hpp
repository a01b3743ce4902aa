#pragma once
// quor encode: every input record (a CSV record, a plain line cut at every ",", or a JSON Lines object)
// holds the values of one host record; the records are written to the output framed as --recfm says.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "file_shape.hpp"
#include "quor/csv.hpp"
#include "quor/layout.hpp"
#include "record_encoder.hpp"
#include "record_reader.hpp"

namespace quor::cli {

struct EncodeOptions {
  FileShape shape;  // the records' framing and layouts, and CSV or JSON Lines in
  bool convertSign = true;
  HostCodePage host = HostCodePage::fujitsu;  // --host
  bool shiftCodes = true;                     // off: --no-shift
  std::optional<std::string> gaijiPath;  // without it, the component's default mapping file
  TextEncoding encoding = TextEncoding::utf8;  // of the records as read: UTF-16 inputs are read as UTF-8
  InputForm form = InputForm::utf8OrUtf16;
  std::optional<CsvOptions> csv = CsvOptions{};  // none: plain lines, cut at every "," (--plain)
  bool header = false;                           // each input's first record names its columns
  bool skipBlankLines = false;
  std::string outputPath;           // empty or "-": standard output
  bool force = false;               // write to a terminal too
  std::string layoutPath;           // the layout file read, if any: the output may not be it
  std::vector<std::string> inputs;  // empty or "-": standard input
  bool skipBad = false;
  std::optional<std::uint64_t> maxErrors;  // with skipBad: more bad records than this end the run
  bool lenient = false;  // write values other than they read instead of refusing their records
  bool padVarying = false;  // records of varying length padded with blanks to the longest record's length
  bool quiet = false;
  unsigned threads = 0;  // encoding threads; 0: one a processor
};

// Runs the conversion and returns the exit status: kExitSuccess, or kExitBadData when a record was
// bad (the run stopped and wrote nothing, or with skipBad wrote the good records). Throws UsageError,
// before anything is read or written, when the output is a file the run reads or (unless force) a
// terminal, or options do not fit together (a header for several layouts, a record too long for its
// framing); IoError when a file cannot be read or written (nothing is written then).
int runEncode(const EncodeOptions& options);

}  // namespace quor::cli
