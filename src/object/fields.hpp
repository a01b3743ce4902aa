#pragma once
// The fields of one Quor object: the lists of the last list call, the field in progress of the record
// builder, the gaiji file path, and the record output file. Nothing here is shared between objects.

#include <cstdint>
#include <optional>
#include <string>

#include "object/comma_list.hpp"
#include "platform/output_file.hpp"
#include "quor/gaiji_mapping.hpp"
#include "quor/quor.hpp"

namespace quor {

struct Quor::Fields {
  static constexpr std::u16string_view kDefaultGaijiPath = u"C:\\Program Files\\Fujitsu\\JEF\\FMB1JEFM.TXT";

  // The field the record builder is working on; each call assigns them before reading them.
  std::int32_t fieldLength = 1;
  std::u16string fieldValue;
  std::int32_t fieldFormat = setNumeric;
  std::u16string formattedValue;
  std::u16string scratch;  // working text of the record builder, kept for its storage

  // The lists of the last FujitsuHostQuor (all three) or FujitsuZoneFDArray (values and lengths).
  detail::CommaList characterList;
  detail::CommaList lengthList;
  detail::CommaList formatList;
  // The size of the last record built, which the next one reserves.
  std::size_t lastRecordSize = 0;

  std::u16string gaijiFilePath{kDefaultGaijiPath};
  // A reading of a mapping file that FujitsuJEF uses instead of reading gaijiFilePath per call.
  std::optional<GaijiMapping> pinnedGaiji;

  // The record output file, open from the first successful FujitsuHostQuorBinaryWrite until the object
  // is destroyed; destruction closes only this file, the one this object opened.
  platform::OutputFile output;

  // The private formatter of the record builder: brings fieldValue into the shape its encoder expects.
  const std::u16string& formatField();
};

}  // namespace quor
