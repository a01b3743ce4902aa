#pragma once
// Reading a whole file a command names: a layout file, a copybook, a gaiji mapping file.

#include <string>

namespace quor::cli {

// The whole content of the file `path`, which messages call `what` ("the layout file"). Throws IoError
// with the reason when it is a folder or cannot be opened or read.
std::string readWholeFile(const std::string& path, const std::string& what);

}  // namespace quor::cli
