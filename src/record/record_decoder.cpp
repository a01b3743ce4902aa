// RecordDecoder: the way back from a record's bytes to one text a column, field by field, through the
// decoder beside each encoder, each field in its place in the record (which varying tables move).

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
#include "record/table_counts.hpp"
#include "record/varying_places.hpp"

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
    if (field.blankWhenZero && numeric::writtenAsBlanks(bytes)) {
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
  const std::size_t width = record::keptZerosWidth(field, options);
  if (text.size() - start < width) text.insert(start, width - (text.size() - start), u'0');
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
constexpr const char* kCut = "field cut by the end of the record";

}  // namespace

RecordDecoder::RecordDecoder(Layout layout, const RecordOptions& options, GaijiMapping gaiji)
    : layout_(std::move(layout)), options_(options) {
  base::guarded([&] {
    checkLayoutForHost(layout_, options_.host);
    columns_ = layout_.columns();
    gaiji_ = character::withJefOrder(gaiji);  // read backwards, once
    if (!layout_.varies()) return;
    std::size_t first = layout_.fields.size();
    for (const VaryingTable& table : layout_.tables) first = std::min(first, table.first);
    prefixColumns_ = static_cast<std::size_t>(std::lower_bound(columns_.begin(), columns_.end(), first) - columns_.begin());
    for (const VaryingTable& table : layout_.tables) {
      counterColumns_.push_back(
          static_cast<std::size_t>(std::lower_bound(columns_.begin(), columns_.end(), table.counter) - columns_.begin()));
      const LayoutField& counter = layout_.fields[table.counter];
      countersEnd_ = std::max(countersEnd_, counter.offset + counter.size);
    }
    places_ = std::make_shared<const record::VaryingPlaces>(layout_);
    counterReads_ = counterColumns_;
    std::sort(counterReads_.begin(), counterReads_.end());
    counterReads_.erase(std::unique(counterReads_.begin(), counterReads_.end()), counterReads_.end());
  });
}

void RecordDecoder::readColumn(std::span<const std::uint8_t> record, const LayoutField& field, std::size_t column,
                               std::size_t offset, std::u16string& text, std::vector<FieldFault>& faults, bool lenient,
                               std::string& digits) const {
  text.clear();
  // A field its record's counts leave out, or that lies past the record's end, is absent.
  if (offset == kAbsentField || offset >= record.size()) return;
  if (field.size > record.size() - offset) {
    faults.push_back({column, offset, record.size() - offset, kCut});
    return;
  }
  const Bytes bytes = record.subspan(offset, field.size);
  const FieldKind kind = record::writtenKind(field);
  const bool component = field.kind == FieldKind::component;
  const bool onHost = !component && (options_.host != HostCodePage::fujitsu || options_.shiftCodes);
  const character::HostText host(options_.host, character::indexOf(gaiji_));
  std::optional<base::DecodeFault> fault;
  if (kind == FieldKind::text || kind == FieldKind::national) {
    // A JUSTIFIED RIGHT field's padding is in front: read whole, its leading blanks then dropped.
    const bool keep = options_.keepPadding || field.justifiedRight;
    if (kind == FieldKind::text && onHost)
      fault = character::readHostText(host, bytes, options_.shiftCodes && hasDoubleByte(options_.host), keep, lenient,
                                      text);
    else if (kind == FieldKind::text)
      fault = character::readEbcdicKana(bytes, keep, lenient, text);
    else if (!component && options_.host != HostCodePage::fujitsu)
      fault = character::readHostNational(host, bytes, keep, lenient, text);
    else
      fault = character::readJef(bytes, gaiji_, keep, lenient, text);
    if (field.justifiedRight && !options_.keepPadding) dropLeadingPadding(text, kind == FieldKind::national);
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
    faults.push_back({column, offset + fault->offset, fault->length, fault->reason});
    if (!lenient) text.clear();
  }
}

void RecordDecoder::readColumn(std::span<const std::uint8_t> record, std::size_t column,
                               std::vector<std::u16string>& values, std::vector<FieldFault>& faults, bool lenient) const {
  const LayoutField& field = layout_.fields[columns_[column]];
  readColumn(record, field, column, field.offset, values[column], faults, lenient, digits_);
}

bool RecordDecoder::readCounts(std::span<const std::uint8_t> record) const {
  scratchValues_.resize(columns_.size());
  scratchFaults_.clear();
  for (const std::size_t column : counterReads_) readColumn(record, column, scratchValues_, scratchFaults_, false);
  return countsOf(scratchValues_, scratchFaults_);
}

bool RecordDecoder::countsOf(const std::vector<std::u16string>& values, std::vector<FieldFault>& faults) const {
  counts_.resize(layout_.tables.size());
  bool known = true;
  for (std::size_t t = 0; t < layout_.tables.size(); ++t) {
    const std::size_t column = counterColumns_[t];
    const bool faulty = std::any_of(faults.begin(), faults.end(), [&](const FieldFault& f) { return f.column == column; });
    if (faulty) {
      known = false;
      continue;
    }
    const LayoutField& counter = layout_.fields[layout_.tables[t].counter];
    if (const char* problem = record::countProblem(values[column], layout_.tables[t], counts_[t])) {
      faults.push_back({column, counter.offset, counter.size, problem});
      known = false;
    }
  }
  return known;
}

void RecordDecoder::decode(std::span<const std::uint8_t> record, std::vector<std::u16string>& values,
                           std::vector<FieldFault>& faults, bool lenient) const {
  base::guarded([&] {
    if (record.size() > layout_.recordLength) throw Error(errors::kInvalidCall);
    values.resize(columns_.size());
    faults.clear();
    if (!layout_.varies()) {
      for (std::size_t column = 0; column < columns_.size(); ++column)
        readColumn(record, column, values, faults, lenient);
      return;
    }
    // The columns before every table, the counters among them, stand where their offsets say.
    for (std::size_t column = 0; column < prefixColumns_; ++column)
      readColumn(record, column, values, faults, lenient);
    const bool counted = record.size() < countersEnd_ || countsOf(values, faults);
    if (record.size() < countersEnd_) {
      // The record ends before its counters: every table lies past its end.
      counts_.resize(layout_.tables.size());
      for (std::size_t t = 0; t < layout_.tables.size(); ++t) counts_[t] = layout_.tables[t].least;
    }
    std::sort(faults.begin(), faults.end(), [](const FieldFault& a, const FieldFault& b) { return a.column < b.column; });
    if (!counted) {
      for (std::size_t column = prefixColumns_; column < columns_.size(); ++column) values[column].clear();
      return;
    }
    const std::size_t length = quor::placeFields(layout_, counts_, offsets_);
    if (record.size() > length && !(options_.padVarying && record.size() == layout_.recordLength))
      throw Error(errors::kInvalidCall);
    const std::span<const std::uint8_t> own = record.first(std::min(length, record.size()));
    for (std::size_t column = prefixColumns_; column < columns_.size(); ++column)
      readColumn(own, layout_.fields[columns_[column]], column, offsets_[columns_[column]], values[column], faults,
                 lenient, digits_);
  });
}

bool RecordDecoder::placeFields(std::span<const std::uint8_t> record, std::vector<std::size_t>& offsets) const {
  return base::guarded([&] {
    std::size_t length = record.size();
    if (!layout_.varies()) {
      offsets.clear();
      for (const LayoutField& field : layout_.fields) offsets.push_back(field.offset);
    } else {
      counts_.resize(layout_.tables.size());
      if (record.size() < countersEnd_) {
        for (std::size_t t = 0; t < layout_.tables.size(); ++t) counts_[t] = layout_.tables[t].least;
      } else if (!readCounts(record)) {
        return false;
      }
      length = std::min(length, quor::placeFields(layout_, counts_, offsets));
    }
    for (std::size_t i = 0; i < offsets.size(); ++i)
      if (offsets[i] != kAbsentField && offsets[i] >= length) offsets[i] = kAbsentField;
    return true;
  });
}

std::size_t RecordDecoder::columnsWithin(std::span<const std::uint8_t> record) const {
  return base::guarded([&] {
    if (!layout_.varies()) return quor::columnsWithin(layout_, record.size());
    if (record.size() < countersEnd_) return quor::columnsWithin(layout_, record.size());
    // A counter that says no count leaves the places after it unknown: those columns give the empty text.
    if (!readCounts(record)) return columns_.size();
    quor::placeFields(layout_, counts_, offsets_);
    for (std::size_t column = 0; column < columns_.size(); ++column) {
      const std::size_t offset = offsets_[columns_[column]];
      if (offset != kAbsentField && offset + layout_.fields[columns_[column]].size > record.size()) return column;
    }
    return columns_.size();
  });
}

void RecordDecoder::decodeOverlays(std::span<const std::uint8_t> record, std::vector<std::u16string>& values,
                                   std::vector<FieldFault>& faults, bool lenient) const {
  base::guarded([&] {
    std::vector<std::size_t> offsets;
    const bool placed = placeFields(record, offsets);
    values.clear();
    faults.clear();
    for (std::size_t i = 0; i < layout_.fields.size(); ++i) {
      const LayoutField& field = layout_.fields[i];
      if (field.role != FieldRole::overlay) continue;
      values.emplace_back();
      if (!placed || offsets[i] == kAbsentField) continue;
      readColumn(record, field, values.size() - 1, offsets[i], values.back(), faults, lenient, digits_);
    }
  });
}

RecordExtent RecordDecoder::extent(std::span<const std::uint8_t> bytes) const {
  return base::guarded([&] {
    if (!layout_.varies() || options_.padVarying) return RecordExtent{layout_.recordLength, std::nullopt};
    if (bytes.size() < countersEnd_) return RecordExtent{countersEnd_, std::nullopt};
    if (!readCounts(bytes)) {
      // The first fault of a counter: the one that hides the length.
      for (const std::size_t column : counterColumns_)
        for (const FieldFault& fault : scratchFaults_)
          if (fault.column == column) return RecordExtent{0, fault};
    }
    if (!places_->taken()) return RecordExtent{quor::placeFields(layout_, counts_, offsets_), std::nullopt};
    // The length alone, without placing each field.
    record::VaryingPlaces::Counts counts;
    std::copy(counts_.begin(), counts_.end(), counts.begin());
    record::VaryingPlaces::AbsentList absent;
    return RecordExtent{places_->lengthWithout(absent, places_->absentFields(counts, absent)), std::nullopt};
  });
}

}  // namespace quor
