// Records both ways. A layout is made from the input, then:
// - values to bytes to values: a record the builder writes as its values read (no change, no error)
//   decodes to those values in their canonical form (numbers as exact decimal text with the scale,
//   text without trailing blanks, national text in full width);
// - bytes to values to bytes: arbitrary record bytes that decode without invalid data encode to bytes
//   that decode to the same values, and those bytes encode to themselves: what the encoder writes, the
//   decoder gives back exactly.
// Lenient decoding never fails and gives a text for every column, and for every overlay read as one.
// A layout with varying tables: a record the builder writes is as long as its counters make it, and
// its length is found from its bytes; the fields of absent elements decode to the empty text.
//
// Floats have no canonical text but the decoder's own, so their values are checked the second way only.
//
// Input: the flags byte (bit 1: --unsigned component numbers; bit 4: zeros kept), the fields
// (fuzz_support.hpp layoutOf) up to the first 0xFF, then the values (code page 932 text cut at U+0000),
// then the rest as record bytes.

#include <vector>

#include "fuzz_support.hpp"
#include "number_text/number_reading.hpp"
#include "number_text/scaled_decimal.hpp"
#include "numeric/edited.hpp"
#include "record/field_kind.hpp"
#include "quor/record.hpp"
#include "text/fullwidth.hpp"

namespace {

bool isFloat(const quor::LayoutField& field) {
  return field.kind == quor::FieldKind::float4 || field.kind == quor::FieldKind::float8;
}

// The value as the decoder gives it back from what the builder wrote.
std::u16string canonical(const quor::LayoutField& field, std::u16string_view value, const quor::RecordOptions& options) {
  const bool component = field.kind == quor::FieldKind::component;
  const bool text = component ? field.format == quor::setCharacter : field.kind == quor::FieldKind::text;
  const bool national = component ? field.format == quor::setNCharacter : field.kind == quor::FieldKind::national;
  std::u16string out;
  if (text || national) {
    out = national ? quor::text::toFullWidth(value) : std::u16string(value);
    if (field.justifiedRight) {
      // The value fits (else it is a change); its blanks in front are padding.
      const std::size_t lead = out.find_first_not_of(national ? u"\u3000" : u" ");
      return lead == std::u16string::npos ? std::u16string() : out.substr(lead);
    }
    if (out.size() > static_cast<std::size_t>(field.length)) out.resize(static_cast<std::size_t>(field.length));
    // The padding read back: blanks, or ideographic spaces in a national field; an ideographic space at
    // the end of a text field's double-byte run is a character of its value.
    const char16_t pad = national ? u'\u3000' : u' ';
    while (!out.empty() && (out.back() == pad || out.back() == 0)) out.pop_back();
    return out;
  }
  if (field.kind == quor::FieldKind::editedText) {
    out = value;
    while (!out.empty() && out.back() == u' ') out.pop_back();
    return out;
  }
  if (field.kind == quor::FieldKind::edited) {
    std::string problem;
    const auto picture = quor::numeric::readEditedPicture(field.picture, problem);
    const auto number = quor::number_text::readScaledDecimal(value, static_cast<int>(picture->fractionDigits));
    quor::number_text::appendScaledText(number->digits, number->negative, static_cast<int>(picture->fractionDigits), out);
    return out;
  }
  if (component) {
    // The record rules read a sign behind the number ("12-") as one in front; exactNumberText reads
    // the leading number only.
    std::u16string signFirst(value);
    while (!signFirst.empty() && signFirst.back() == u' ') signFirst.pop_back();
    if (!signFirst.empty() && (signFirst.back() == u'-' || signFirst.back() == u'+')) {
      signFirst.insert(signFirst.begin(), signFirst.back());
      signFirst.pop_back();
    }
    out = quor::number_text::exactNumberText(signFirst);
    return out == u"-0" ? u"0" : out;
  }
  const auto number = quor::number_text::readScaledDecimal(value, field.scale);
  quor::number_text::appendScaledText(number->digits, number->negative, field.scale, out);
  if (quor::record::keepsZeros(field, options)) {
    const auto width = static_cast<std::size_t>(field.length - std::min(field.scale, 0));
    if (out.size() < width) out.insert(0, width - out.size(), u'0');
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  quor::fuzz::Input in(data, size);
  const std::uint8_t flags = in.flags();
  const bool sign = in.sign();
  const quor::Layout layout = quor::fuzz::layoutOf(in);
  if (layout.fields.empty()) return 0;
  const std::vector<std::size_t> columns = layout.columns();
  const std::string_view valueBytes = in.bytes(64);
  const std::string_view recordBytes = in.rest();
  const auto values = quor::fuzz::parts(in.text(valueBytes), columns.size());

  quor::RecordOptions options{sign};
  options.keepZeros = (flags & 16u) != 0;
  quor::RecordBuilder builder(layout, options);
  const quor::RecordDecoder decoder(layout, options);
  std::vector<std::u16string> decoded;
  std::vector<quor::FieldFault> faults;

  // Values to bytes to values.
  if (!columns.empty()) {
    std::vector<std::u16string_view> views(values.begin(), values.end());
    std::vector<quor::ValueChange> changes(columns.size());
    quor::ByteString bytes;
    bool written = true;
    try {
      builder.append(views, bytes, changes);
    } catch (const quor::Error& e) {
      QUOR_FUZZ_CHECK(e.number() != 51);
      written = false;
    }
    bool asRead = written;
    for (const auto& change : changes) asRead = asRead && change.kind == quor::Change::none;
    if (asRead) {
      // As long as its counters make it, and found so from its bytes.
      const quor::RecordExtent extent = decoder.extent({bytes.data(), bytes.size()});
      QUOR_FUZZ_CHECK(!extent.fault && extent.length == bytes.size());
      QUOR_FUZZ_CHECK(layout.varies() ? bytes.size() >= layout.shortestLength && bytes.size() <= layout.recordLength
                                      : bytes.size() == layout.recordLength);
      std::vector<std::size_t> offsets;
      QUOR_FUZZ_CHECK(decoder.placeFields({bytes.data(), bytes.size()}, offsets));
      decoder.decode({bytes.data(), bytes.size()}, decoded, faults);
      QUOR_FUZZ_CHECK(faults.empty());
      for (std::size_t i = 0; i < columns.size(); ++i)
        if (!isFloat(layout.fields[columns[i]]))
          QUOR_FUZZ_CHECK(decoded[i] == (offsets[columns[i]] == quor::kAbsentField
                                             ? std::u16string()
                                             : canonical(layout.fields[columns[i]], values[i], options)));
    }
  }

  // Bytes to values to bytes: the record as long as its counters make it.
  const auto* record = reinterpret_cast<const std::uint8_t*>(recordBytes.data());
  const quor::RecordExtent extent = decoder.extent({record, recordBytes.size()});
  if (extent.fault || extent.length > recordBytes.size()) return 0;
  QUOR_FUZZ_CHECK(extent.length <= layout.recordLength && extent.length >= layout.shortestLength);
  const std::size_t length = extent.length;
  decoder.decode({record, length}, decoded, faults, true);
  QUOR_FUZZ_CHECK(decoded.size() == columns.size());
  // The overlays read in their places, as quor dump shows them: one text each, within the record.
  std::vector<std::u16string> redefined;
  decoder.decodeOverlays({record, length}, redefined, faults, true);
  std::size_t overlays = 0;
  for (const quor::LayoutField& field : layout.fields) overlays += field.role == quor::FieldRole::overlay ? 1 : 0;
  QUOR_FUZZ_CHECK(redefined.size() == overlays);
  for (const quor::FieldFault& fault : faults) QUOR_FUZZ_CHECK(fault.offset + fault.length <= length);
  decoder.decode({record, length}, decoded, faults);
  if (!faults.empty()) return 0;
  const auto encode = [&](const std::vector<std::u16string>& texts) {
    const std::vector<std::u16string_view> views(texts.begin(), texts.end());
    quor::ByteString out;
    builder.append(views, out);
    return out;
  };
  const quor::ByteString again = encode(decoded);
  std::vector<std::u16string> redecoded;
  decoder.decode({again.data(), again.size()}, redecoded, faults);
  QUOR_FUZZ_CHECK(faults.empty() && redecoded == decoded);
  QUOR_FUZZ_CHECK(encode(redecoded) == again);
  return 0;
}
