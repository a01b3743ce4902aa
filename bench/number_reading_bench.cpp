// Speed of the number readings on the texts a record field typically holds, and on the long texts
// that exercise the exact reading.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <iterator>
#include <string>

#include "number_text/number_reading.hpp"

namespace {

using namespace quor::number_text;

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

void BM_ExactNumberText(benchmark::State& state) {
  for (auto _ : state) {
    for (const auto text : kFieldTexts) benchmark::DoNotOptimize(exactNumberText(text));
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(std::size(kFieldTexts)));
}
BENCHMARK(BM_ExactNumberText);

// A number of the given count of digits: the readings are linear in the length of the text.
void BM_ExactNumberTextLongText(benchmark::State& state) {
  const std::u16string text = u"0." + std::u16string(static_cast<std::size_t>(state.range(0)), u'7');
  for (auto _ : state) benchmark::DoNotOptimize(exactNumberText(text));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size() * sizeof(char16_t)));
}
BENCHMARK(BM_ExactNumberTextLongText)->Range(16, 1 << 16);

}  // namespace
