#pragma once
// The fields of one Quor object: the gaiji file path or a pinned reading of a mapping file, and the
// record output file. Every call keeps its working state in locals; nothing here is shared between
// objects.

#include <optional>
#include <string>
#include <string_view>

#include "platform/output_file.hpp"
#include "quor/gaiji_mapping.hpp"
#include "quor/quor.hpp"

namespace quor {

struct Quor::Fields {
  static constexpr std::u16string_view kDefaultGaijiPath = u"C:\\Program Files\\Fujitsu\\JEF\\FMB1JEFM.TXT";

  std::u16string gaijiFilePath{kDefaultGaijiPath};
  // A reading of a mapping file that FujitsuJEF uses instead of reading gaijiFilePath per call.
  std::optional<GaijiMapping> pinnedGaiji;

  // The record output file, open from the first successful FujitsuHostQuorBinaryWrite until the object
  // is destroyed; destruction closes only this file, the one this object opened.
  platform::OutputFile output;
};

}  // namespace quor
