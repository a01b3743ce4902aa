#include "progress.hpp"

#include <gtest/gtest.h>

namespace quor::cli {
namespace {

TEST(Progress, SaysHowFarTheRunIsAndTheTimeLeftWhenTheInputsSizeIsKnown) {
  struct Case {
    std::uint64_t bytesRead;
    std::optional<std::uint64_t> total;
    double seconds;
    std::string line;
  };
  const Case cases[] = {
      {29'000'000, 100'000'000, 29, "quor: 5000 records, 29 % of 100.0 MB, 1 min 11 s left"},
      {1'000'000, 100'000'000, 40, "quor: 5000 records, 1 % of 100.0 MB, 1 h 06 min left"},
      {150'000'000, 100'000'000, 10, "quor: 5000 records, 100 % of 100.0 MB, 0 s left"},  // the input grew
      {2'000'000, std::nullopt, 10, "quor: 5000 records, 2.0 MB read, 500 records/s"},
  };
  for (const Case& c : cases) EXPECT_EQ(progressLine(5000, c.bytesRead, c.total, c.seconds), c.line);
}

}  // namespace
}  // namespace quor::cli
