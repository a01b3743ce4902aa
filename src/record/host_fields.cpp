// Typed text and national fields in the host code page of a record's options: mixed text between shift
// codes, the IBM pages' single-byte text and double-byte national fields, and the check that a layout's
// fields can be written on a page at all.

#include "base/limits.hpp"
#include "base/utf.hpp"

#include <algorithm>
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

// JUSTIFIED RIGHT: the value's bytes at their own length, blanks in front; a value longer than the
// field loses its first characters until what is left fits (a cut). What else writing found is kept.
character::TextWrite appendRightJustifiedText(const character::HostText& host, std::u16string_view value,
                                              std::size_t length, bool shifts, ByteString& out) {
  constexpr std::uint8_t kBlank = 0x40;
  character::TextWrite found;
  ByteString bytes;
  // The bytes of `text` without padding: written with room for every character (a pair and the shift
  // codes around it), the padding after it taken off, its own trailing blanks put back.
  const auto write = [&](std::u16string_view text, character::TextWrite* first) {
    std::size_t blanks = 0;
    while (blanks < text.size() && text[text.size() - 1 - blanks] == u' ') ++blanks;
    const std::u16string_view body = text.substr(0, text.size() - blanks);
    bytes.clear();
    if (!body.empty()) {
      const character::TextWrite w =
          character::appendHostText(host, body, std::min(4 * body.size(), base::kMaxResultBytes), shifts, bytes);
      if (first != nullptr) *first = w;
      std::size_t end = bytes.size();
      while (end > 0 && bytes[end - 1] == kBlank) --end;
      bytes.resize(end);
    }
    bytes.resize(bytes.size() + blanks, kBlank);
    return bytes.size();
  };
  if (write(value, &found) > length) {
    // Dropping a character never lengthens the rest: the fewest dropped that fit, found by halving.
    std::size_t fewest = 1;
    std::size_t most = value.size();
    while (fewest < most) {
      const std::size_t drop = fewest + (most - fewest) / 2;
      if (write(value.substr(drop), nullptr) <= length)
        most = drop;
      else
        fewest = drop + 1;
    }
    if (fewest < value.size() && base::isLowSurrogate(value[fewest])) ++fewest;
    write(value.substr(fewest), nullptr);
    if (found.kind == character::TextWrite::Kind::none) found.kind = character::TextWrite::Kind::cut;
  }
  out.resize(out.size() + length - bytes.size(), kBlank);
  out.append(bytes);
  return found;
}

}  // namespace

void appendHostTextField(const LayoutField& field, std::u16string_view value, const RecordOptions& options,
                         const GaijiMapping& gaiji, ByteString& out, ValueChange* change) {
  const character::HostText host(options.host, character::indexOf(gaiji));
  const bool shifts = options.shiftCodes && hasDoubleByte(options.host);
  const auto length = static_cast<std::size_t>(field.length);
  const character::TextWrite write = field.justifiedRight
                                         ? appendRightJustifiedText(host, value, length, shifts, out)
                                         : character::appendHostText(host, value, length, shifts, out);
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
  const std::size_t kept = std::min(length, storage.size());
  // JUSTIFIED RIGHT keeps the last characters, the padding in front.
  const std::u16string_view shown =
      std::u16string_view(storage).substr(field.justifiedRight ? storage.size() - kept : 0, kept);
  const character::HostText host(options.host, character::indexOf(gaiji));
  if (field.justifiedRight && kept < length) character::appendHostNational(host, {{}, length - kept, u'\u3000'}, out);
  const character::NationalWrite write = character::appendHostNational(
      host, {shown, field.justifiedRight ? 0 : length - kept, u'\u3000'}, out);
  if (change == nullptr) return;
  if (write.found)
    *change = changeOf(write.character, write.form, options.host);
  else if (cut)
    *change = {Change::longerThanField, 0, 0, {}};
}

}  // namespace record
}  // namespace quor
