// The copybook reader with arbitrary text: the input up to its first 0x00 is the copybook, the parts
// after it (cut at 0x00) the members M1, M2 and M3 its COPY statements may name. It refuses with error
// 5 and a message that names the copybook or a member, or gives a layout
// - whose columns and constants tile the longest record in order without gaps or overlaps, whose
//   overlays lie within it, whose sizes are fieldSize()'s, whose constants' own bytes are their size,
//   whose named fields have names no other field has, whose tree of groups and tables stands for its
//   fields one for one, and which finishLayout() leaves as it is;
// - that every path builds and reads back equal (unless the builder refuses a FILLER's text its field
//   would write other than it reads): a record of zeros and blanks, each table at its fewest elements
//   (the shortest record), is as long as its counters make it (found so from its bytes), decodes
//   without invalid data, and encodes from what it decodes to the same bytes; the encode plan writes
//   the same bytes or declines, varying tables too.
// So does each record of a copybook of several, and each record read by the name of an item of a
// REDEFINES.

#include <algorithm>
#include <optional>
#include <set>
#include <string>
#include <vector>

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
  const std::size_t length = plan.encode(input, planned.data());
  if (length == 0) return;
  bool changed = false;
  for (const quor::ValueChange& change : changes) changed = changed || change.kind != quor::Change::none;
  QUOR_FUZZ_CHECK(changed || quor::ByteString(planned.data(), length) == bytes);
}

}  // namespace

namespace {

const std::vector<std::string> kFiles = {"fuzz.cpy", "M1.cpy", "M2.cpy", "M3.cpy"};


// The fields an item's node stands for: one an element of each table it is in.
std::size_t fieldsOf(const std::vector<quor::LayoutNode>& nodes) {
  std::size_t count = 0;
  for (const quor::LayoutNode& node : nodes)
    count += (node.children.empty() ? 1 : fieldsOf(node.children)) * (node.occurs == 0 ? 1 : node.occurs);
  return count;
}

// What every layout the reader gives holds (see the top); a record read by the name of an item of a
// REDEFINES may hold a filler of blanks where its item does not reach.
void checkLayout(const quor::Layout& layout) {
  QUOR_FUZZ_CHECK(!layout.fields.empty());
  std::set<std::string> names;
  std::size_t end = 0;
  for (const quor::LayoutField& field : layout.fields) {
    const bool slack = field.name == "(slack bytes)";
    const bool filler = field.name == "FILLER" || slack;
    QUOR_FUZZ_CHECK(field.kind != quor::FieldKind::component);
    QUOR_FUZZ_CHECK(field.kind != quor::FieldKind::filler || (field.name == "FILLER" && field.fill == 0x40) ||
                    (slack && field.fill == 0x00));
    // Decimal scaling (P) puts a number's scale below 0 or beyond its digits, by at most 31 places.
    const bool number = field.kind == quor::FieldKind::zoned || field.kind == quor::FieldKind::packed ||
                        field.kind == quor::FieldKind::binary;
    QUOR_FUZZ_CHECK(field.length >= 1 && field.scale >= -quor::kMaxDecimalDigits &&
                    field.scale <= field.length + quor::kMaxDecimalDigits);
    QUOR_FUZZ_CHECK(field.scale == 0 || number);
    QUOR_FUZZ_CHECK(field.picture.empty() ==
                    (field.kind != quor::FieldKind::edited && field.kind != quor::FieldKind::editedText));
    QUOR_FUZZ_CHECK(field.size == quor::fieldSize(field) && field.size >= 1);
    QUOR_FUZZ_CHECK(field.kind == quor::FieldKind::filler || fromFile(field.origin, kFiles));
    QUOR_FUZZ_CHECK(field.constantBytes.empty() || field.constantBytes.size() == field.size);
    QUOR_FUZZ_CHECK(field.constantText.empty() || field.constantBytes.empty());
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
  // Each elementary item of the tree stands for the next field.
  QUOR_FUZZ_CHECK(fieldsOf(layout.tree) == layout.fields.size());

  quor::Layout again = layout;
  quor::finishLayout(again);
  QUOR_FUZZ_CHECK(again.recordLength == layout.recordLength && again.shortestLength == layout.shortestLength);
  for (std::size_t i = 0; i < layout.fields.size(); ++i)
    QUOR_FUZZ_CHECK(again.fields[i].offset == layout.fields[i].offset &&
                    again.fields[i].size == layout.fields[i].size);

  // Records beyond 64 KiB behave as smaller ones do, at a cost the fuzzer's time is better spent on.
  if (layout.recordLength <= (std::size_t{1} << 16)) checkReadBack(layout);
}

void checkRefusal(const quor::Error& e) {
  QUOR_FUZZ_CHECK(e.number() == quor::errors::kInvalidCall);
  QUOR_FUZZ_CHECK(fromFile(e.what(), kFiles));
}

// The names of the items of a tree, the first `most` of them.
void namesOf(const std::vector<quor::LayoutNode>& nodes, std::vector<std::string>& names, std::size_t most) {
  for (const quor::LayoutNode& node : nodes) {
    if (names.size() == most) return;
    if (!node.name.empty()) names.push_back(node.name);
    namesOf(node.children, names, most);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string_view> parts = quor::fuzz::parts(input, 4);
  const std::string_view text = parts[0];
  const quor::CopyResolver members = [&](const std::string& name, const std::string& library) {
    std::string key = library.empty() ? name : library + "/" + name;
    for (char& c : key) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    for (std::size_t i = 1; i < 4; ++i)
      if (key == "M" + std::to_string(i)) return quor::CopyMember{kFiles[i], std::string(parts[i])};
    throw quor::Error(quor::errors::kInvalidCall, "no member " + key);
  };
  std::vector<std::string> records;
  try {
    records = quor::copybookRecordNames(text, "fuzz.cpy", {}, members);
  } catch (const quor::Error& e) {
    checkRefusal(e);
    return 0;
  }
  QUOR_FUZZ_CHECK(!records.empty());
  // One record, or several each read by its name; each item of its tree by its name, where that is an
  // item of a REDEFINES.
  std::vector<quor::Layout> layouts;
  if (records.size() == 1) {
    try {
      layouts.push_back(quor::parseCopybook(text, "fuzz.cpy", {}, members));
    } catch (const quor::Error& e) {
      checkRefusal(e);
      return 0;
    }
  } else {
    for (const std::string& name : records) {
      try {
        layouts.push_back(quor::parseCopybookRecord(text, "fuzz.cpy", name, {}, members).layout);
      } catch (const quor::Error& e) {
        checkRefusal(e);
      }
    }
    // Named nowhere, the records are refused together.
    bool refused = false;
    try {
      (void)quor::parseCopybook(text, "fuzz.cpy", {}, members);
    } catch (const quor::Error& e) {
      checkRefusal(e);
      refused = true;
    }
    QUOR_FUZZ_CHECK(refused);
  }
  std::vector<std::string> items;
  for (const quor::Layout& layout : layouts) {
    checkLayout(layout);
    namesOf(layout.tree, items, 16);
  }
  for (const std::string& name : items) {
    try {
      const quor::NamedLayout variant = quor::parseCopybookRecord(text, "fuzz.cpy", name, {}, members);
      checkLayout(variant.layout);
    } catch (const quor::Error& e) {
      checkRefusal(e);
    }
  }
  return 0;
}
