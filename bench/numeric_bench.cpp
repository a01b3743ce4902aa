// Zoned and packed encoding beside their floor: allocating and filling a ByteString of the same size,
// measured in the same run so the ratio holds on any machine.

#include <benchmark/benchmark.h>

#include <quor/quor.hpp>
#include <string>

namespace {

const std::u16string kDigits = u"123456789012345678";

void Floor(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  for (auto _ : state) {
    quor::ByteString bytes(n, 0xF0);
    benchmark::DoNotOptimize(bytes.data());
  }
}
BENCHMARK(Floor)->Arg(1)->Arg(6)->Arg(10)->Arg(18)->Arg(24);

void Zoned(benchmark::State& state) {
  quor::Quor q;
  const auto digits = static_cast<std::size_t>(state.range(0));
  std::u16string text = u"-";
  text.append(kDigits, 0, digits);
  for (auto _ : state) benchmark::DoNotOptimize(q.FujitsuZoneFD(text, static_cast<std::int32_t>(digits)));
}
BENCHMARK(Zoned)->Arg(1)->Arg(10)->Arg(18);

// Packed fields of 1, 10 and 18 digits: 1, 6 and 10 bytes with the sign nibble.
void Packed(benchmark::State& state) {
  quor::Quor q;
  const auto digits = static_cast<std::size_t>(state.range(0));
  const std::u16string text = kDigits.substr(0, digits);
  const auto nibbles = static_cast<std::int32_t>(digits % 2 == 1 ? digits : digits + 1);
  for (auto _ : state) benchmark::DoNotOptimize(q.FujitsuPack(text, nibbles));
}
BENCHMARK(Packed)->Arg(1)->Arg(10)->Arg(18);

// A list of 20 items of 1 to 10 digits: 110 bytes in all.
void ZonedList20(benchmark::State& state) {
  quor::Quor q;
  std::u16string values, widths;
  for (int i = 0; i < 20; ++i) {
    const auto width = static_cast<std::size_t>(1 + i % 10);
    if (i) values += u',', widths += u',';
    if (i % 3 == 0) values += u'-';
    values.append(kDigits, 0, width);
    widths += static_cast<char16_t>(u'0' + width % 10);
    if (width == 10) widths.back() = u'1', widths += u'0';
  }
  for (auto _ : state) benchmark::DoNotOptimize(q.FujitsuZoneFDArray(values, widths));
}
BENCHMARK(ZonedList20);

void Floor110(benchmark::State& state) {
  for (auto _ : state) {
    quor::ByteString bytes(110, 0xF0);
    benchmark::DoNotOptimize(bytes.data());
  }
}
BENCHMARK(Floor110);

}  // namespace
