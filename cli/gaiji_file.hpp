#pragma once
// The gaiji mapping file of a run: the site's list of JEF codes for its user-defined characters.

#include <optional>
#include <string>

#include "quor/gaiji_mapping.hpp"

namespace quor::cli {

// The mapping a run uses: the file `path` names (--gaiji), else the file the environment variable
// QUOR_GAIJI names, else none (a user-defined character in a JEF field is then a bad value). A file
// that cannot be read is an IoError; one that is not a regular file, is empty, holds NUL bytes (not
// text) or has no mapping line is a UsageError; each message says which file and why.
GaijiMapping loadGaijiMapping(const std::optional<std::string>& path);

}  // namespace quor::cli
