// Typed text and national fields in the host code page of a record's options: mixed text between shift
// codes, the IBM pages' single-byte text and double-byte national fields, and the check that a layout's
// fields can be written on a page at all.

#include "base/utf.hpp"
#include "character/gaiji_index.hpp"
#include "character/host_text.hpp"
#include "record/record_assembly.hpp"
#include "text/fullwidth.hpp"

namespace quor {

void checkLayoutForHost(const Layout& layout, HostCodePage page) {
  if (page == HostCodePage::fujitsu) return;
  const std::string name(hostCodePageName(page));
  std::size_t column = 0;
  for (std::size_t i = 0; i < layout.fields.size(); ++i) {
    const LayoutField& field = layout.fields[i];
    const std::string where = field.role == FieldRole::column ? layout.describe(column) : "field '" + field.name + "'";
    if (field.role == FieldRole::column) ++column;
    if (field.kind == FieldKind::component && (field.format == setCharacter || field.format == setNCharacter))
      throw Error(errors::kInvalidCall, where + ": a component text or national field writes the Fujitsu encodings; on " +
                                            name + " use a typed text or national field");
    if (field.kind == FieldKind::national && !hasDoubleByte(page))
      throw Error(errors::kInvalidCall, where + ": a national field (PIC N or G) needs double-byte characters, and " + name +
                                            " is a single-byte code page");
  }
}

namespace record {

namespace {

// The change a character's form makes.
ValueChange changeOf(char16_t character, const character::HostForm& form, HostCodePage page) {
  ValueChange change;
  change.character = character;
  switch (form.issue) {
    case character::FormIssue::none:
      break;
    case character::FormIssue::writtenAsAnother:
      change.kind = page == HostCodePage::fujitsu ? Change::noCodePage932Form : Change::noHostCodePageForm;
      change.writtenAs = form.writtenAs;
      break;
    case character::FormIssue::notAHostCode:
      change.kind = page == HostCodePage::fujitsu ? Change::notAJefCode : Change::noHostCodePageForm;
      change.bytes[0] = form.bytes[0];
      change.bytes[1] = form.bytes[1];
      break;
    case character::FormIssue::noGaijiMapping:
      change.kind = Change::noGaijiMapping;
      break;
  }
  return change;
}

}  // namespace

void appendHostTextField(const LayoutField& field, std::u16string_view value, const RecordOptions& options,
                         const GaijiMapping& gaiji, ByteString& out, ValueChange* change) {
  const character::HostText host(options.host, character::indexOf(gaiji));
  const bool shifts = options.shiftCodes && hasDoubleByte(options.host);
  const character::TextWrite write =
      character::appendHostText(host, value, static_cast<std::size_t>(field.length), shifts, out);
  if (change == nullptr) return;
  switch (write.kind) {
    case character::TextWrite::Kind::none:
      break;
    case character::TextWrite::Kind::doubleByte:
      *change = {Change::doubleByteInSingleByteField, write.character, 0, {}};
      break;
    case character::TextWrite::Kind::form:
      *change = changeOf(write.character, write.form, options.host);
      break;
    case character::TextWrite::Kind::cut:
      *change = {Change::longerThanField, 0, 0, {}};
      break;
  }
}

void appendHostNationalField(const LayoutField& field, std::u16string_view value, const RecordOptions& options,
                             const GaijiMapping& gaiji, std::u16string& storage, ByteString& out, ValueChange* change) {
  const auto length = static_cast<std::size_t>(field.length);
  storage.clear();
  text::appendFullWidth(value, storage);
  const bool cut = storage.size() > length;
  const std::u16string_view shown = std::u16string_view(storage).substr(0, std::min(length, storage.size()));
  const character::HostText host(options.host, character::indexOf(gaiji));
  const character::NationalWrite write =
      character::appendHostNational(host, {shown, length - shown.size(), u'\u3000'}, out);
  if (change == nullptr) return;
  if (write.found)
    *change = changeOf(write.character, write.form, options.host);
  else if (cut)
    *change = {Change::longerThanField, 0, 0, {}};
}

}  // namespace record
}  // namespace quor
