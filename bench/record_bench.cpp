// A record of the orders layout (a code, a kana name, a kanji name, a quantity, a signed amount, a
// date) beside the sum of its six encoder calls with the same formatted values, measured in one run:
// the formatting and list handling of the record builder should cost little on top of the encoders.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <quor/quor.hpp>
#include <string>

namespace {

const std::u16string kValues =
    u"A0012345,\uff94\uff8f\uff80\uff9e \uff80\uff9b\uff73,\u5c71\u7530\u592a\u90ce,42,-1234567,20261208";
const std::u16string kLengths = u"8,20,10,7,11,8";
const std::u16string kFormats = u"1,1,2,0,3,0";

quor::Quor quietObject() {
  quor::Quor q;
  q.JEFGaijiFilePath(u"");  // no mapping file
  return q;
}

void Record(benchmark::State& state) {
  quor::Quor q = quietObject();
  for (auto _ : state) benchmark::DoNotOptimize(q.FujitsuHostQuor(kValues, kLengths, kFormats));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(Record);

// The six encoder calls the record makes, with the values as the formatter hands them on.
void SixEncoderCalls(benchmark::State& state) {
  quor::Quor q = quietObject();
  const std::u16string kana =
      std::u16string(u"\uff94\uff8f\uff80\uff9e \uff80\uff9b\uff73") + std::u16string(11, u' ');
  const std::u16string kanji = u"\u5c71\u7530\u592a\u90ce" + std::u16string(6, u'\u3000');
  for (auto _ : state) {
    benchmark::DoNotOptimize(q.SJIStoEBCDICK(u"A0012345", 8));
    benchmark::DoNotOptimize(q.SJIStoEBCDICK(kana, 20));
    benchmark::DoNotOptimize(q.FujitsuJEF(kanji, 10));
    benchmark::DoNotOptimize(q.FujitsuZoneFD(u"42", 7));
    benchmark::DoNotOptimize(q.FujitsuPack(u"-00001234567", 11));
    benchmark::DoNotOptimize(q.FujitsuZoneFD(u"20261208", 8));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(SixEncoderCalls);

// 100,000 records appended to a file through one object.
void BinaryWrite100k(benchmark::State& state) {
  char path[] = "/tmp/quor-bench-XXXXXX";
  const int fd = mkstemp(path);
  if (fd >= 0) close(fd);
  const std::u16string file(path, path + sizeof path - 1);
  for (auto _ : state) {
    quor::Quor q = quietObject();
    for (int i = 0; i < 100000; ++i)
      benchmark::DoNotOptimize(q.FujitsuHostQuorBinaryWrite(kValues, kLengths, kFormats, file));
  }
  std::remove(path);
  state.SetItemsProcessed(state.iterations() * 100000);
}
BENCHMARK(BinaryWrite100k)->Unit(benchmark::kMillisecond);

}  // namespace
