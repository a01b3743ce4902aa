// The byte-at-a-time CSV scanner: the rules as they read, one state a byte. It is the reference the
// SSE2 scanner is tested against and the scanner of targets without SSE2.

#include <cstddef>
#include <cstdint>
#include <string>

#include "text/cp932.hpp"
#include "text/csv_scan.hpp"

namespace quor::text::csv {

namespace {

bool isLead(char c) noexcept {
  return cp932::isLeadByte(static_cast<std::uint8_t>(c));
}

bool isTrail(char c) noexcept {
  return cp932::isTrailByte(static_cast<std::uint8_t>(c));
}

}  // namespace

Error malformed(std::size_t field, std::size_t offset, const char* problem) {
  return Error(errors::kInvalidCall,
               "field " + std::to_string(field) + ", byte " + std::to_string(offset + 1) + ": " + problem);
}

CsvRecordEnd cutScalar(std::string_view bytes, bool endOfInput, const CsvOptions& options,
                       CutProgress& progress) noexcept {
  ScanState state = progress.state;
  std::size_t lines = progress.lineEndsInside;
  for (std::size_t i = progress.offset; i < bytes.size(); ++i) {
    const char c = bytes[i];
    switch (state) {
      case ScanState::quoted:
        if (c == '"') {
          state = ScanState::quoteInQuoted;
        } else if (c == '\n') {
          ++lines;
        }
        continue;
      case ScanState::quoteInQuoted:
        if (c == '"') {  // "": a quote, still inside
          state = ScanState::quoted;
          continue;
        }
        break;  // the field closed; c is read as unquoted text
      case ScanState::fieldStart:
        if (c == '"') {
          state = ScanState::quoted;
          continue;
        }
        break;
      case ScanState::afterLeadByte:
        if (isTrail(c)) {  // the second byte of a character, whatever ASCII it looks like
          state = ScanState::unquoted;
          continue;
        }
        break;
      case ScanState::unquoted:
        break;
    }
    if (c == '\n') {
      progress = {};
      return recordEndingAt(bytes, i, lines);
    }
    if (c == options.delimiter) {
      state = ScanState::fieldStart;
    } else {
      state = options.encoding == TextEncoding::cp932 && isLead(c) ? ScanState::afterLeadByte : ScanState::unquoted;
    }
  }
  if (!endOfInput) {
    progress = {bytes.size(), lines, state};
    return {};
  }
  progress = {};
  if (bytes.empty()) return {CsvCut::end, 0, 0, 0};
  return {state == ScanState::quoted ? CsvCut::unclosedQuote : CsvCut::record, bytes.size(), 0, lines};
}

void splitScalar(std::string_view record, const CsvOptions& options, std::vector<CsvField>& fields,
                 std::string& storage) {
  fields.clear();
  if (storage.size() < record.size()) storage.resize(record.size());
  const std::size_t n = record.size();
  std::size_t used = 0;
  std::size_t i = 0;
  for (;;) {
    const std::size_t number = fields.size() + 1;
    if (i < n && record[i] == '"') {
      const std::size_t open = i++;
      char* const text = storage.data() + used;
      std::size_t length = 0;
      for (;; ++i) {
        if (i == n) throw malformed(number, open, kNotClosed);
        if (record[i] == '"') {
          if (i + 1 == n || record[i + 1] != '"') break;
          ++i;  // "" is one quote
        }
        text[length++] = record[i];
      }
      ++i;  // past the closing quote
      used += length;
      fields.push_back({{text, length}, true});
      if (i < n && record[i] != options.delimiter) throw malformed(number, i, kTextAfterQuote);
    } else {
      const std::size_t start = i;
      while (i < n && record[i] != options.delimiter) {
        const bool pair = options.encoding == TextEncoding::cp932 && isLead(record[i]) && i + 1 < n && isTrail(record[i + 1]);
        i += pair ? 2 : 1;
      }
      fields.push_back({record.substr(start, i - start), false});
    }
    if (i == n) return;
    ++i;  // past the delimiter
  }
}

}  // namespace quor::text::csv
