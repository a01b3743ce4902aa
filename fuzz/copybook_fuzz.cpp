// The copybook reader with arbitrary text: the input up to its first 0x00 is the copybook, the parts
// after it (cut at 0x00) the members M1, M2 and M3 its COPY statements may name. It refuses with error
// 5 and a message that names the copybook or a member, or gives a layout
// - whose columns and constants tile the longest record in order without gaps or overlaps, whose
//   overlays lie within it, whose sizes are fieldSize()'s, whose constants' own bytes are their size,
//   whose named fields have names no other field has, and which finishLayout() leaves as it is;
// - that every path builds and reads back equal (unless the builder refuses a FILLER's text its field
//   would write other than it reads): a record of zeros and blanks, each table at its
//   fewest elements (the shortest record), is as long as its counters make it (found so from its bytes), decodes without
//   invalid data, and encodes from what it decodes to the same bytes; the encode plan writes the same
//   bytes or declines (always, for a layout of varying length).

#include <algorithm>
#include <optional>
#include <set>
#include <string>

#include "fuzz_support.hpp"
#include "quor/layout.hpp"
#include "quor/record.hpp"
#include "quor/record_plan.hpp"
#include "quor/text.hpp"

namespace {

bool fromFile(std::string_view origin, const std::vector<std::string>& files) {
  for (const std::string& file : files)
    if (origin.substr(0, file.size() + 1) == file + ":" && origin.size() > file.size() + 1) return true;
  return false;
}

void checkReadBack(const quor::Layout& layout) {
  const std::vector<std::size_t> columns = layout.columns();
  std::vector<std::string> values(columns.size());
  for (std::size_t c = 0; c < columns.size(); ++c) {
    const quor::LayoutField& field = layout.fields[columns[c]];
    if (field.kind == quor::FieldKind::zoned || field.kind == quor::FieldKind::packed ||
        field.kind == quor::FieldKind::binary)
      values[c] = "0";
    // Tables of one counter hold one count: the fewest all of them hold.
    std::size_t fewest = 0;
    bool counts = false;
    for (const quor::VaryingTable& table : layout.tables)
      if (table.counter == columns[c]) {
        fewest = std::max(fewest, table.least);
        counts = true;
      }
    if (counts) values[c] = std::to_string(fewest);
  }
  std::vector<std::u16string> texts;
  for (const std::string& value : values) texts.emplace_back(value.begin(), value.end());
  const std::vector<std::u16string_view> views(texts.begin(), texts.end());
  std::optional<quor::RecordBuilder> made;
  try {
    made.emplace(layout);
  } catch (const quor::Error& e) {
    // Only a FILLER's text its field would write other than it reads.
    bool text = false;
    for (const quor::LayoutField& field : layout.fields) text = text || !field.constantText.empty();
    QUOR_FUZZ_CHECK(e.number() == quor::errors::kInvalidCall && text);
    return;
  }
  quor::RecordBuilder& builder = *made;
  quor::ByteString bytes;
  std::vector<quor::ValueChange> changes(columns.size());
  try {
    builder.append(views, bytes, changes);
  } catch (const quor::Error& e) {
    // Only a fewest count its counter cannot hold (PIC 9 for 0 TO 12 is fine, 10 TO 12 is not).
    QUOR_FUZZ_CHECK(e.number() == quor::errors::kSubscript && layout.varies());
    return;
  }
  const quor::RecordDecoder decoder(layout);
  const quor::RecordExtent extent = decoder.extent({bytes.data(), bytes.size()});
  QUOR_FUZZ_CHECK(!extent.fault && extent.length == bytes.size());
  QUOR_FUZZ_CHECK(bytes.size() == layout.shortestLength);
  std::vector<std::u16string> decoded;
  std::vector<quor::FieldFault> faults;
  decoder.decode({bytes.data(), bytes.size()}, decoded, faults);
  QUOR_FUZZ_CHECK(faults.empty());
  const std::vector<std::u16string_view> again(decoded.begin(), decoded.end());
  quor::ByteString rebuilt;
  builder.append(again, rebuilt);
  QUOR_FUZZ_CHECK(rebuilt == bytes);

  static const quor::PlanTables tables{quor::GaijiMapping(), quor::PlanUse::encode};
  const quor::EncodePlan plan(layout, quor::RecordOptions{}, tables, quor::TextEncoding::utf8);
  std::vector<std::string_view> input(values.begin(), values.end());
  std::vector<std::uint8_t> planned(layout.recordLength);
  if (!plan.encode(input, planned.data())) return;
  QUOR_FUZZ_CHECK(!layout.varies());
  bool changed = false;
  for (const quor::ValueChange& change : changes) changed = changed || change.kind != quor::Change::none;
  QUOR_FUZZ_CHECK(changed || quor::ByteString(planned.data(), planned.size()) == bytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string_view> parts = quor::fuzz::parts(input, 4);
  const std::vector<std::string> files = {"fuzz.cpy", "M1.cpy", "M2.cpy", "M3.cpy"};
  const quor::CopyResolver members = [&](const std::string& name, const std::string& library) {
    std::string key = library.empty() ? name : library + "/" + name;
    for (char& c : key) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    for (std::size_t i = 1; i < 4; ++i)
      if (key == "M" + std::to_string(i)) return quor::CopyMember{files[i], std::string(parts[i])};
    throw quor::Error(quor::errors::kInvalidCall, "no member " + key);
  };
  quor::Layout layout;
  try {
    layout = quor::parseCopybook(parts[0], "fuzz.cpy", members);
  } catch (const quor::Error& e) {
    QUOR_FUZZ_CHECK(e.number() == quor::errors::kInvalidCall);
    QUOR_FUZZ_CHECK(fromFile(e.what(), files) || std::string_view(e.what()).substr(0, 9) == "fuzz.cpy:");
    return 0;
  }

  QUOR_FUZZ_CHECK(!layout.fields.empty());
  std::set<std::string> names;
  std::size_t end = 0;
  for (const quor::LayoutField& field : layout.fields) {
    const bool slack = field.name == "(slack bytes)";
    QUOR_FUZZ_CHECK(field.kind != quor::FieldKind::component && (field.kind == quor::FieldKind::filler) == slack);
    QUOR_FUZZ_CHECK(field.length >= 1 && field.scale >= 0 && field.scale <= field.length);
    QUOR_FUZZ_CHECK(field.scale == 0 ||
                    (field.kind != quor::FieldKind::text && field.kind != quor::FieldKind::national));
    QUOR_FUZZ_CHECK(field.size == quor::fieldSize(field) && field.size >= 1);
    QUOR_FUZZ_CHECK(fromFile(field.origin, files));
    QUOR_FUZZ_CHECK(field.constantBytes.empty() || field.constantBytes.size() == field.size);
    QUOR_FUZZ_CHECK(field.constantText.empty() || field.constantBytes.empty());
    const bool filler = field.name == "FILLER" || slack;
    QUOR_FUZZ_CHECK(field.role == quor::FieldRole::overlay ||
                    filler == (field.role == quor::FieldRole::constant));
    QUOR_FUZZ_CHECK(!field.alias || field.role == quor::FieldRole::overlay);
    QUOR_FUZZ_CHECK(filler || (!field.name.empty() && names.insert(field.name).second));
    if (field.role == quor::FieldRole::overlay) {
      QUOR_FUZZ_CHECK(field.offset + field.size <= layout.recordLength);
    } else {
      QUOR_FUZZ_CHECK(field.offset == end);
      end += field.size;
    }
  }
  QUOR_FUZZ_CHECK(end == layout.recordLength);
  quor::fuzz::checkFinished(layout);

  quor::Layout again = layout;
  quor::finishLayout(again);
  QUOR_FUZZ_CHECK(again.recordLength == layout.recordLength && again.shortestLength == layout.shortestLength);
  for (std::size_t i = 0; i < layout.fields.size(); ++i)
    QUOR_FUZZ_CHECK(again.fields[i].offset == layout.fields[i].offset &&
                    again.fields[i].size == layout.fields[i].size);

  // Records beyond 64 KiB behave as smaller ones do, at a cost the fuzzer's time is better spent on.
  if (layout.recordLength <= (std::size_t{1} << 16)) checkReadBack(layout);
  return 0;
}
