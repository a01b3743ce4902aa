// EncodePlan: the common record written straight from input bytes. Every table here is filled by
// asking the library's own encoders about each character when the plan is made, every number is read
// by the number texts' one grammar and written by the host encodings' kernels, and every value the
// plan is not sure to write exactly as the record builder would is left to the builder: the plan only
// ever takes a shortcut to the same bytes.

#include <bit>
#include <cstring>
#include <vector>

#include "base/api_guard.hpp"
#include "base/utf.hpp"
#include "number_text/number_reading.hpp"
#include "number_text/number_scan.hpp"
#include "number_text/scaled_decimal.hpp"
#include "numeric/binary.hpp"
#include "numeric/floating.hpp"
#include "numeric/packed.hpp"
#include "numeric/zoned.hpp"
#include "quor/error.hpp"
#include "quor/record.hpp"
#include "quor/record_plan.hpp"
#include "record/field_kind.hpp"
#include "record/plan_tables.hpp"
#include "record/table_counts.hpp"
#include "record/varying_places.hpp"
#include "text/cp932.hpp"

namespace quor {

namespace {

using number_text::NumberForm;
using number_text::NumberParts;

// `declined`: a field the plan leaves to the builder (record::planTakes), so every record is the builder's.
enum class Kernel : std::uint8_t {
  text,
  national,
  hostText,
  hostNational,
  componentZoned,
  componentPacked,
  zoned,
  packed,
  binary,
  floating,
  constant,
  declined
};

struct Step {
  Kernel kernel;
  bool component;         // the record builder's rules for an empty value: a change, so the builder's
  bool isSigned;
  std::uint8_t positiveZone;  // typed zoned: a positive value's sign zone
  numeric::ZonedSign zonedSign;  // typed zoned: where its sign is
  bool blankWhenZero;     // typed zoned: a zero written as blanks
  bool fullRange;         // binary: the range of its bytes, not of its digits
  numeric::FloatEncoding floatEncoding;
  std::size_t offset;     // in the record (with varying tables, in the longest record)
  std::size_t bytes;      // of the field
  std::size_t length;     // characters or digits
  std::size_t column;     // the value's column (constant: the offset of its bytes in `constants`)
  std::size_t capacity;   // digits a number field keeps
  int scale;              // decimal places; below 0, decimal scaling
  std::size_t field;      // its index in the layout's fields
};

// The compiled plan.
struct Plan {
  std::vector<Step> steps;
  std::vector<std::uint8_t> constants;
  PlanTables tables;
  const record::PlanTableData* forms = nullptr;  // the tables' data
  bool convertSign = true;
  bool shifts = false;  // typed text fields hold double-byte runs between `shiftCodes`
  ShiftCodes shiftCodes{};
  TextEncoding input = TextEncoding::utf8;
  number_text::NumberSeparators separators{};
  std::size_t columns = 0;
  // Each column's first step (constants before it come before it) and its field's offset: a short
  // record of k columns is the steps before column k's, and ends at its offset. One more entry at the
  // end: all steps, the record's length.
  std::vector<std::size_t> columnStep{};
  std::vector<std::size_t> columnOffset{};
  // A layout whose records vary in length (OCCURS DEPENDING ON): its fields' places by the counts, the
  // column of each table's counter, and whether records are padded to the longest record's length.
  bool varies = false;
  record::VaryingPlaces places{};
  std::vector<std::size_t> counterColumns{};
  bool padVarying = false;
  // A layout of more tables than the plan places: every record is RecordBuilder's.
  bool declined = false;
};

// The next character of a value, whose first byte *p is not ASCII: its UTF-16 unit, or false where
// the plan leaves the value to the builder (bytes that are no valid text, a character beyond the Basic
// Multilingual Plane, a code page 932 byte without a character).
template <TextEncoding kEncoding>
[[gnu::always_inline]] inline bool nextWide(const unsigned char*& p, const unsigned char* end, unsigned& unit) noexcept {
  if constexpr (kEncoding == TextEncoding::cp932) {
    const auto b0 = static_cast<std::uint8_t>(*p);
    char16_t c = text::cp932::decodeSingle(b0);
    if (c != 0xFFFF) {
      ++p;
    } else {  // a lead byte
      if (end - p < 2) return false;
      c = text::cp932::decodeDouble(b0, p[1]);
      p += 2;
    }
    unit = c;
    return c != 0xFFFF;
  } else {
    char32_t c = 0;
    if (!base::takeUtf8(p, end, c) || c > 0xFFFF) return false;
    unit = static_cast<unsigned>(c);
    return true;
  }
}

// A table of characters written, as the hot loops read it: an entry not asked yet is asked of the
// builder on the spot (PlanTableData::ask), once for the run.
struct Forms {
  const std::uint16_t* table;
  const record::PlanTableData* data;
  record::PlanTableData::Written which;

  // The entry of `unit` as it stands, kNotAsked included.
  [[gnu::always_inline]] std::uint16_t operator[](unsigned unit) const noexcept {
    return record::PlanTableData::loaded(table[unit]);
  }
  // The form of `unit` into `form`, asked if need be; false when the unit is left to the builder.
  [[gnu::always_inline]] bool take(unsigned unit, std::uint16_t& form) const noexcept {
    using Data = record::PlanTableData;
    form = (*this)[unit];
    if (static_cast<std::uint16_t>(form - Data::kLeftToBuilder) < 2) [[unlikely]] {
      if (form == Data::kLeftToBuilder) return false;
      form = data->ask(which, static_cast<char16_t>(unit));
      return form != Data::kLeftToBuilder;
    }
    return true;
  }
};

Forms formsOf(const record::PlanTableData& data, record::PlanTableData::Written which) noexcept {
  return {data.tableOf(which), &data, which};
}

// Writes the characters from `p` eight at a time while they are ASCII and each has a single-byte form
// in `forms`, and as long as there is room before `stop`; returns where the output stopped, `p` moved
// as far. The rest is written character by character.
[[gnu::always_inline]] inline std::uint8_t* putAsciiRun(const Forms& forms, const unsigned char*& p,
                                                       const unsigned char* end, std::uint8_t* out,
                                                       const std::uint8_t* stop) noexcept {
  while (end - p >= 8 && stop - out >= 8) {
    std::uint64_t word = 0;
    std::memcpy(&word, p, 8);
    if ((word & 0x8080808080808080) != 0) break;
    std::uint8_t chunk[8];
    unsigned all = 0;
    for (std::size_t k = 0; k < 8; ++k) {
      const std::uint16_t form = forms[p[k]];
      chunk[k] = static_cast<std::uint8_t>(form);
      all |= form;
    }
    if ((all & 0xFF00) != 0) break;  // a form left to the builder, or a pair
    std::memcpy(out, chunk, 8);
    p += 8;
    out += 8;
  }
  return out;
}

// Fills a field from `out` to `stop` with its padding: a blank (kWidth 1) or a pair, the first byte
// `pad` >> 8 (kWidth 2), eight bytes a store. A field's padding is a few bytes: neither a call to
// memset nor a loop the compiler would widen with a long preamble.
template <std::size_t kWidth>
[[gnu::always_inline]] inline void putPadding(std::uint8_t* out, std::uint8_t* const stop, std::uint16_t pad) noexcept {
  const std::uint64_t high = pad >> 8;
  const std::uint64_t low = pad & 0xFFu;
  std::uint64_t unit = low;
  if constexpr (kWidth == 2) {
    // The pair as it stands in memory, its first byte first.
    unit = std::endian::native == std::endian::little ? (high | low << 8) : (high << 8 | low);
  }
  const std::uint64_t word = unit * (kWidth == 1 ? 0x0101010101010101u : 0x0001000100010001u);
  for (; stop - out >= 8; out += 8) std::memcpy(out, &word, 8);
  const auto rest = static_cast<std::size_t>(stop - out);  // below 8, and even for pairs
  if ((rest & 4) != 0) {
    std::memcpy(out, &word, 4);
    out += 4;
  }
  if ((rest & 2) != 0) {
    std::memcpy(out, &word, 2);
    out += 2;
  }
  if ((rest & 1) != 0) *out = static_cast<std::uint8_t>(word);
}

// A text (kWidth 1: EBCDIC bytes) or national (kWidth 2: JEF pairs) value, each character through
// its table, then the padding `pad` (a blank, an ideographic space). The loop keeps what it reads from
// the plan in locals: a store through `out` may alias anything, and would otherwise make the compiler
// load it again for every byte.
template <TextEncoding kEncoding, std::size_t kWidth>
bool writeCharacters(const Forms forms, std::uint16_t pad, const Step& step, std::string_view value,
                     std::uint8_t* out) noexcept {
  if (value.empty() && step.component) return false;  // written as 0x00 bytes: a change
  const auto* p = reinterpret_cast<const unsigned char*>(value.data());
  const unsigned char* const end = p + value.size();
  std::uint8_t* const stop = out + kWidth * step.length;
  const auto put = [](std::uint8_t* at, std::uint16_t form) {
    if constexpr (kWidth == 2) *at++ = static_cast<std::uint8_t>(form >> 8);
    *at = static_cast<std::uint8_t>(form);
  };
  if constexpr (kWidth == 1) out = putAsciiRun(forms, p, end, out, stop);
  for (; p != end; out += kWidth) {
    if (out == stop) return false;
    unsigned unit = *p;
    if (unit < 0x80) {
      ++p;
    } else if (!nextWide<kEncoding>(p, end, unit)) {
      return false;
    }
    std::uint16_t form;
    if (!forms.take(unit, form)) return false;
    put(out, form);
  }
  putPadding<kWidth>(out, stop, pad);
  return true;
}

// A typed text field on the host page: each character's single-byte code, or its pair in a run between
// the shift codes, then blanks; the record builder's rule of appendHostText, which leaves a value that
// does not fit whole to the builder.
template <TextEncoding kEncoding>
bool writeHostText(const Plan& plan, const Step& step, std::string_view value, std::uint8_t* out) noexcept {
  const Forms forms = formsOf(*plan.forms, record::PlanTableData::Written::hostText);
  const auto* p = reinterpret_cast<const unsigned char*>(value.data());
  const unsigned char* const end = p + value.size();
  const std::size_t length = step.length;
  bool inRun = false;
  // A value's first ASCII characters eight at a time; the rest one by one.
  std::size_t used = static_cast<std::size_t>(putAsciiRun(forms, p, end, out, out + length) - out);
  while (p != end) {
    unsigned unit = *p;
    if (unit < 0x80) {
      ++p;
    } else if (!nextWide<kEncoding>(p, end, unit)) {
      return false;
    }
    std::uint16_t form;
    if (!forms.take(unit, form)) return false;
    if (form < 0x100) {
      if (used + (inRun ? 2 : 1) > length) return false;
      if (inRun) out[used++] = plan.shiftCodes.shiftIn;
      inRun = false;
      out[used++] = static_cast<std::uint8_t>(form);
    } else {
      if (!plan.shifts || used + (inRun ? 3 : 4) > length) return false;
      if (!inRun) out[used++] = plan.shiftCodes.shiftOut;
      inRun = true;
      out[used++] = static_cast<std::uint8_t>(form >> 8);
      out[used++] = static_cast<std::uint8_t>(form);
    }
  }
  if (inRun) out[used++] = plan.shiftCodes.shiftIn;
  std::memset(out + used, plan.forms->hostBlank, length - used);
  return true;
}

// A component number as most are written: a whole number, with or without a sign, whose digits fit
// the field. Others (a fraction, an exponent, a literal, thousands separators, a sign where numbers
// have none) are the builder's.
bool writeComponentNumber(const Plan& plan, const Step& step, std::string_view value, std::uint8_t* out) noexcept {
  NumberParts<char> number;
  if (number_text::scanNumberParts(value, plan.separators, number) != NumberForm::decimal || number.point ||
      number.grouped || !number.exponent.empty())
    return false;
  if (number.negative && !plan.convertSign) return false;
  const std::string_view digits = number.integer;
  // The builder keeps leading zeros within the width; more digits than that are a cut to look at.
  if (digits.size() > step.length) return false;
  const std::span<std::uint8_t> field(out, step.bytes);
  if (step.kernel == Kernel::componentZoned) {
    // The zoned encoder is given the value's exact text, which is "0" for a negative zero.
    const bool negative = number.negative && digits.find_first_not_of('0') != std::string_view::npos;
    numeric::writeZoned(digits, negative, field);
    return true;
  }
  std::size_t first = 0;
  while (first < digits.size() && digits[first] == '0') ++first;
  if (digits.size() - first > step.capacity) return false;
  // The packed encoder is given the formatted text, whose "-" makes even a zero negative.
  numeric::writePacked(digits.data() + first, digits.size() - first, number.negative,
                       plan.convertSign ? numeric::PackedSign::signedCD : numeric::PackedSign::none, field);
  return true;
}

// The most decimal places a typed number's digits take: its 31 digits and 31 more places (finishLayout
// holds a scale within them); the plan leaves a field of more to the builder.
constexpr int kMostPlaces = 2 * kMaxDecimalDigits;
constexpr std::uint8_t kEbcdicBlank = 0x40;

// A typed number (zoned, packed, binary): a decimal number scaled to the field's places.
bool writeTypedNumber(const Plan& plan, const Step& step, std::string_view value, std::uint8_t* out) noexcept {
  NumberParts<char> number;
  if (number_text::scanNumberParts(value, plan.separators, number) != NumberForm::decimal || !number.exponent.empty())
    return false;
  // Typed numbers hold at most 31 digits, scaled; a longer integer part is the builder's to refuse.
  if (number.integer.size() > static_cast<std::size_t>(kMaxDecimalDigits)) return false;
  char digits[kMaxDecimalDigits + kMostPlaces];
  bool fractionCut = false;
  const std::size_t count = number_text::scaledDigits(number, step.scale, digits, fractionCut);
  if (fractionCut || count > step.capacity) return false;
  const bool negative = number.negative && count > 0;
  if (negative && !step.isSigned) return false;
  const std::span<std::uint8_t> field(out, step.bytes);
  switch (step.kernel) {
    case Kernel::zoned:
      // BLANK WHEN ZERO: a zero is all blanks, the sign's byte too.
      if (step.blankWhenZero && count == 0)
        std::memset(out, kEbcdicBlank, step.bytes);
      else
        numeric::writeZonedSigned({digits, count}, negative, step.zonedSign, step.positiveZone, field);
      return true;
    case Kernel::packed:
      numeric::writePacked(digits, count, negative,
                           step.isSigned ? numeric::PackedSign::signedCD : numeric::PackedSign::unsignedF, field);
      return true;
    default:
      // A full-range value beyond its bytes' range is a change, the builder's to report.
      if (step.fullRange && !numeric::binaryHolds({digits, count}, negative, step.isSigned, step.bytes)) return false;
      numeric::writeBinary({digits, count}, negative, field);
      return true;
  }
}

// A float (COMP-1, COMP-2): the nearest value of its format to a decimal number, exponent allowed; a
// value beyond the format's range is the builder's to refuse.
bool writeFloatNumber(const Plan& plan, const Step& step, std::string_view value, std::uint8_t* out) noexcept {
  NumberParts<char> parts;
  if (number_text::scanNumberParts(value, plan.separators, parts) != NumberForm::decimal) return false;
  try {
    const number_text::DecimalText number = number_text::decimalTextOf(parts);
    return numeric::writeFloat({number.digits, number.exponent, number.negative}, step.floatEncoding,
                               {out, step.bytes}) == numeric::FloatFit::fits;
  } catch (...) {
    return false;  // out of memory for the digits: the builder's to report
  }
}

}  // namespace

struct EncodePlan::Steps : Plan {};

EncodePlan::EncodePlan(const Layout& layout, const RecordOptions& options, const PlanTables& tables,
                       TextEncoding encoding) {
  if (!tables.data().forEncoding)
    throw Error(errors::kInvalidCall, "the plan tables were made for decode plans only");
  if (tables.data().host != options.host)
    throw Error(errors::kInvalidCall, "the plan tables were made for another host code page");
  base::guarded([&] { checkLayoutForHost(layout, options.host); });
  steps_ = base::guarded([&] {
    auto plan = std::make_unique<Steps>(Steps{Plan{{}, {}, tables}});
    plan->forms = &plan->tables.data();
    plan->convertSign = options.convertSign;
    plan->shifts = options.shiftCodes && hasDoubleByte(options.host);
    plan->shiftCodes = shiftCodesOf(options.host);
    const bool onHost = options.host != HostCodePage::fujitsu || options.shiftCodes;
    plan->input = encoding;
    plan->separators = number_text::localeSeparators();
    plan->varies = layout.varies();
    plan->places = record::VaryingPlaces(layout);
    plan->declined = !plan->places.taken();
    plan->padVarying = options.padVarying;
    std::size_t column = 0;
    for (std::size_t index = 0; index < layout.fields.size(); ++index) {
      const LayoutField& field = layout.fields[index];
      if (field.role == FieldRole::overlay) continue;
      Step step{Kernel::text,
                field.kind == FieldKind::component,
                field.isSigned,
                field.positiveZone,
                record::zonedSignOf(field),
                field.blankWhenZero,
                field.range == BinaryRange::full,
                record::floatEncodingOf(field),
                field.offset,
                field.size,
                static_cast<std::size_t>(field.length),
                column,
                record::digitCapacity(field, options.convertSign),
                field.kind == FieldKind::component ? 0 : field.scale,
                index};
      switch (field.kind) {
        case FieldKind::component:
          switch (field.format) {
            case setCharacter:
              step.kernel = Kernel::text;
              break;
            case setNCharacter:
              step.kernel = Kernel::national;
              break;
            case setNumeric:
              step.kernel = Kernel::componentZoned;
              break;
            default:
              step.kernel = Kernel::componentPacked;
              break;
          }
          break;
        case FieldKind::text:
          step.kernel = onHost ? Kernel::hostText : Kernel::text;
          break;
        case FieldKind::national:
          step.kernel = options.host != HostCodePage::fujitsu ? Kernel::hostNational : Kernel::national;
          break;
        case FieldKind::zoned:
          step.kernel = Kernel::zoned;
          break;
        case FieldKind::packed:
          step.kernel = Kernel::packed;
          break;
        case FieldKind::binary:
          step.kernel = Kernel::binary;
          break;
        case FieldKind::float4:
        case FieldKind::float8:
          step.kernel = Kernel::floating;
          break;
        default:
          break;
      }
      if (field.role == FieldRole::column && (!record::planTakes(field) || step.scale > kMostPlaces))
        step.kernel = Kernel::declined;
      if (field.role == FieldRole::constant) {
        // Its bytes never change: the builder writes them once here.
        Layout one;
        one.fields = {field};
        one.recordLength = field.size;
        RecordBuilder builder(std::move(one), options, plan->forms->gaiji);
        ByteString bytes;
        builder.append({}, bytes);
        step.kernel = Kernel::constant;
        step.column = plan->constants.size();
        plan->constants.insert(plan->constants.end(), bytes.begin(), bytes.end());
      } else {
        // The table of characters the step writes with, made on the run's first need of it.
        using Written = record::PlanTableData::Written;
        switch (step.kernel) {
          case Kernel::text:
            plan->forms->need(Written::text);
            break;
          case Kernel::national:
            plan->forms->need(Written::jef);
            break;
          case Kernel::hostText:
            plan->forms->need(Written::hostText);
            break;
          case Kernel::hostNational:
            plan->forms->need(Written::hostNational);
            break;
          default:
            break;
        }
        ++column;
        plan->columnStep.push_back(plan->steps.size());
        plan->columnOffset.push_back(field.offset);
      }
      plan->steps.push_back(step);
    }
    plan->columns = column;
    // Each table's counter is a column before every table: the column its step takes.
    for (const VaryingTable& table : layout.tables)
      for (const Step& step : plan->steps) {
        if (step.field >= table.counter) {
          plan->counterColumns.push_back(step.column);
          break;
        }
      }
    plan->columnStep.push_back(plan->steps.size());
    plan->columnOffset.push_back(layout.recordLength);
    return std::unique_ptr<const Steps>(std::move(plan));
  });
}

EncodePlan::~EncodePlan() = default;
EncodePlan::EncodePlan(EncodePlan&&) noexcept = default;
EncodePlan& EncodePlan::operator=(EncodePlan&&) noexcept = default;

namespace {

// Runs the steps [first, last) of the plan on `values`, each field written at its offset. The one call
// of each kernel: so the compiler inlines the common ones here, as the speed of the common record needs.
bool runSteps(const Plan& plan, const Step* first, const Step* last, std::span<const std::string_view> values,
              std::uint8_t* record) noexcept {
  const bool utf8 = plan.input == TextEncoding::utf8;
  const record::PlanTableData& forms = *plan.forms;
  using Written = record::PlanTableData::Written;
  for (const Step* at = first; at != last; ++at) {
    const Step& step = *at;
    std::uint8_t* const out = record + step.offset;
    switch (step.kernel) {
      case Kernel::text:
        if (!(utf8 ? writeCharacters<TextEncoding::utf8, 1>(formsOf(forms, Written::text), forms.blank, step, values[step.column], out)
                   : writeCharacters<TextEncoding::cp932, 1>(formsOf(forms, Written::text), forms.blank, step, values[step.column],
                                                             out)))
          return false;
        break;
      case Kernel::national:
        if (!(utf8 ? writeCharacters<TextEncoding::utf8, 2>(formsOf(forms, Written::jef), forms.pad, step, values[step.column], out)
                   : writeCharacters<TextEncoding::cp932, 2>(formsOf(forms, Written::jef), forms.pad, step, values[step.column],
                                                             out)))
          return false;
        break;
      case Kernel::hostText:
        if (!(utf8 ? writeHostText<TextEncoding::utf8>(plan, step, values[step.column], out)
                   : writeHostText<TextEncoding::cp932>(plan, step, values[step.column], out)))
          return false;
        break;
      case Kernel::hostNational:
        if (!(utf8 ? writeCharacters<TextEncoding::utf8, 2>(formsOf(forms, Written::hostNational), forms.hostPad, step,
                                                            values[step.column], out)
                   : writeCharacters<TextEncoding::cp932, 2>(formsOf(forms, Written::hostNational), forms.hostPad, step,
                                                             values[step.column], out)))
          return false;
        break;
      case Kernel::constant:
        std::memcpy(out, plan.constants.data() + step.column, step.bytes);
        break;
      case Kernel::componentZoned:
      case Kernel::componentPacked:
        if (!writeComponentNumber(plan, step, values[step.column], out)) return false;
        break;
      case Kernel::floating:
        if (!writeFloatNumber(plan, step, values[step.column], out)) return false;
        break;
      case Kernel::declined:
        return false;
      default:
        if (!writeTypedNumber(plan, step, values[step.column], out)) return false;
        break;
    }
  }
  return true;
}

// A record of varying tables: the counts its counters' values give (plain digits; any other way of
// writing a count is the builder's to read), then each field where they place it, the fields of absent
// elements left out. Returns the record's length, 0 where the builder is to write it.
std::size_t encodeVarying(const Plan& plan, std::span<const std::string_view> values, std::uint8_t* record) noexcept {
  const std::vector<VaryingTable>& tables = plan.places.tables();
  record::VaryingPlaces::Counts counts;
  for (std::size_t t = 0; t < tables.size(); ++t) {
    const std::string_view count = values[plan.counterColumns[t]];
    if (count.empty() || record::countProblem(count, false, tables[t], counts[t]) != nullptr) return 0;
  }
  record::VaryingPlaces::AbsentList absent;
  const std::size_t ranges = plan.places.absentFields(counts, absent);
  record::VaryingPlaces::Walk walk(absent, ranges);
  // The steps run in stretches of present fields that moved up alike, each written where the longest
  // record has it and then moved up: so the kernels have one call, runSteps'.
  const Step* const steps = plan.steps.data();
  const Step* const end = steps + plan.steps.size();
  const Step* from = steps;
  std::size_t shift = 0;
  const auto runStretch = [&](const Step* to) {
    if (from == to) return true;
    if (!runSteps(plan, from, to, values, record)) return false;
    const std::size_t begin = from->offset;
    if (shift != 0) std::memmove(record + begin - shift, record + begin, (to - 1)->offset + (to - 1)->bytes - begin);
    return true;
  };
  for (const Step* at = steps; at != end; ++at) {
    std::size_t offset = at->offset;
    const bool present = walk.place(at->field, offset);
    if (!present || at->offset - offset != shift) {
      if (!runStretch(at)) return 0;
      from = at + (present ? 0 : 1);
      shift = at->offset - offset;
    }
    // A value given for an element past its table's count would be left out: a change.
    if (!present && at->kernel != Kernel::constant && !values[at->column].empty()) return 0;
  }
  if (!runStretch(end)) return 0;
  const std::size_t length = plan.places.lengthWithout(absent, ranges);
  if (!plan.padVarying) return length;
  std::memset(record + length, record::kVaryingPadding, plan.places.recordLength() - length);
  return plan.places.recordLength();
}

}  // namespace

std::size_t EncodePlan::encode(std::span<const std::string_view> values, std::uint8_t* record) const noexcept {
  const Plan& plan = *steps_;
  if (plan.declined || values.size() != plan.columns) return 0;
  if (plan.varies) return encodeVarying(plan, values, record);
  return runSteps(plan, plan.steps.data(), plan.steps.data() + plan.steps.size(), values, record) ? plan.columnOffset.back()
                                                                                                 : 0;
}

std::size_t EncodePlan::encodeFirst(std::span<const std::string_view> values,
                                    std::uint8_t* record) const noexcept {
  const Plan& plan = *steps_;
  const std::size_t given = values.size();
  if (plan.declined || given == 0 || given > plan.columns) return 0;
  if (plan.varies) return given == plan.columns ? encodeVarying(plan, values, record) : 0;
  const Step* const steps = plan.steps.data();
  if (!runSteps(plan, steps, steps + plan.columnStep[given], values, record)) return 0;
  return plan.columnOffset[given];
}

}  // namespace quor
