// Record plans beside the builder and the decoder, on layouts made from the input:
// - encode: whenever the plan writes a record, the builder writes the same bytes with no change, and
//   for a layout of component fields FujitsuHostQuor gives them too (values without commas); values
//   that are not valid text are never the plan's;
// - decode: whenever the plan reads a record, the decoder finds no invalid data and the CSV writer
//   writes the same line, whatever the delimiter (a number's characters among those tried);
// - both: a layout with a column the plans decline (record::planTakes) is never the plans': they
//   decline every record of it; a layout with varying tables (OCCURS DEPENDING ON) is, its records the
//   length their counters make (padded to the longest or not, as the rest's length says), the record
//   the encode plan writes and the input's bytes both read back;
// - short records of a variable-length file: whenever the plan writes a record, it writes the record of
//   its first columns too, the first bytes of the whole one, as RecordBuilder::appendFirstColumns
//   does; whenever it reads a record, it reads a shorter one ending where a field ends too, its line
//   the decoder's values within it through the CSV writer, and it never reads one ending inside a field.
//
// Input: the flags byte (bit 0: values in code page 932 instead of UTF-8; bit 1: --unsigned; bit 2:
// CSV out in code page 932; bit 3: values read back keep their padding and zeros; bits 4-7: the host
// code page, 0-8 in the order of HostCodePage with shift codes, 9-15 the first seven pages without), the
// fields (fuzz_support.hpp layoutOf) up to the first 0xFF, then the values' bytes cut at 0x00, then the
// rest as record bytes. The count of the first columns a short record has is told by the length of the
// rest, and so is the length of the short record read back (the bytes past a whole record); the first
// byte past a whole record picks the CSV delimiter.

#include <algorithm>
#include <memory>
#include <vector>

#include "fuzz_support.hpp"
#include "quor/csv_writer.hpp"
#include "quor/quor.hpp"
#include "quor/record.hpp"
#include "quor/record_plan.hpp"
#include "quor/text.hpp"
#include "record/field_kind.hpp"

namespace {

// The values as UTF-16, or nothing when the bytes are not valid text.
bool decodeValues(const std::vector<std::string_view>& values, bool cp932, std::vector<std::u16string>& out) {
  out.clear();
  for (const std::string_view value : values) {
    std::u16string text(value.size(), u'\0');
    const quor::TextDecodeResult read =
        cp932 ? quor::decodeCp932(value, text.data()) : quor::decodeUtf8(value, text.data());
    if (!read.ok) return false;
    text.resize(read.length);
    out.push_back(std::move(text));
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  quor::fuzz::Input in(data, size);
  const std::uint8_t flags = in.flags();
  const bool cp932 = (flags & 1u) != 0;
  const bool sign = in.sign();
  const quor::Layout layout = quor::fuzz::layoutOf(in);
  if (layout.fields.empty()) return 0;
  const std::size_t columns = layout.columns().size();

  // The values: raw bytes cut at 0x00.
  std::vector<std::string_view> values = quor::fuzz::parts(in.bytes(80), columns);
  if (columns == 0) values.clear();
  const std::string_view recordBytes = in.rest();

  // The tables depend on the mapping and the host only: asked once for each host, as a run does.
  const quor::GaijiMapping mapping;
  const unsigned hostBits = flags >> 4u;
  const auto host = static_cast<quor::HostCodePage>(hostBits < 9 ? hostBits : hostBits - 9);
  static std::unique_ptr<const quor::PlanTables> hostTables[9];
  if (!hostTables[static_cast<unsigned>(host)])
    hostTables[static_cast<unsigned>(host)] = std::make_unique<const quor::PlanTables>(mapping, quor::PlanUse::both, host);
  const quor::PlanTables& tables = *hostTables[static_cast<unsigned>(host)];
  quor::RecordOptions options{sign, (flags & 8u) != 0, host, hostBits < 9};
  options.keepZeros = options.keepPadding;
  options.padVarying = (recordBytes.size() / 7) % 2 == 1;
  // A layout the page cannot hold is refused by the builder and the plans alike.
  try {
    quor::checkLayoutForHost(layout, host);
  } catch (const quor::Error&) {
    bool refused = false;
    try {
      const quor::EncodePlan refusedPlan(layout, options, tables, quor::TextEncoding::utf8);
    } catch (const quor::Error& error) {
      refused = error.number() == 5;
    }
    QUOR_FUZZ_CHECK(refused);
    return 0;
  }
  // A column of a kind or attribute the plans leave to the builder and decoder: they take no record.
  bool declined = false;
  for (const std::size_t column : layout.columns())
    declined = declined || !quor::record::planTakes(layout.fields[column]);
  const quor::EncodePlan encodePlan(layout, options, tables, cp932 ? quor::TextEncoding::cp932 : quor::TextEncoding::utf8);
  std::vector<std::uint8_t> planned(layout.recordLength);
  const std::size_t plannedLength = encodePlan.encode(values, planned.data());
  const bool fast = plannedLength != 0;
  QUOR_FUZZ_CHECK(!(fast && declined));
  // Every record the longest's length, but one of varying tables unpadded.
  QUOR_FUZZ_CHECK(!fast || plannedLength == layout.recordLength || (layout.varies() && !options.padVarying));
  QUOR_FUZZ_CHECK(plannedLength <= layout.recordLength);
  std::vector<std::u16string> texts;
  const bool valid = decodeValues(values, cp932, texts);
  if (fast) {
    QUOR_FUZZ_CHECK(valid);
    quor::RecordBuilder builder(layout, options, mapping);
    const std::vector<std::u16string_view> views(texts.begin(), texts.end());
    std::vector<quor::ValueChange> changes(columns);
    quor::ByteString built;
    builder.append(views, built, changes);
    for (const auto& change : changes) QUOR_FUZZ_CHECK(change.kind == quor::Change::none);
    QUOR_FUZZ_CHECK(built == quor::ByteString(planned.data(), plannedLength));
    bool commas = false;
    for (const auto& text : texts) commas = commas || text.find(u',') != std::u16string::npos;
    // The record of its first columns: the whole record's first bytes, as the builder writes it.
    // (A layout with varying tables has no such records on the plan's way.)
    if (columns > 0 && !layout.varies()) {
      const std::size_t given = 1 + recordBytes.size() % columns;
      std::vector<std::uint8_t> first(layout.recordLength);
      const std::size_t length = encodePlan.encodeFirst(std::span(values.data(), given), first.data());
      QUOR_FUZZ_CHECK(length != 0 && length <= layout.recordLength);
      QUOR_FUZZ_CHECK(
          std::equal(first.begin(), first.begin() + static_cast<std::ptrdiff_t>(length), planned.begin()));
      quor::ByteString shortBuilt;
      builder.appendFirstColumns(std::span(views.data(), given), shortBuilt);
      QUOR_FUZZ_CHECK(shortBuilt == quor::ByteString(first.data(), length));
    }
    if (layout.componentOnly() && !layout.varies() && !commas && columns > 0 &&
        host == quor::HostCodePage::fujitsu) {
      std::u16string list;
      for (std::size_t i = 0; i < texts.size(); ++i) list += (i == 0 ? u"" : u",") + texts[i];
      quor::Quor q;
      q.PinGaijiMapping(mapping);
      QUOR_FUZZ_CHECK(q.FujitsuHostQuor(list, layout.lengthList(), layout.formatList(), sign) == built);
    }
  }

  // Decode: the plan's line against the decoder and the CSV writer.
  const bool cp932Out = (flags & 4u) != 0;
  // The delimiter: the byte after the record picks one, a number's characters among them.
  static constexpr char kDelimiters[] = {',', ';', '\t', '|', ' ', '-', '.', '7', '+', 'E', ':', 'A'};
  const char delimiter = recordBytes.size() > layout.recordLength
                             ? kDelimiters[static_cast<std::uint8_t>(recordBytes[layout.recordLength]) % 12]
                             : ',';
  const quor::CsvWriteOptions csv{delimiter, cp932Out ? quor::TextEncoding::cp932 : quor::TextEncoding::utf8,
                                  cp932Out};
  const quor::DecodePlan decodePlan(layout, options, tables, csv);
  std::vector<char> line(decodePlan.maxLineBytes());
  const quor::RecordDecoder decoder(layout, options, mapping);
  std::vector<std::u16string> decoded;
  std::vector<quor::FieldFault> faults;
  std::string written;
  // The line of a record the plan reads is the decoder's values, none invalid, through the writer.
  const auto readBack = [&](std::span<const std::uint8_t> record) {
    const std::size_t length = decodePlan.decode(record, line.data());
    QUOR_FUZZ_CHECK(length == 0 || !declined);
    if (length == 0) return length;
    QUOR_FUZZ_CHECK(length <= line.size());
    decoder.decode(record, decoded, faults);
    QUOR_FUZZ_CHECK(faults.empty());
    written.clear();
    quor::appendCsvRecord(decoded, csv, written);
    QUOR_FUZZ_CHECK(written == std::string_view(line.data(), length));
    return length;
  };
  const auto* const rest = reinterpret_cast<const std::uint8_t*>(recordBytes.data());
  if (layout.varies()) {
    if (fast) readBack({planned.data(), plannedLength});
    readBack({rest, std::min(recordBytes.size(), layout.recordLength)});
    return 0;
  }
  if (recordBytes.size() < layout.recordLength) return 0;
  const std::span<const std::uint8_t> record(rest, layout.recordLength);
  if (readBack(record) == 0) return 0;

  // A shorter record of the same bytes: read where it ends between fields with a column in it, and
  // never where it ends inside one.
  const std::size_t shortLength = (recordBytes.size() - layout.recordLength) % (layout.recordLength + 1);
  if (shortLength == 0 || shortLength == layout.recordLength) return 0;
  const std::size_t within = quor::columnsWithin(layout, shortLength);
  const bool cut = quor::fieldCutBy(layout, shortLength).has_value();
  const std::size_t shortLine = decodePlan.decode(record.first(shortLength), line.data());
  QUOR_FUZZ_CHECK((shortLine != 0) == (!cut && within > 0));
  if (shortLine == 0) return 0;
  std::vector<std::u16string> shortDecoded;
  decoder.decode(record.first(shortLength), shortDecoded, faults);
  QUOR_FUZZ_CHECK(faults.empty());
  written.clear();
  quor::appendCsvRecord(std::span<const std::u16string>(shortDecoded.data(), within), csv, written);
  QUOR_FUZZ_CHECK(written == std::string_view(line.data(), shortLine));
  return 0;
}
