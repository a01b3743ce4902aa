// Speed of the CSV reader on a million records like those of a customer file exported as UTF-8 with
// CRLF ("A0000001,ｱｲｳ ｴｵ,山田太郎,1234567,-98765432101,20240115"), in bytes per second: cutting it
// into records, and cutting and splitting, by the SSE2 and the scalar scanner, beside the floor of
// finding each LF with memchr. The same records with every field quoted show the cost of quotes.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "quor/csv.hpp"
#include "text/csv_scan.hpp"

namespace {

using quor::CsvCut;
using quor::CsvOptions;
using quor::CsvRecordEnd;

constexpr int kRecords = 1'000'000;

std::string makeInput(bool quoted) {
  const char* const fields[] = {"\xEF\xBD\xB1\xEF\xBD\xB2\xEF\xBD\xB3 \xEF\xBD\xB4\xEF\xBD\xB5",  // ｱｲｳ ｴｵ
                                "\xE5\xB1\xB1\xE7\x94\xB0\xE5\xA4\xAA\xE9\x83\x8E",  // 山田太郎
                                "1234567", "-98765432101", "20240115"};
  const char* const q = quoted ? "\"" : "";
  std::string input;
  char id[16];
  for (int i = 0; i < kRecords; ++i) {
    std::snprintf(id, sizeof id, "A%07d", i);
    input += q + std::string(id) + q;
    for (const char* field : fields) input += std::string(",") + q + field + q;
    input += "\r\n";
  }
  return input;
}

const std::string& input(bool quoted) {
  static const std::string plain = makeInput(false);
  static const std::string allQuoted = makeInput(true);
  return quoted ? allQuoted : plain;
}

void BM_MemchrLineEnds(benchmark::State& state) {
  const std::string& in = input(false);
  for (auto _ : state) {
    std::size_t lines = 0;
    const char* const end = in.data() + in.size();
    for (const char* p = in.data();
         (p = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)))); ++p)
      ++lines;
    benchmark::DoNotOptimize(lines);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(in.size()));
}
BENCHMARK(BM_MemchrLineEnds)->Unit(benchmark::kMillisecond);

// Cuts every record of the input with `cut`, splitting each with `split` when `splitToo`.
template <auto cut, auto split>
void cutAll(benchmark::State& state, bool quoted, bool splitToo) {
  const std::string& in = input(quoted);
  const CsvOptions options;
  std::vector<quor::CsvField> fields;
  std::string storage;
  for (auto _ : state) {
    std::string_view rest = in;
    std::size_t count = 0;
    for (;;) {
      quor::text::csv::CutProgress progress;
      const CsvRecordEnd end = cut(rest, true, options, progress);
      if (end.cut == CsvCut::end) break;
      if (splitToo) {
        split(rest.substr(0, end.length), options, fields, storage, static_cast<std::size_t>(-1));
        count += fields.size();
      }
      rest.remove_prefix(end.length + end.lineEndLength);
    }
    benchmark::DoNotOptimize(count);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(in.size()));
}

#define QUOR_CSV_BENCH(name, cut, split, quoted, splitToo)                         \
  void BM_##name(benchmark::State& state) {                                        \
    cutAll<quor::text::csv::cut, quor::text::csv::split>(state, quoted, splitToo); \
  }                                                                                \
  BENCHMARK(BM_##name)->Unit(benchmark::kMillisecond)

#if QUOR_CSV_SSE2
QUOR_CSV_BENCH(CutSse2, cutSse2, splitSse2, false, false);
QUOR_CSV_BENCH(CutAndSplitSse2, cutSse2, splitSse2, false, true);
QUOR_CSV_BENCH(CutAndSplitQuotedSse2, cutSse2, splitSse2, true, true);
#endif
QUOR_CSV_BENCH(CutScalar, cutScalar, splitScalar, false, false);
QUOR_CSV_BENCH(CutAndSplitScalar, cutScalar, splitScalar, false, true);
QUOR_CSV_BENCH(CutAndSplitQuotedScalar, cutScalar, splitScalar, true, true);

// The public cutter and splitter, as a reader uses them.
void BM_CutterAndSplitter(benchmark::State& state) {
  const std::string& in = input(false);
  quor::CsvRecordCutter cutter;
  quor::CsvSplitter splitter;
  for (auto _ : state) {
    std::string_view rest = in;
    std::size_t count = 0;
    for (CsvRecordEnd end; (end = cutter.next(rest, true)).cut != CsvCut::end;) {
      count += splitter.split(rest.substr(0, end.length)).size();
      rest.remove_prefix(end.length + end.lineEndLength);
    }
    benchmark::DoNotOptimize(count);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(in.size()));
}
BENCHMARK(BM_CutterAndSplitter)->Unit(benchmark::kMillisecond);

}  // namespace
