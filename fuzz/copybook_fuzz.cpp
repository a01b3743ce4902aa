// The copybook reader with arbitrary text (the input's bytes are the copybook). It refuses with error 5
// and a message that names the file, or gives a layout whose columns and constants tile the record in
// order without gaps or overlaps, whose overlays lie within the record, whose sizes are fieldSize()'s,
// whose named fields have names no other field has, whose tree of groups and tables stands for its
// fields one for one, and which finishLayout() leaves as it is. So does each record of a copybook of
// several, and each record read by the name of an item of a REDEFINES.

#include <set>
#include <string>
#include <vector>

#include "fuzz_support.hpp"
#include "quor/layout.hpp"

namespace {

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
    const bool filler = field.name == "FILLER";
    QUOR_FUZZ_CHECK(field.kind != quor::FieldKind::component);
    QUOR_FUZZ_CHECK(field.kind != quor::FieldKind::filler || (filler && field.fill == 0x40));
    // Decimal scaling (P) puts a number's scale below 0 or beyond its digits, by at most 31 places.
    const bool number = field.kind == quor::FieldKind::zoned || field.kind == quor::FieldKind::packed ||
                        field.kind == quor::FieldKind::binary;
    QUOR_FUZZ_CHECK(field.length >= 1 && field.scale >= -quor::kMaxDecimalDigits &&
                    field.scale <= field.length + quor::kMaxDecimalDigits);
    QUOR_FUZZ_CHECK(field.scale == 0 || number);
    QUOR_FUZZ_CHECK(field.picture.empty() ==
                    (field.kind != quor::FieldKind::edited && field.kind != quor::FieldKind::editedText));
    QUOR_FUZZ_CHECK(field.size == quor::fieldSize(field) && field.size >= 1);
    QUOR_FUZZ_CHECK(field.kind == quor::FieldKind::filler || field.origin.rfind("fuzz.cpy:", 0) == 0);
    QUOR_FUZZ_CHECK(field.role == quor::FieldRole::overlay ||
                    filler == (field.role == quor::FieldRole::constant));
    QUOR_FUZZ_CHECK(filler || (!field.name.empty() && names.insert(field.name).second));
    if (field.role == quor::FieldRole::overlay) {
      QUOR_FUZZ_CHECK(field.offset + field.size <= layout.recordLength);
    } else {
      QUOR_FUZZ_CHECK(field.offset == end);
      end += field.size;
    }
  }
  QUOR_FUZZ_CHECK(end == layout.recordLength);
  // Each elementary item of the tree stands for the next field.
  QUOR_FUZZ_CHECK(fieldsOf(layout.tree) == layout.fields.size());

  quor::Layout again = layout;
  quor::finishLayout(again);
  QUOR_FUZZ_CHECK(again.recordLength == layout.recordLength);
  for (std::size_t i = 0; i < layout.fields.size(); ++i)
    QUOR_FUZZ_CHECK(again.fields[i].offset == layout.fields[i].offset &&
                    again.fields[i].size == layout.fields[i].size);
}

void checkRefusal(const quor::Error& e) {
  QUOR_FUZZ_CHECK(e.number() == quor::errors::kInvalidCall);
  QUOR_FUZZ_CHECK(std::string_view(e.what()).substr(0, 8) == "fuzz.cpy" && e.what()[8] != '\0');
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
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> records;
  try {
    records = quor::copybookRecordNames(text, "fuzz.cpy");
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
      layouts.push_back(quor::parseCopybook(text, "fuzz.cpy"));
    } catch (const quor::Error& e) {
      checkRefusal(e);
      return 0;
    }
  } else {
    for (const std::string& name : records) {
      try {
        layouts.push_back(quor::parseCopybookRecord(text, "fuzz.cpy", name).layout);
      } catch (const quor::Error& e) {
        checkRefusal(e);
      }
    }
    // Named nowhere, the records are refused together.
    bool refused = false;
    try {
      (void)quor::parseCopybook(text, "fuzz.cpy");
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
      const quor::NamedLayout variant = quor::parseCopybookRecord(text, "fuzz.cpy", name);
      checkLayout(variant.layout);
    } catch (const quor::Error& e) {
      checkRefusal(e);
    }
  }
  return 0;
}
