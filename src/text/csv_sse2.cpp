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
// How far ahead of a block its bytes are asked for. Scans that start afresh at every record leave some
// machines' hardware prefetchers behind (a 70 MB file was cut at a sixth of the speed without this).
constexpr std::uintptr_t kPrefetchAhead = 1024;

// The bytes from an offset to the next 16 or the end, whichever comes first, ready to be compared.
struct Block {
  __m128i bytes;
  unsigned skip = 0;            // bytes loaded before the offset (a block at the end is its last 16)
  std::uint32_t keep = 0xFFFF;  // the bits of bytes before the end

  // One bit for each byte equal to one of `targets`, bit 0 for the byte at the offset.
  template <class... Targets>
  [[nodiscard]] std::uint32_t bitsOf(Targets... targets) const noexcept {
    __m128i hits = _mm_setzero_si128();
    ((hits = _mm_or_si128(hits, _mm_cmpeq_epi8(bytes, _mm_set1_epi8(targets)))), ...);
    return (static_cast<std::uint32_t>(_mm_movemask_epi8(hits)) >> skip) & keep;
  }
};

// The block at bytes[at], at < size. Nothing at `size` or beyond is read.
Block blockAt(const char* bytes, std::size_t at, std::size_t size) noexcept {
  const std::size_t count = size - at;
  if (count >= kBlock) {
    // An address past the bytes is only a hint: a prefetch never faults.
    _mm_prefetch(reinterpret_cast<const char*>(reinterpret_cast<std::uintptr_t>(bytes + at) + kPrefetchAhead),
                 _MM_HINT_T0);
    return {_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + at))};
  }
  if (size >= kBlock)  // the last 16 bytes, with the ones before `at` shifted out
    return {_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + size - kBlock)),
            static_cast<unsigned>(kBlock - count)};
  alignas(16) char tail[kBlock] = {};
  std::memcpy(tail, bytes + at, count);
  return {_mm_load_si128(reinterpret_cast<const __m128i*>(tail)), 0, (std::uint32_t{1} << count) - 1};
}

// A record's quotes and delimiters, found a block at a time from its start: one load gives both, so
// short fields, quoted or not, cost no load of their own.
class Structure {
 public:
  Structure(std::string_view record, char delimiter) noexcept
      : bytes_(record.data()), size_(record.size()), delimiter_(delimiter) {
    load(0);
  }

  // The first quote, or delimiter, at or after `from`, or the record's size. Each call's `from` is past
  // the offset the last call gave.
  std::size_t nextQuote(std::size_t from) noexcept { return next(from, &Structure::quotes_); }
  std::size_t nextDelimiter(std::size_t from) noexcept { return next(from, &Structure::delimiters_); }

 private:
  void load(std::size_t base) noexcept {
    base_ = base;
    if (base >= size_) {
      quotes_ = delimiters_ = 0;
      return;
    }
    const Block block = blockAt(bytes_, base, size_);
    quotes_ = block.bitsOf('"');
    delimiters_ = block.bitsOf(delimiter_);
  }

  std::size_t next(std::size_t from, std::uint32_t Structure::*bits) noexcept {
    for (;;) {
      if (from < base_ + kBlock) {
        const std::uint32_t ahead =
            from > base_ ? this->*bits & (~std::uint32_t{0} << (from - base_)) : this->*bits;
        if (ahead != 0) return base_ + static_cast<std::size_t>(std::countr_zero(ahead));
      }
      if (base_ + kBlock >= size_) return size_;
      load(base_ + kBlock);
    }
  }

  const char* bytes_;
  std::size_t size_;
  char delimiter_;
  std::size_t base_ = 0;  // the block the bits describe
  std::uint32_t quotes_ = 0;
  std::uint32_t delimiters_ = 0;
};

// Reads the quoted field that opens at record[open] into `fields` and returns the offset after its
// closing quote. Content without "" is a view into the record; content with it is unescaped into
// `storage` after the `used` bytes this record's fields already hold there.
std::size_t quotedField(std::string_view record, std::size_t open, Structure& structure,
                        std::vector<CsvField>& fields, std::string& storage, std::size_t& used) {
  const char* const b = record.data();
  const std::size_t n = record.size();
  std::size_t from = open + 1;
  std::size_t quote = structure.nextQuote(from);
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
    quote = structure.nextQuote(from);
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

std::size_t lineFeedsSse2(std::string_view bytes, std::size_t most, bool stopAtQuote,
                          std::vector<std::size_t>& lineFeeds) {
  const char* const b = bytes.data();
  const std::size_t n = bytes.size();
  // Room for every LF that may come, written without a check each: no more than the bytes.
  const std::size_t held = lineFeeds.size();
  lineFeeds.resize(held + std::min(most, n));
  std::size_t* const out = lineFeeds.data() + held;
  std::size_t found = 0;
  const __m128i lf = _mm_set1_epi8('\n');
  const __m128i quote = _mm_set1_epi8('"');
  // Appends the LFs of `lfs` (bit 0 at bytes[from]) and says whether to go on.
  const auto take = [&](std::size_t from, std::uint32_t lfs, std::uint32_t quotes) {
    // The LFs before the first quote, and none after it.
    if (stopAtQuote && quotes != 0) lfs &= (std::uint32_t{1} << std::countr_zero(quotes)) - 1;
    for (; lfs != 0; lfs &= lfs - 1) {
      if (found == most) return false;
      out[found++] = from + static_cast<std::size_t>(std::countr_zero(lfs));
    }
    return found < most && !(stopAtQuote && quotes != 0);
  };
  std::size_t base = 0;
  bool going = found < most;
  // Two blocks at a time: each byte compared once with the LF and once with the quote.
  for (; going && base + 2 * kBlock <= n; base += 2 * kBlock) {
    _mm_prefetch(reinterpret_cast<const char*>(reinterpret_cast<std::uintptr_t>(b + base) + kPrefetchAhead),
                 _MM_HINT_T0);
    const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + base));
    const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + base + kBlock));
    const auto lfs = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(low, lf))) |
                     static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(high, lf))) << kBlock;
    const auto quotes = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(low, quote))) |
                        static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(high, quote))) << kBlock;
    going = take(base, lfs, quotes);
  }
  for (; going && base < n; base += kBlock) {
    const Block block = blockAt(b, base, n);
    going = take(base, block.bitsOf('\n'), block.bitsOf('"'));
  }
  lineFeeds.resize(held + found);
  return found;
}

std::size_t splitPlainSse2(std::string_view record, const CsvOptions& options, std::size_t most,
                           std::string_view* texts) {
  if (delimiterCanBeSecondByte(options)) return 0;
  const char* const b = record.data();
  const std::size_t n = record.size();
  const __m128i delimiter = _mm_set1_epi8(options.delimiter);
  const __m128i quote = _mm_set1_epi8('"');
  std::size_t start = 0;
  std::size_t kept = 0;
  // Keeps the fields the delimiters of `bits` (bit 0 at record[from]) end; false when they are more
  // than `most`, whose fields the last is not.
  const auto keep = [&](std::size_t from, std::uint32_t bits) {
    for (; bits != 0; bits &= bits - 1) {
      if (kept == most) return false;
      const std::size_t at = from + static_cast<std::size_t>(std::countr_zero(bits));
      texts[kept++] = std::string_view(b + start, at - start);
      start = at + 1;
    }
    return true;
  };
  std::size_t base = 0;
  for (; base + 2 * kBlock <= n; base += 2 * kBlock) {
    const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + base));
    const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + base + kBlock));
    if (_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(low, quote), _mm_cmpeq_epi8(high, quote))) != 0) return 0;
    const auto bits = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(low, delimiter))) |
                      static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(high, delimiter))) << kBlock;
    if (!keep(base, bits)) return countFields(record, start, options, most);
  }
  for (; base < n; base += kBlock) {
    const Block block = blockAt(b, base, n);
    if (block.bitsOf('"') != 0) return 0;
    if (!keep(base, block.bitsOf(options.delimiter))) return countFields(record, start, options, most);
  }
  if (kept == most) return countFields(record, start, options, most);
  texts[kept++] = std::string_view(b + start, n - start);
  return kept;
}

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
  // Only quotes and LFs change the state; the bytes between them are walked over a block at a time.
  ScanState state = progress.state == ScanState::quoted || progress.state == ScanState::quoteInQuoted
                        ? progress.state
                        : ScanState::unquoted;
  std::size_t lastQuote = progress.offset - 1;  // in quoteInQuoted: the quote that may close the field
  std::size_t lines = progress.lineEndsInside;
  for (std::size_t base = progress.offset; base < n; base += kBlock) {
    for (std::uint32_t bits = blockAt(b, base, n).bitsOf('"', '\n'); bits != 0; bits &= bits - 1) {
      const std::size_t at = base + static_cast<std::size_t>(std::countr_zero(bits));
      const bool lf = b[at] == '\n';
      if (state == ScanState::quoteInQuoted) {
        if (!lf && at == lastQuote + 1) {  // "": a quote, still inside
          state = ScanState::quoted;
          continue;
        }
        state = ScanState::unquoted;  // the field closed at lastQuote
      }
      if (state == ScanState::quoted) {
        if (lf) {
          ++lines;
        } else {
          state = ScanState::quoteInQuoted;
          lastQuote = at;
        }
      } else if (lf) {
        progress = {};
        return recordEndingAt(bytes, at, lines);
      } else if (startsField(at)) {
        state = ScanState::quoted;
      }
    }
  }
  if (state == ScanState::quoteInQuoted && lastQuote + 1 < n) state = ScanState::unquoted;
  if (!endOfInput) {
    progress = {n, lines, state};
    return {};
  }
  progress = {};
  if (n == 0) return {CsvCut::end, 0, 0, 0};
  return {state == ScanState::quoted ? CsvCut::unclosedQuote : CsvCut::record, n, 0, lines};
}

namespace {

// The common record, without a quote, where every delimiter ends a field: its fields from the
// delimiters' bits, a block at a time, at most `most` of them. The record's count of fields, or 0,
// leaving `fields` to be cleared, at the first quote.
std::size_t splitUnquoted(std::string_view record, const CsvOptions& options, std::size_t most,
                          std::vector<CsvField>& fields) {
  const char* const b = record.data();
  const std::size_t n = record.size();
  std::size_t start = 0;
  for (std::size_t base = 0; base < n; base += kBlock) {
    const Block block = blockAt(b, base, n);
    if (block.bitsOf('"') != 0) return 0;
    for (std::uint32_t bits = block.bitsOf(options.delimiter); bits != 0; bits &= bits - 1) {
      if (fields.size() == most) return countFields(record, start, options, most);
      const std::size_t at = base + static_cast<std::size_t>(std::countr_zero(bits));
      fields.push_back({record.substr(start, at - start), false});
      start = at + 1;
    }
  }
  if (fields.size() == most) return countFields(record, start, options, most);
  fields.push_back({record.substr(start), false});
  return fields.size();
}

}  // namespace

std::size_t splitSse2(std::string_view record, const CsvOptions& options, std::vector<CsvField>& fields,
                      std::string& storage, std::size_t most) {
  fields.clear();
  const char* const b = record.data();
  const std::size_t n = record.size();
  const bool checkSecondByte = delimiterCanBeSecondByte(options);
  if (!checkSecondByte) {
    if (const std::size_t count = splitUnquoted(record, options, most, fields)) return count;
    fields.clear();
  }
  Structure structure(record, options.delimiter);
  std::size_t used = 0;  // storage bytes holding this record's unescaped fields
  for (std::size_t start = 0;;) {
    if (fields.size() == most) return countFields(record, start, options, most);
    std::size_t end;  // the delimiter after the field, or n
    if (start < n && b[start] == '"') {
      end = quotedField(record, start, structure, fields, storage, used);
      if (end < n && b[end] != options.delimiter) throw malformed(fields.size(), end, kTextAfterQuote);
    } else {
      end = structure.nextDelimiter(start);
      while (checkSecondByte && end < n && isSecondByte(b, start, end))
        end = structure.nextDelimiter(end + 1);
      fields.push_back({record.substr(start, end - start), false});
    }
    if (end == n) return fields.size();
    start = end + 1;
  }
}

}  // namespace quor::text::csv

#endif  // QUOR_CSV_SSE2
