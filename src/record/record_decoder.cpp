// RecordDecoder: the way back from a record's bytes to one text a column, field by field, through the
// decoder beside each encoder.

#include <algorithm>
#include <string>

#include "base/api_guard.hpp"
#include "character/ebcdic_kana.hpp"
#include "character/gaiji_index.hpp"
#include "character/host_text.hpp"
#include "character/jef.hpp"
#include "number_text/scaled_decimal.hpp"
#include "numeric/binary.hpp"
#include "numeric/edited.hpp"
#include "numeric/floating.hpp"
#include "numeric/packed.hpp"
#include "numeric/zoned.hpp"
#include "quor/record.hpp"
#include "record/field_kind.hpp"

namespace quor {

namespace {

using Bytes = std::span<const std::uint8_t>;

// The nibbles of a number field that is no valid number, in hexadecimal: the raw digits.
void appendRawDigits(Bytes bytes, FieldKind kind, std::u16string& out) {
  static constexpr char16_t kHex[] = u"0123456789ABCDEF";
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (kind != FieldKind::zoned) out += kHex[bytes[i] >> 4];
    out += kHex[bytes[i] & 0x0Fu];
  }
}

// The leading blanks of a JUSTIFIED RIGHT field are its padding: blanks in a text field, ideographic
// spaces in a national one.
void dropLeadingPadding(std::u16string& text, bool national) {
  const char16_t pad = national ? u'\u3000' : u' ';
  std::size_t lead = 0;
  while (lead < text.size() && text[lead] == pad) ++lead;
  text.erase(0, lead);
}

// The bytes of a BLANK WHEN ZERO field written for zero.
bool allBlanks(Bytes bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t byte) { return byte == 0x40; });
}

// A zoned, packed or binary field (typed or the component's), its text appended to `text`; `digits`
// is working storage.
std::optional<base::DecodeFault> readNumber(const LayoutField& field, Bytes bytes, const RecordOptions& options,
                                            std::string& digits, std::u16string& text) {
  const bool convertSign = options.convertSign;
  const FieldKind kind = record::writtenKind(field);
  const bool component = field.kind == FieldKind::component;
  digits.resize(std::max(2 * bytes.size(), numeric::kBinaryDigitsRoom));
  std::size_t count = bytes.size();
  bool negative = false;
  std::optional<base::DecodeFault> fault;
  if (kind == FieldKind::zoned) {
    if (field.blankWhenZero && allBlanks(bytes)) {
      count = 0;
    } else if (component) {
      fault = numeric::readZoned(bytes, convertSign, digits.data(), negative);
    } else {
      fault = numeric::readZonedSigned(bytes, record::zonedSignOf(field), digits.data(), negative);
      count = static_cast<std::size_t>(field.length);
    }
  } else if (kind == FieldKind::packed) {
    fault = numeric::readPacked(bytes, record::packedSignOf(field, convertSign), digits.data(), count, negative);
  } else {
    fault = numeric::readBinary(bytes, field.isSigned, record::digitCapacity(field, convertSign), digits.data(), count,
                                negative);
  }
  const std::string_view read(digits.data(), count);
  if (!fault && record::exceedsDigitCapacity(read, record::digitCapacity(field, convertSign)))
    fault = base::DecodeFault{0, 1, "digit beyond the field's digits"};
  if (fault) return fault;
  const std::size_t start = text.size();
  number_text::appendScaledText(read, negative, component ? 0 : field.scale, text);
  if (record::keepsZeros(field, options)) {
    // As many digits as the picture has: its digits and those of its decimal scaling.
    const std::size_t width = static_cast<std::size_t>(field.length) + static_cast<std::size_t>(-field.scale);
    if (text.size() - start < width) text.insert(start, width - (text.size() - start), u'0');
  }
  return std::nullopt;
}

// A numeric- or alphanumeric-edited field: the number or the text its edited text holds.
std::optional<base::DecodeFault> readEdited(const LayoutField& field, Bytes bytes, const character::HostText& host,
                                            bool keepPadding, std::string& digits, std::u16string& text) {
  std::string problem;
  const std::optional<numeric::EditedPicture> picture = numeric::readEditedPicture(field.picture, problem);
  if (!picture) throw Error(errors::kInvalidCall);  // finishLayout refuses such a layout
  std::u16string edited;
  // Single-byte text of the host page.
  if (auto fault = character::readHostText(host, bytes, false, true, false, edited)) return fault;
  if (picture->numeric) {
    bool negative = false;
    if (!numeric::uneditNumber(*picture, edited, field.blankWhenZero, digits, negative))
      return base::DecodeFault{0, bytes.size(), "edited text its picture does not write for any value"};
    number_text::appendScaledText(digits, negative, static_cast<int>(picture->fractionDigits), text);
    return std::nullopt;
  }
  if (!numeric::uneditText(*picture, edited, text))
    return base::DecodeFault{0, bytes.size(), "an insertion position without its picture's character"};
  if (!keepPadding)
    while (!text.empty() && text.back() == u' ') text.pop_back();
  return std::nullopt;
}

}  // namespace

RecordDecoder::RecordDecoder(Layout layout, const RecordOptions& options, GaijiMapping gaiji)
    : layout_(std::move(layout)), options_(options) {
  base::guarded([&] {
    checkLayoutForHost(layout_, options_.host);
    columns_ = layout_.columns();
    gaiji_ = character::withJefOrder(gaiji);  // read backwards, once
  });
}

void RecordDecoder::decode(std::span<const std::uint8_t> record, std::vector<std::u16string>& values,
                           std::vector<FieldFault>& faults, bool lenient) const {
  base::guarded([&] {
    if (record.size() > layout_.recordLength) throw Error(errors::kInvalidCall);
    values.resize(columns_.size());
    faults.clear();
    std::string digits;  // a number field's digits, ASCII
    const character::HostText host(options_.host, character::indexOf(gaiji_));
    for (std::size_t column = 0; column < columns_.size(); ++column) {
      const LayoutField& field = layout_.fields[columns_[column]];
      std::u16string& text = values[column];
      text.clear();
      if (field.offset + field.size > record.size()) {
        // A short record: a field past its end is absent, one its end cuts is invalid.
        if (field.offset < record.size())
          faults.push_back(
              {column, field.offset, record.size() - field.offset, "field cut by the end of the record"});
        continue;
      }
      const Bytes bytes = record.subspan(field.offset, field.size);
      const FieldKind kind = record::writtenKind(field);
      const bool component = field.kind == FieldKind::component;
      const bool onHost = !component && (options_.host != HostCodePage::fujitsu || options_.shiftCodes);
      std::optional<base::DecodeFault> fault;
      if (kind == FieldKind::text || kind == FieldKind::national) {
        // A JUSTIFIED RIGHT field's padding is in front: read whole, its leading blanks then dropped.
        const bool keep = options_.keepPadding || field.justifiedRight;
        if (kind == FieldKind::text && onHost)
          fault = character::readHostText(host, bytes, options_.shiftCodes && hasDoubleByte(options_.host), keep,
                                          lenient, text);
        else if (kind == FieldKind::text)
          fault = character::readEbcdicKana(bytes, keep, lenient, text);
        else if (!component && options_.host != HostCodePage::fujitsu)
          fault = character::readHostNational(host, bytes, keep, lenient, text);
        else
          fault = character::readJef(bytes, gaiji_, keep, lenient, text);
        if (field.justifiedRight && !options_.keepPadding)
          dropLeadingPadding(text, kind == FieldKind::national);
      } else if (kind == FieldKind::float4 || kind == FieldKind::float8) {
        digits.clear();
        fault = numeric::readFloat(bytes, record::floatEncodingOf(field), digits);
        if (!fault)
          text.assign(digits.begin(), digits.end());
        else if (lenient)
          appendRawDigits(bytes, kind, text);
      } else if (kind == FieldKind::edited || kind == FieldKind::editedText) {
        fault = readEdited(field, bytes, host, options_.keepPadding, digits, text);
        if (fault && lenient) {
          text.clear();
          character::readHostText(host, bytes, false, true, true, text);
        }
      } else {
        fault = readNumber(field, bytes, options_, digits, text);
        if (fault && lenient) appendRawDigits(bytes, kind, text);
      }
      if (fault) {
        faults.push_back({column, field.offset + fault->offset, fault->length, fault->reason});
        if (!lenient) text.clear();
      }
    }
  });
}

}  // namespace quor
