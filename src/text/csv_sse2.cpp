// The SSE2 CSV scanner: it compares 16 bytes at a time with the bytes that matter where it stands
// (the delimiter in an unquoted field being split, the quote and LF elsewhere) and jumps from one hit
// to the next, so the common record, without quotes, costs a few instructions per 16 bytes. Its
// answers are the scalar scanner's (csv_scalar.cpp), which the tests hold it to.

#include "text/csv_scan.hpp"

#if QUOR_CSV_SSE2

#include <emmintrin.h>

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace quor::text::csv {

namespace {

constexpr std::size_t kBlock = 16;

// One bit for each byte of bytes[at, at + 16) equal to one of `targets`, bit 0 for bytes[at]. Bytes
// at `size` and beyond are neither read nor reported.
template <class... Targets>
std::uint32_t matches(const char* bytes, std::size_t at, std::size_t size, Targets... targets) noexcept {
  if (at >= size) return 0;
  const std::size_t count = size - at;
  __m128i block;
  if (count >= kBlock) {
    block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + at));
  } else {
    alignas(16) char tail[kBlock] = {};
    std::memcpy(tail, bytes + at, count);
    block = _mm_load_si128(reinterpret_cast<const __m128i*>(tail));
  }
  __m128i hits = _mm_setzero_si128();
  ((hits = _mm_or_si128(hits, _mm_cmpeq_epi8(block, _mm_set1_epi8(targets)))), ...);
  auto mask = static_cast<std::uint32_t>(_mm_movemask_epi8(hits));
  if (count < kBlock) mask &= (std::uint32_t{1} << count) - 1;
  return mask;
}

// The offset of the first byte at or after `from` equal to one of `targets`, or `size`.
template <class... Targets>
std::size_t findFirst(const char* bytes, std::size_t from, std::size_t size, Targets... targets) noexcept {
  for (std::size_t at = from; at < size; at += kBlock) {
    const std::uint32_t mask = matches(bytes, at, size, targets...);
    if (mask != 0) return at + static_cast<std::size_t>(std::countr_zero(mask));
  }
  return size;
}

// Reads the quoted field that opens at record[open] into `fields` and returns the offset after its
// closing quote. Content without "" is a view into the record; content with it is unescaped into
// `storage` after the `used` bytes this record's fields already hold there.
std::size_t quotedField(std::string_view record, std::size_t open, std::vector<CsvField>& fields,
                        std::string& storage, std::size_t& used) {
  const char* const b = record.data();
  const std::size_t n = record.size();
  std::size_t from = open + 1;
  std::size_t quote = findFirst(b, from, n, '"');
  if (quote == n) throw malformed(fields.size() + 1, open, kNotClosed);
  if (quote + 1 == n || b[quote + 1] != '"') {
    fields.push_back({record.substr(from, quote - from), true});
    return quote + 1;
  }
  // Grown on the first such field of a record, before any field points into it; no record unescapes
  // to more bytes than it has.
  if (storage.size() < n) storage.resize(n);
  char* const text = storage.data() + used;
  std::size_t length = 0;
  for (;;) {  // record[quote] starts a "": keep the content and one quote
    std::memcpy(text + length, b + from, quote + 1 - from);
    length += quote + 1 - from;
    from = quote + 2;
    quote = findFirst(b, from, n, '"');
    if (quote == n) throw malformed(fields.size() + 1, open, kNotClosed);
    if (quote + 1 == n || b[quote + 1] != '"') break;
  }
  std::memcpy(text + length, b + from, quote - from);
  length += quote - from;
  used += length;
  fields.push_back({{text, length}, true});
  return quote + 1;
}

}  // namespace

CsvRecordEnd cutSse2(std::string_view bytes, bool endOfInput, const CsvOptions& options,
                     CutProgress& progress) noexcept {
  const char* const b = bytes.data();
  const std::size_t n = bytes.size();
  const bool checkSecondByte = delimiterCanBeSecondByte(options);
  // A quote in unquoted text opens a quoted field when it starts a field: at the start of the record
  // or after a delimiter that is not the second byte of a character.
  const auto startsField = [&](std::size_t at) {
    return at == 0 || (b[at - 1] == options.delimiter && !(checkSecondByte && isSecondByte(b, 0, at - 1)));
  };
  std::size_t i = progress.offset;
  std::size_t lines = progress.lineEndsInside;
  ScanState state = progress.state;
  while (i < n) {
    if (state == ScanState::quoteInQuoted) {
      if (b[i] == '"') {
        state = ScanState::quoted;
        ++i;
        continue;
      }
      state = ScanState::unquoted;
    }
    const std::size_t at = findFirst(b, i, n, '"', '\n');
    if (at == n) {
      if (state != ScanState::quoted) state = ScanState::unquoted;
      i = n;
      break;
    }
    i = at + 1;
    if (state == ScanState::quoted) {
      if (b[at] == '\n') {
        ++lines;
      } else {
        state = ScanState::quoteInQuoted;
      }
    } else if (b[at] == '\n') {
      progress = {};
      return recordEndingAt(bytes, at, lines);
    } else {
      state = startsField(at) ? ScanState::quoted : ScanState::unquoted;
    }
  }
  if (!endOfInput) {
    progress = {n, lines, state};
    return {};
  }
  progress = {};
  if (n == 0) return {CsvCut::end, 0, 0, 0};
  return {state == ScanState::quoted ? CsvCut::unclosedQuote : CsvCut::record, n, 0, lines};
}

void splitSse2(std::string_view record, const CsvOptions& options, std::vector<CsvField>& fields,
               std::string& storage) {
  fields.clear();
  const char* const b = record.data();
  const std::size_t n = record.size();
  const char delimiter = options.delimiter;
  const bool checkSecondByte = delimiterCanBeSecondByte(options);
  std::size_t used = 0;   // storage bytes holding this record's unescaped fields
  std::size_t start = 0;  // the current field's first byte
  std::size_t base = 0;   // the block `mask` describes
  std::uint32_t mask = matches(b, base, n, delimiter);  // its delimiters not yet passed
  for (;;) {
    if (start < n && b[start] == '"') {
      start = quotedField(record, start, fields, storage, used);
      if (start == n) return;
      if (b[start] != delimiter) throw malformed(fields.size(), start, kTextAfterQuote);
      base = ++start;
      mask = matches(b, base, n, delimiter);
      continue;
    }
    std::size_t end = n;
    for (;;) {
      if (mask == 0) {
        base += kBlock;
        if (base >= n) break;
        mask = matches(b, base, n, delimiter);
        continue;
      }
      const std::size_t at = base + static_cast<std::size_t>(std::countr_zero(mask));
      mask &= mask - 1;
      if (!checkSecondByte || !isSecondByte(b, start, at)) {
        end = at;
        break;
      }
    }
    fields.push_back({record.substr(start, end - start), false});
    if (end == n) return;
    start = end + 1;
  }
}

}  // namespace quor::text::csv

#endif  // QUOR_CSV_SSE2
