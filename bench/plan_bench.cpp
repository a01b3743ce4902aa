// One record of the benchmark layout (bench/generate_records.py: a code, a half-width kana name, a
// kanji name, a quantity, a signed amount, a date) through the record plans beside the record builder:
// the plans are the way quor encode and decode take every common record.

#include <benchmark/benchmark.h>

#include <array>
#include <quor/csv.hpp>
#include <quor/layout.hpp>
#include <quor/record.hpp>
#include <quor/record_plan.hpp>
#include <quor/text.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace {

const std::array<std::string_view, 6> kValues = {"A0000000", "ﾀｸｴｽﾀ ﾊｱｾ", "央加央", "2376650", "64330410746",
                                                 "20240101"};
const char kLine[] = "A0000000,ﾀｸｴｽﾀ ﾊｱｾ,央加央,2376650,64330410746,20240101";

quor::Layout benchLayout() {
  return quor::layoutFromLists("8,20,10,7,11,8", "1,1,2,0,3,0");
}

void Encode(benchmark::State& state) {
  const quor::PlanTables tables{quor::GaijiMapping()};
  const quor::Layout layout = benchLayout();
  const quor::EncodePlan plan(layout, {}, tables, quor::TextEncoding::utf8);
  std::vector<std::uint8_t> record(layout.recordLength);
  for (auto _ : state) {
    if (!plan.encode(kValues, record.data())) state.SkipWithError("not the plan's record");
    benchmark::DoNotOptimize(record.data());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(Encode);

// The record's line split as quor encode splits it, then encoded by the plan.
void SplitAndEncode(benchmark::State& state) {
  const quor::PlanTables tables{quor::GaijiMapping()};
  const quor::Layout layout = benchLayout();
  const quor::EncodePlan plan(layout, {}, tables, quor::TextEncoding::utf8);
  quor::CsvSplitter splitter;
  std::vector<std::string_view> values;
  std::vector<std::uint8_t> record(layout.recordLength);
  for (auto _ : state) {
    values.clear();
    for (const quor::CsvField& field : splitter.split(kLine)) values.push_back(field.text);
    if (!plan.encode(values, record.data())) state.SkipWithError("not the plan's record");
    benchmark::DoNotOptimize(record.data());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(SplitAndEncode);

// The same record through the record builder, from UTF-16 values.
void Builder(benchmark::State& state) {
  const quor::Layout layout = benchLayout();
  quor::RecordBuilder builder(layout);
  std::vector<std::u16string> texts;
  for (const std::string_view value : kValues) {
    std::u16string text(value.size(), u'\0');
    text.resize(quor::decodeUtf8(value, text.data()).length);
    texts.push_back(std::move(text));
  }
  const std::vector<std::u16string_view> views(texts.begin(), texts.end());
  quor::ByteString out;
  for (auto _ : state) {
    out.clear();
    builder.append(views, out);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(Builder);

void Decode(benchmark::State& state) {
  const quor::PlanTables tables{quor::GaijiMapping()};
  const quor::Layout layout = benchLayout();
  const quor::EncodePlan encode(layout, {}, tables, quor::TextEncoding::utf8);
  const quor::DecodePlan plan(layout, {}, tables, quor::CsvWriteOptions{});
  std::vector<std::uint8_t> record(layout.recordLength);
  if (!encode.encode(kValues, record.data())) state.SkipWithError("not the plan's record");
  std::vector<char> line(plan.maxLineBytes());
  for (auto _ : state) {
    if (plan.decode(record, line.data()) == 0) state.SkipWithError("not the plan's record");
    benchmark::DoNotOptimize(line.data());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(Decode);

// The tables a run makes first, with the plans of the benchmark layout that make the tables of
// characters written they need: 0 both ways, 1 for encode plans, 2 for decode plans.
void Tables(benchmark::State& state) {
  const quor::PlanUse uses[] = {quor::PlanUse::both, quor::PlanUse::encode, quor::PlanUse::decode};
  const quor::PlanUse use = uses[state.range(0)];
  const quor::Layout layout = benchLayout();
  for (auto _ : state) {
    const quor::PlanTables tables{quor::GaijiMapping(), use};
    if (use != quor::PlanUse::decode) {
      const quor::EncodePlan plan(layout, {}, tables, quor::TextEncoding::utf8);
      benchmark::DoNotOptimize(&plan);
    }
    if (use != quor::PlanUse::encode) {
      const quor::DecodePlan plan(layout, {}, tables, quor::CsvWriteOptions{});
      benchmark::DoNotOptimize(&plan);
    }
  }
}
BENCHMARK(Tables)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

}  // namespace
