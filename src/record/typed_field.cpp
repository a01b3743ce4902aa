// The fields of a typed layout (new-style layout lines, copybooks), written as a host program writes
// them: text and national values padded with blanks (an empty value is all blanks), numbers exact to
// their scale, filler bytes as given, a constant with bytes of its own as those bytes.

#include "character/ebcdic_kana.hpp"
#include "character/jef.hpp"
#include "number_text/scaled_decimal.hpp"
#include "numeric/binary.hpp"
#include "numeric/packed.hpp"
#include "numeric/zoned.hpp"
#include "record/field_formatter.hpp"
#include "record/record_assembly.hpp"

namespace quor::record {

namespace {

constexpr char16_t kBlank = u' ';
constexpr char16_t kIdeographicSpace = u'\u3000';

void note(ValueChange* change, Change kind) {
  if (change != nullptr && change->kind == Change::none) change->kind = kind;
}

// A number: its digits scaled to the field, the sign kept only where the field has one.
void appendNumber(const LayoutField& field, std::u16string_view value, bool constant, ByteString& out,
                  ValueChange* change) {
  number_text::ScaledDecimal number;
  if (!constant) {
    if (auto read = number_text::readScaledDecimal(value, field.scale)) {
      number = std::move(*read);
    } else {
      note(change, Change::notANumber);  // written as zero
    }
  }
  const auto digits = static_cast<std::size_t>(field.length);
  if (number.negative && !field.isSigned) note(change, Change::negativeInUnsignedField);
  if (number.digits.size() > digits) note(change, Change::longerThanField);
  if (number.fractionCut) note(change, Change::moreDecimalsThanScale);
  const bool negative = number.negative && field.isSigned;
  switch (field.kind) {
    case FieldKind::zoned:
      numeric::appendZonedDigits(number.digits, negative, digits, out);
      break;
    case FieldKind::packed:
      numeric::appendPackedDigits(number.digits, negative, digits,
                                  field.isSigned ? numeric::PackedSign::signedCD : numeric::PackedSign::unsignedF, out);
      break;
    default:
      numeric::appendBinaryDigits(number.digits, negative, digits, out);
      break;
  }
}

}  // namespace

void appendTypedField(const LayoutField& field, std::u16string_view value, const RecordOptions& options,
                      GaijiSupply& gaiji, FieldStorage& storage, ByteString& out, ValueChange* change) {
  if (change != nullptr) *change = {};
  const bool constant = field.role != FieldRole::column;
  if (constant && !field.constantBytes.empty()) {
    // A constant of its own bytes (a copybook's FILLER ... VALUE).
    out.append(field.constantBytes.data(), field.constantBytes.size());
    return;
  }
  const auto length = static_cast<std::size_t>(field.length);
  switch (field.kind) {
    case FieldKind::text: {
      if (options.host != HostCodePage::fujitsu || options.shiftCodes) {
        appendHostTextField(field, constant ? std::u16string_view() : value, options, gaiji.get(), out, change);
        break;
      }
      // The component's rule for single-byte text, but an empty value, or one refused for a double-byte
      // character, is written as blanks.
      text::PaddedText formatted;
      if (!constant && !value.empty())
        formatted = formatField(value, field.length, setCharacter, true, storage.formatted, change);
      if (formatted.empty()) formatted = {{}, length, kBlank};
      character::appendEbcdicKana(formatted, field.length, out);
      break;
    }
    case FieldKind::national: {
      if (options.host != HostCodePage::fujitsu) {
        appendHostNationalField(field, constant ? std::u16string_view() : value, options, gaiji.get(),
                                storage.formatted, out, change);
        break;
      }
      if (constant || value.empty()) {
        character::appendJef({{}, length, kIdeographicSpace}, field.length, gaiji.get(), out);
        break;
      }
      const text::PaddedText formatted = formatField(value, field.length, setNCharacter, true, storage.formatted, change);
      appendJefField(formatted, field.length, gaiji.get(), out, change);
      break;
    }
    case FieldKind::zoned:
    case FieldKind::packed:
    case FieldKind::binary:
      appendNumber(field, value, constant, out, change);
      break;
    case FieldKind::filler:
      out.resize(out.size() + length, field.fill);
      break;
    case FieldKind::component:
      break;
  }
}

}  // namespace quor::record
