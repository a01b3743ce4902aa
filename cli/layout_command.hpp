#pragma once
// quor layout: the resolved layout, field by field, to check it against the host compiler's listing.

#include "quor/layout.hpp"

namespace quor::cli {

// Prints `layout` to standard output: a table, or JSON with `json`. Returns kExitSuccess.
int runLayout(const Layout& layout, bool json);

}  // namespace quor::cli
