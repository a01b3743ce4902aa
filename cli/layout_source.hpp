#pragma once
// Where a command's record layout comes from: a layout file, a COBOL copybook, or the component's two
// lists. The options are the same for every command that reads or writes records.

#include <string>
#include <vector>

#include "quor/layout.hpp"

namespace CLI {
class App;
}

namespace quor::cli {

struct LayoutSource {
  std::string layoutFile;
  std::string copybookFile;
  std::string copyPath;  // folders for the copybook's COPY members, ':'-separated
  std::string lengths;
  std::string formats;
};

// Adds --layout, --copybook, --lengths and --formats to `command`; `lists` adds the last two.
void addLayoutOptions(CLI::App& command, LayoutSource& source, bool lists);

// The folders COPY members are looked for in: the copybook's own, then those of --copy-path in order.
std::vector<std::string> copyFoldersOf(const LayoutSource& source);

// The layout the options name. A malformed layout is a UsageError saying where and what; a file that
// cannot be read (or is a folder) an IoError.
Layout loadLayout(const LayoutSource& source);

}  // namespace quor::cli
