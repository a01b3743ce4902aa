#pragma once
// Reading the layout file named by --layout.

#include <string>

namespace quor::cli {

// The whole content of the layout file `path`. Throws IoError with the reason when it is a folder or
// cannot be opened or read.
std::string readLayoutFile(const std::string& path);

}  // namespace quor::cli
