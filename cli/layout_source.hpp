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
  std::string floatFormat = "hex";    // --float
  std::string binaryRange = "digits";  // --binary-range
  std::string positiveZone = "C";     // --positive-zone
  LayoutUse use = LayoutUse::any;     // the command's direction, for the words of a refusal
};

// Adds --layout, --copybook, --lengths and --formats to `command` (`lists` adds the last two), and the
// site's choices for fields that do not make their own: --float, --binary-range and --positive-zone.
void addLayoutOptions(CLI::App& command, LayoutSource& source, bool lists);

// The site's choices the options give, and the command's direction.
LayoutOptions layoutOptionsOf(const LayoutSource& source);
// The folders COPY members are looked for in: the copybook's own, then those of --copy-path in order.
std::vector<std::string> copyFoldersOf(const LayoutSource& source);

}  // namespace quor::cli
