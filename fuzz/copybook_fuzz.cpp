// The copybook reader with arbitrary text (the input's bytes are the copybook). It refuses with error 5
// and a message that names the file, or gives a layout whose columns and constants tile the record in
// order without gaps or overlaps, whose overlays lie within the record, whose sizes are fieldSize()'s,
// whose named fields have names no other field has, and which finishLayout() leaves as it is.

#include <set>
#include <string>

#include "fuzz_support.hpp"
#include "quor/layout.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  quor::Layout layout;
  try {
    layout = quor::parseCopybook(text, "fuzz.cpy");
  } catch (const quor::Error& e) {
    QUOR_FUZZ_CHECK(e.number() == quor::errors::kInvalidCall);
    QUOR_FUZZ_CHECK(std::string_view(e.what()).substr(0, 9) == "fuzz.cpy:" && e.what()[9] != '\0');
    return 0;
  }

  QUOR_FUZZ_CHECK(!layout.fields.empty());
  std::set<std::string> names;
  std::size_t end = 0;
  for (const quor::LayoutField& field : layout.fields) {
    QUOR_FUZZ_CHECK(field.kind != quor::FieldKind::component && field.kind != quor::FieldKind::filler);
    // Decimal scaling (P) puts a number's scale below 0 or beyond its digits, by at most 31 places.
    const bool number = field.kind == quor::FieldKind::zoned || field.kind == quor::FieldKind::packed ||
                        field.kind == quor::FieldKind::binary;
    QUOR_FUZZ_CHECK(field.length >= 1 && field.scale >= -quor::kMaxDecimalDigits &&
                    field.scale <= field.length + quor::kMaxDecimalDigits);
    QUOR_FUZZ_CHECK(field.scale == 0 || number);
    QUOR_FUZZ_CHECK(field.picture.empty() ==
                    (field.kind != quor::FieldKind::edited && field.kind != quor::FieldKind::editedText));
    QUOR_FUZZ_CHECK(field.size == quor::fieldSize(field) && field.size >= 1);
    QUOR_FUZZ_CHECK(field.origin.rfind("fuzz.cpy:", 0) == 0);
    const bool filler = field.name == "FILLER";
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

  quor::Layout again = layout;
  quor::finishLayout(again);
  QUOR_FUZZ_CHECK(again.recordLength == layout.recordLength);
  for (std::size_t i = 0; i < layout.fields.size(); ++i)
    QUOR_FUZZ_CHECK(again.fields[i].offset == layout.fields[i].offset &&
                    again.fields[i].size == layout.fields[i].size);
  return 0;
}
