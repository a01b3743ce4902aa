#include "layout_source.hpp"

#include <CLI/CLI.hpp>
#include <algorithm>

namespace quor::cli {

void addLayoutOptions(CLI::App& command, LayoutSource& source, bool lists) {
  auto* layout = command.add_option("--layout", source.layoutFile,
                                    "Layout file: one field a line, 'name length format' or 'name kind length "
                                    "...' (docs/layouts.md)");
  auto* copybook = command.add_option("--copybook", source.copybookFile, "COBOL copybook describing the record");
  copybook->excludes(layout);
  command
      .add_option("--float", source.floatFormat,
                  "COMP-1/COMP-2 and float fields: hex (IBM hexadecimal floating point, the host's) or ieee "
                  "(IEEE 754, big-endian); default hex")
      ->check(CLI::IsMember({"hex", "ieee"}));
  command
      .add_option("--binary-range", source.binaryRange,
                  "COMP, COMP-4, BINARY and binary fields: digits (the picture's digits, the default) or full "
                  "(every value of their bytes, as TRUNC(BIN) compilers read them; COMP-5 always)")
      ->check(CLI::IsMember({"digits", "full"}));
  command
      .add_option("--positive-zone", source.positiveZone,
                  "The sign zone of a positive value in signed zoned fields: C (as host compilers write it, the "
                  "default) or F")
      ->check(CLI::IsMember({"C", "F", "c", "f"}));
  command
      .add_option("--copy-path", source.copyPath,
                  "Folders for the members of the copybook's COPY statements, ':'-separated, looked in after "
                  "the copybook's own folder (NAME, NAME.cpy, NAME.CPY)")
      ->needs(copybook);
  if (!lists) return;
  auto* lengths =
      command.add_option("--lengths", source.lengths, "Field lengths, comma-separated (e.g. 8,20,10)");
  auto* formats =
      command.add_option("--formats", source.formats, "Field format codes 0..3, comma-separated (e.g. 1,1,2)");
  lengths->needs(formats)->excludes(layout)->excludes(copybook);
  formats->needs(lengths)->excludes(layout)->excludes(copybook);
}

LayoutOptions layoutOptionsOf(const LayoutSource& source) {
  LayoutOptions options;
  options.floatFormat = source.floatFormat == "ieee" ? FloatFormat::ieee : FloatFormat::hexadecimal;
  options.binaryRange = source.binaryRange == "full" ? BinaryRange::full : BinaryRange::digits;
  options.positiveZone = source.positiveZone == "F" || source.positiveZone == "f" ? kPositiveZoneF : kPositiveZoneC;
  options.use = source.use;
  return options;
}

std::vector<std::string> copyFoldersOf(const LayoutSource& source) {
  const std::size_t slash = source.copybookFile.rfind('/');
  std::vector<std::string> folders{slash == std::string::npos ? std::string(".")
                                   : slash == 0                ? std::string("/")
                                                               : source.copybookFile.substr(0, slash)};
  for (std::size_t at = 0; at < source.copyPath.size();) {
    const std::size_t colon = std::min(source.copyPath.find(':', at), source.copyPath.size());
    if (colon > at) folders.push_back(source.copyPath.substr(at, colon - at));
    at = colon + 1;
  }
  return folders;
}

}  // namespace quor::cli
