#pragma once
// Writing records as RFC 4180 CSV: a field is quoted only when it holds the delimiter, a quote, a
// carriage return or a line feed, and a quote inside it is doubled.

#include <span>
#include <string>
#include <string_view>

#include "quor/text.hpp"

namespace quor {

struct CsvWriteOptions {
  char delimiter = ',';
  TextEncoding encoding = TextEncoding::utf8;  // the bytes written
  bool crlf = false;         // end records with CR LF instead of LF
};

// Appends one record, its fields and its line end, to `out`:
//   {u"Tokyo, Japan", u"12"} -> "\"Tokyo, Japan\",12\n"
// Returns the number of characters code page 932 writes as another (none for UTF-8). Throws
// quor::Error 7 when memory runs out.
std::size_t appendCsvRecord(std::span<const std::u16string> fields, const CsvWriteOptions& options,
                            std::string& out);

}  // namespace quor
