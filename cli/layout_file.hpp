#pragma once
// Reading the layout file or copybook a command names.

#include <string>

namespace quor::cli {

// The whole content of the file `path`, which messages call `what` ("the layout file"). Throws IoError
// with the reason when it is a folder or cannot be opened or read.
std::string readLayoutFile(const std::string& path, const std::string& what = "the layout file");

}  // namespace quor::cli
