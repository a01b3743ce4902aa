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
      std::optional<base::DecodeFault> fault;
      const bool onHost = !component && (options_.host != HostCodePage::fujitsu || options_.shiftCodes);
      if (kind == FieldKind::text && onHost) {
        fault = character::readHostText(host, bytes, options_.shiftCodes && hasDoubleByte(options_.host),
                                        options_.keepPadding, lenient, text);
      } else if (kind == FieldKind::text) {
        fault = character::readEbcdicKana(bytes, options_.keepPadding, lenient, text);
      } else if (kind == FieldKind::national && !component && options_.host != HostCodePage::fujitsu) {
        fault = character::readHostNational(host, bytes, options_.keepPadding, lenient, text);
      } else if (kind == FieldKind::national) {
        fault = character::readJef(bytes, gaiji_, options_.keepPadding, lenient, text);
      } else {
        digits.resize(std::max(2 * bytes.size(), numeric::kBinaryDigitsRoom));
        std::size_t count = bytes.size();
        bool negative = false;
        if (kind == FieldKind::zoned) {
          fault = numeric::readZoned(bytes, component ? options_.convertSign : field.isSigned, digits.data(), negative);
        } else if (kind == FieldKind::packed) {
          fault = numeric::readPacked(bytes, record::packedSignOf(field, options_.convertSign), digits.data(), count,
                                      negative);
        } else {
          fault = numeric::readBinary(bytes, field.isSigned, static_cast<std::size_t>(field.length), digits.data(),
                                      count, negative);
        }
        const std::string_view read(digits.data(), count);
        if (!fault && record::exceedsDigitCapacity(read, record::digitCapacity(field, options_.convertSign)))
          fault = base::DecodeFault{0, 1, "digit beyond the field's digits"};
        if (!fault)
          number_text::appendScaledText(read, negative, component ? 0 : field.scale, text);
        else if (lenient)
          appendRawDigits(bytes, kind, text);
      }
      if (fault) {
        faults.push_back({column, field.offset + fault->offset, fault->length, fault->reason});
        if (!lenient) text.clear();
      }
    }
  });
}

}  // namespace quor
