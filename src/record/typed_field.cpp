// The fields of a typed layout (new-style layout lines, copybooks), written as a host program writes
// them: text and national values padded with blanks (an empty value is all blanks; JUSTIFIED RIGHT in
// front), numbers exact to their scale with their sign where the field keeps it, floats rounded to the
// nearest value the format holds, edited pictures as a MOVE to them edits, filler bytes as given.

#include <algorithm>
#include <limits>

#include "base/appended.hpp"
#include "character/ebcdic_kana.hpp"
#include "character/jef.hpp"
#include "number_text/scaled_decimal.hpp"
#include "numeric/binary.hpp"
#include "numeric/edited.hpp"
#include "numeric/floating.hpp"
#include "numeric/packed.hpp"
#include "numeric/zoned.hpp"
#include "record/field_formatter.hpp"
#include "record/field_kind.hpp"
#include "record/record_assembly.hpp"

namespace quor::record {

namespace {

constexpr char16_t kBlank = u' ';
constexpr char16_t kIdeographicSpace = u'\u3000';
constexpr std::uint8_t kEbcdicBlank = 0x40;

void note(ValueChange* change, Change kind) {
  if (change != nullptr && change->kind == Change::none) change->kind = kind;
}

// The value of a number field as digits at the field's scale: zero for a constant, and for a value that
// is no number (a change).
number_text::ScaledDecimal scaledValue(std::u16string_view value, int scale, bool constant, ValueChange* change) {
  if (constant) return {};
  if (auto read = number_text::readScaledDecimal(value, scale)) return std::move(*read);
  note(change, Change::notANumber);  // written as zero
  return {};
}

// A zoned, packed or binary number: its digits scaled to the field, the sign kept only where the field
// has one.
void appendNumber(const LayoutField& field, std::u16string_view value, bool constant, ByteString& out,
                  ValueChange* change) {
  const number_text::ScaledDecimal number = scaledValue(value, field.scale, constant, change);
  const auto digits = static_cast<std::size_t>(field.length);
  if (number.negative && !field.isSigned) note(change, Change::negativeInUnsignedField);
  const bool fullRange = field.kind == FieldKind::binary && field.range == BinaryRange::full;
  if (fullRange ? !numeric::binaryHolds(number.digits, number.negative && field.isSigned, field.isSigned, fieldSize(field))
                : number.digits.size() > digits)
    note(change, Change::longerThanField);
  if (number.fractionCut) note(change, Change::moreDecimalsThanScale);
  const bool negative = number.negative && field.isSigned;
  switch (field.kind) {
    case FieldKind::zoned: {
      base::Appended bytes(out, fieldSize(field), kEbcdicBlank);
      // BLANK WHEN ZERO: a zero is all blanks, the sign's byte too.
      if (!(field.blankWhenZero && number.digits.empty())) {
        const std::string_view kept = std::string_view(number.digits).substr(number.digits.size() - std::min(digits, number.digits.size()));
        numeric::writeZonedSigned(kept, negative, zonedSignOf(field), field.positiveZone, {bytes.data(), bytes.size()});
      }
      bytes.done();
      break;
    }
    case FieldKind::packed:
      numeric::appendPackedDigits(number.digits, negative, digits,
                                  field.isSigned ? numeric::PackedSign::signedCD : numeric::PackedSign::unsignedF, out);
      break;
    default:
      if (fullRange) {
        // Beyond the range (a change): its low-order bytes, as a MOVE to a native binary item keeps them.
        base::Appended bytes(out, fieldSize(field));
        numeric::writeBinary(number.digits, negative, {bytes.data(), bytes.size()});
        bytes.done();
      } else {
        numeric::appendBinaryDigits(number.digits, negative, digits, out);
      }
      break;
  }
}

// A floating-point number: the nearest value of the format. One beyond its range cannot be written.
void appendFloat(const LayoutField& field, std::u16string_view value, bool constant, ByteString& out,
                 ValueChange* change) {
  number_text::DecimalText number;
  if (!constant) {
    if (auto read = number_text::readDecimalText(value)) {
      number = std::move(*read);
    } else {
      note(change, Change::notANumber);  // written as zero
    }
  }
  base::Appended bytes(out, fieldSize(field));
  const numeric::FloatFit fit =
      numeric::writeFloat({number.digits, number.exponent, number.negative}, floatEncodingOf(field), {bytes.data(), bytes.size()});
  if (fit != numeric::FloatFit::fits) throw Error(errors::kOverflow);
  bytes.done();
}

// An edited text of the field's length as single-byte text of the host page; what that writes other
// than it is, where the value has no change of its own.
void appendSingleByte(const LayoutField& field, std::u16string_view edited, const RecordOptions& options,
                      GaijiSupply& gaiji, ByteString& out, ValueChange* change) {
  RecordOptions singleByte = options;
  singleByte.shiftCodes = false;
  ValueChange written;
  appendHostTextField(field, edited, singleByte, gaiji.get(), out, &written);
  if (change != nullptr && change->kind == Change::none) *change = written;
}

// A numeric-edited field: the value's digits at the picture's scale, edited.
void appendEdited(const LayoutField& field, const numeric::EditedPicture& picture, std::u16string_view value,
                  bool constant, const RecordOptions& options, GaijiSupply& gaiji, ByteString& out,
                  ValueChange* change) {
  const number_text::ScaledDecimal number =
      scaledValue(value, static_cast<int>(picture.fractionDigits), constant, change);
  if (number.negative && !picture.isSigned) note(change, Change::negativeInUnsignedField);
  if (number.digits.size() > picture.digits()) note(change, Change::longerThanField);
  if (number.fractionCut) note(change, Change::moreDecimalsThanScale);
  const std::string_view digits =
      std::string_view(number.digits).substr(number.digits.size() - std::min(picture.digits(), number.digits.size()));
  std::string edited(picture.positions.size(), ' ');
  numeric::editNumber(picture, digits, number.negative, field.blankWhenZero, edited.data());
  appendSingleByte(field, std::u16string(edited.begin(), edited.end()), options, gaiji, out, change);
}

// Single-byte text by the component's rule for a field of `width` (its first `width` characters, then
// blanks), but an empty value, or one refused for a double-byte character, is all blanks. JUSTIFIED
// RIGHT keeps its last `width` characters instead and puts the blanks in front.
std::u16string_view singleByteText(std::u16string_view value, std::size_t width, bool right, FieldStorage& storage,
                                   ValueChange* change) {
  if (value.empty()) return {};
  const text::PaddedText formatted =
      formatField(value, static_cast<std::int32_t>(width), setCharacter, true, storage.formatted, change);
  if (formatted.text.empty()) return {};
  return right && value.size() > width ? value.substr(value.size() - width) : formatted.text;
}

void appendText(const LayoutField& field, std::u16string_view value, bool constant, FieldStorage& storage,
                ByteString& out, ValueChange* change) {
  const auto length = static_cast<std::size_t>(field.length);
  const std::u16string_view shown =
      constant ? std::u16string_view() : singleByteText(value, length, field.justifiedRight, storage, change);
  const std::size_t pad = length - shown.size();
  if (field.justifiedRight && pad > 0 && !shown.empty()) {
    character::appendEbcdicKana({{}, pad, kBlank}, static_cast<std::int32_t>(pad), out);
    character::appendEbcdicKana(text::PaddedText(shown), static_cast<std::int32_t>(shown.size()), out);
  } else {
    character::appendEbcdicKana({shown, pad, kBlank}, field.length, out);
  }
}

void appendNational(const LayoutField& field, std::u16string_view value, bool constant, GaijiSupply& gaiji,
                    FieldStorage& storage, ByteString& out, ValueChange* change) {
  const auto length = static_cast<std::size_t>(field.length);
  if (constant || value.empty()) {
    character::appendJef({{}, length, kIdeographicSpace}, field.length, gaiji.get(), out);
    return;
  }
  const text::PaddedText formatted = formatField(value, field.length, setNCharacter, true, storage.formatted, change);
  if (!field.justifiedRight) {
    appendJefField(formatted, field.length, gaiji.get(), out, change);
    return;
  }
  // The formatter leaves the value's whole full-width form in its storage: its last characters, the
  // ideographic spaces in front.
  const std::u16string_view whole = storage.formatted;
  const std::u16string_view shown = whole.substr(whole.size() - std::min(length, whole.size()));
  const std::size_t pad = length - shown.size();
  if (pad > 0) character::appendJef({{}, pad, kIdeographicSpace}, static_cast<std::int32_t>(pad), gaiji.get(), out);
  appendJefField(text::PaddedText(shown), static_cast<std::int32_t>(shown.size()), gaiji.get(), out, change);
}

// An alphanumeric-edited field: the value's characters in the picture's character positions.
void appendEditedText(const LayoutField& field, const numeric::EditedPicture& picture, std::u16string_view value,
                      bool constant, const RecordOptions& options, GaijiSupply& gaiji, FieldStorage& storage,
                      ByteString& out, ValueChange* change) {
  const std::u16string_view shown =
      constant ? std::u16string_view() : singleByteText(value, picture.characters, false, storage, change);
  std::u16string edited(picture.positions.size(), kBlank);
  numeric::editText(picture, shown, edited.data());
  appendSingleByte(field, edited, options, gaiji, out, change);
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
    case FieldKind::text:
      if (options.host != HostCodePage::fujitsu || options.shiftCodes) {
        appendHostTextField(field, constant ? std::u16string_view() : value, options, gaiji.get(), out, change);
        break;
      }
      appendText(field, value, constant, storage, out, change);
      break;
    case FieldKind::national:
      if (options.host != HostCodePage::fujitsu) {
        appendHostNationalField(field, constant ? std::u16string_view() : value, options, gaiji.get(),
                                storage.formatted, out, change);
        break;
      }
      appendNational(field, value, constant, gaiji, storage, out, change);
      break;
    case FieldKind::zoned:
    case FieldKind::packed:
    case FieldKind::binary:
      appendNumber(field, value, constant, out, change);
      break;
    case FieldKind::float4:
    case FieldKind::float8:
      appendFloat(field, value, constant, out, change);
      break;
    case FieldKind::edited:
    case FieldKind::editedText: {
      std::string problem;
      const std::optional<numeric::EditedPicture> picture = numeric::readEditedPicture(field.picture, problem);
      if (!picture) throw Error(errors::kInvalidCall);  // finishLayout refuses such a layout
      if (field.kind == FieldKind::edited)
        appendEdited(field, *picture, value, constant, options, gaiji, out, change);
      else
        appendEditedText(field, *picture, value, constant, options, gaiji, storage, out, change);
      break;
    }
    case FieldKind::filler:
      out.resize(out.size() + length, field.fill);
      break;
    case FieldKind::component:
      break;
  }
}

}  // namespace quor::record
