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

std::size_t lineFeedsScalar(std::string_view bytes, std::size_t most, bool stopAtQuote,
                            std::vector<std::size_t>& lineFeeds) {
  std::size_t found = 0;
  for (std::size_t i = 0; i < bytes.size() && found < most; ++i) {
    if (bytes[i] == '"' && stopAtQuote) break;
    if (bytes[i] != '\n') continue;
    lineFeeds.push_back(i);
    ++found;
  }
  return found;
}

std::size_t splitScalar(std::string_view record, const CsvOptions& options, std::vector<CsvField>& fields,
                        std::string& storage, std::size_t most) {
  fields.clear();
  const std::size_t n = record.size();
  std::size_t used = 0;
  std::size_t i = 0;
  for (;;) {
    if (fields.size() == most) return countFields(record, i, options, most);
    const std::size_t number = fields.size() + 1;
    if (i < n && record[i] == '"') {
      // Grown before any field points into it; no record unescapes to more bytes than it has.
      if (storage.size() < n) storage.resize(n);
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
    if (i == n) return fields.size();
    ++i;  // past the delimiter
  }
}

std::size_t countFields(std::string_view record, std::size_t from, const CsvOptions& options,
                        std::size_t before) {
  const std::size_t n = record.size();
  std::size_t count = before;
  for (std::size_t i = from;;) {
    ++count;
    if (i < n && record[i] == '"') {
      const std::size_t open = i++;
      for (;; ++i) {
        if (i == n) throw malformed(count, open, kNotClosed);
        if (record[i] == '"') {
          if (i + 1 == n || record[i + 1] != '"') break;
          ++i;
        }
      }
      ++i;
      if (i < n && record[i] != options.delimiter) throw malformed(count, i, kTextAfterQuote);
    } else {
      while (i < n && record[i] != options.delimiter) {
        const bool pair = options.encoding == TextEncoding::cp932 && isLead(record[i]) && i + 1 < n && isTrail(record[i + 1]);
        i += pair ? 2 : 1;
      }
    }
    if (i == n) return count;
    ++i;
  }
}

}  // namespace quor::text::csv
