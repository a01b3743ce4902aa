// Speed of the number text services on the texts a record field typically holds, and on the long
// texts that exercise the exact readings.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <iterator>
#include <string>

#include "platform/number_reading.hpp"

namespace {

using namespace quor::platform;

constexpr NumberSeparators kEnglish{u'.', u','};
const std::u16string_view kFieldTexts[] = {u"123",  u"  -1,234.50 ", u"2147483646.5",
                                           u"&H1F", u"1.5E-3",       u"12A"};

void BM_IsNumeric(benchmark::State& state) {
  for (auto _ : state) {
    for (const auto text : kFieldTexts) benchmark::DoNotOptimize(isNumeric(text, kEnglish));
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(std::size(kFieldTexts)));
}
BENCHMARK(BM_IsNumeric);

void BM_IntegerValue(benchmark::State& state) {
  const std::u16string_view texts[] = {u"5", u"  120 ", u"2.5", u"1,234"};
  for (auto _ : state) {
    for (const auto text : texts) benchmark::DoNotOptimize(integerValue(text, kEnglish));
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(std::size(texts)));
}
BENCHMARK(BM_IntegerValue);

void BM_NumericValue(benchmark::State& state) {
  for (auto _ : state) {
    for (const auto text : kFieldTexts) benchmark::DoNotOptimize(numericValue(text));
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(std::size(kFieldTexts)));
}
BENCHMARK(BM_NumericValue);

void BM_NumberText(benchmark::State& state) {
  const double values[] = {123, -1234.5, 0.0015, 1234567890123456.0, 1.0 / 3};
  for (auto _ : state) {
    for (const double value : values) benchmark::DoNotOptimize(numberText(value));
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(std::size(values)));
}
BENCHMARK(BM_NumberText);

void BM_ExactNumberText(benchmark::State& state) {
  for (auto _ : state) {
    for (const auto text : kFieldTexts) benchmark::DoNotOptimize(exactNumberText(text));
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(std::size(kFieldTexts)));
}
BENCHMARK(BM_ExactNumberText);

// A number of the given count of digits: the readings are linear in the length of the text.
void BM_NumericValueLongText(benchmark::State& state) {
  const std::u16string text = u"0." + std::u16string(static_cast<std::size_t>(state.range(0)), u'7');
  for (auto _ : state) benchmark::DoNotOptimize(numericValue(text));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size() * sizeof(char16_t)));
}
BENCHMARK(BM_NumericValueLongText)->Range(16, 1 << 16);

}  // namespace
