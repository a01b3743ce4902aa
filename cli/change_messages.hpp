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

// The kinds of changed value a summary counts: the changes, indexed by Change, and a double-byte
// character in a typed text field apart, which is written as blanks where a component field has 0x00
// bytes.
inline constexpr std::size_t kTallyKinds = kChangeKinds + 1;
std::size_t tallyKind(const ValueChange& change, const LayoutField& field);

// The phrase for a summary count of a tally kind: "cut to the field", "not a number (written as zeros)".
std::string_view summaryPhrase(std::size_t tallyKind);

// Counts of changed values per tally kind.
using ChangeCounts = std::array<std::uint64_t, kTallyKinds>;

}  // namespace quor::cli
