#pragma once
// How the tool shows a count in its messages, and the words for the values a run writes other than
// they read (the words for one value are the library's, quor/record_problem.hpp).

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "quor/layout.hpp"
#include "quor/record.hpp"

namespace quor::cli {

// "1 record", "2 records".
std::string counted(std::uint64_t count, const std::string& noun);

// Counts a bad record in `bad` and prints `message` on standard error, with `skipped` ("(line
// skipped)") when the run goes on. False when it ends the run: without --skip-bad (`skipBad`), or
// once the bad records exceed `maxErrors`.
bool reportBadRecord(const std::string& message, const char* skipped, bool skipBad,
                     std::optional<std::uint64_t> maxErrors, std::uint64_t& bad);

// The phrase for a summary count: "cut", "not a number (written as zeros)".
std::string_view summaryPhrase(Change change);

// Counts of changed values per kind, indexed by Change.
using ChangeCounts = std::array<std::uint64_t, kChangeKinds>;

}  // namespace quor::cli
