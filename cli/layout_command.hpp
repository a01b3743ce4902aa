#pragma once
// quor layout: the resolved layout, field by field, to check it against the host compiler's listing.

#include <vector>

#include "quor/layout.hpp"

namespace quor::cli {

// Prints `layouts` to standard output: a table, or JSON with `json`; several each under their name (in
// JSON, an array of the records, each with its "record" name). Returns kExitSuccess.
int runLayout(const std::vector<NamedLayout>& layouts, bool json);

}  // namespace quor::cli
