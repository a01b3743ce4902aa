#pragma once
// The words for the values the record builder writes other than they read: a sentence for a bad
// record's message, a phrase for the summary's counts.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "quor/layout.hpp"
#include "quor/record.hpp"

namespace quor::cli {

// A sentence for a message: "value longer than its field (23 characters, the field holds 20; it
// would be cut)".
std::string describeChange(const ValueChange& change, std::u16string_view value, const LayoutField& field);

// The plural phrase for a summary count: "longer than the field (cut)".
std::string_view summaryPhrase(Change change);

// Counts of changed values per kind, indexed by Change.
using ChangeCounts = std::array<std::uint64_t, kChangeKinds>;

}  // namespace quor::cli
