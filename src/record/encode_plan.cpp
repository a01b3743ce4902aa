// EncodePlan: the common record written straight from input bytes. Every table here is filled by
// asking the library's own encoders about each character when the plan is made, and every value the
// plan is not sure to write exactly as the record builder would is left to the builder: the plan only
// ever takes a shortcut to the same bytes.

#include <cstring>
#include <vector>

#include "base/api_guard.hpp"
#include "number_text/number_reading.hpp"
#include "numeric/binary.hpp"
#include "numeric/packed.hpp"
#include "quor/record.hpp"
#include "quor/error.hpp"
#include "quor/record_plan.hpp"
#include "record/field_kind.hpp"
#include "record/plan_tables.hpp"
#include "text/cp932.hpp"

namespace quor {

namespace {

enum class Kernel : std::uint8_t { text, national, componentZoned, componentPacked, zoned, packed, binary, constant };

struct Step {
  Kernel kernel;
  bool component;        // the record builder's rules for an empty value: a change, so the builder's
  std::uint32_t offset;  // in the record
  std::uint32_t bytes;   // of the field
  std::uint32_t length;  // characters or digits
  std::uint32_t column;  // the value's column (constant: the offset of its bytes in `constants`)
  std::uint32_t capacity;  // digits a number field keeps
  std::int32_t scale;
  bool isSigned;
};

// The compiled plan.
struct Plan {
  std::vector<Step> steps;
  std::vector<std::uint8_t> constants;
  PlanTables tables;
  const record::PlanTableData* forms = nullptr;  // the tables' data
  bool convertSign = true;
  TextEncoding input = TextEncoding::utf8;
  char16_t decimal = u'.';
  std::size_t columns = 0;
};

using Steps = Plan;

// The next character of a value, whose first byte *p is not ASCII: its UTF-16 unit, or false where
// the plan leaves the value to the builder (bytes that are no valid text, a character beyond the Basic
// Multilingual Plane, a code page 932 byte without a character).
template <TextEncoding kEncoding>
[[gnu::always_inline]] inline bool nextWide(const unsigned char*& p, const unsigned char* end, unsigned& unit) noexcept {
  const unsigned b0 = *p;
  if constexpr (kEncoding == TextEncoding::cp932) {
    char16_t c = text::cp932::decodeSingle(static_cast<std::uint8_t>(b0));
    if (c != 0xFFFF) {
      ++p;
    } else {  // a lead byte
      if (end - p < 2) return false;
      c = text::cp932::decodeDouble(static_cast<std::uint8_t>(b0), p[1]);
      p += 2;
    }
    unit = c;
    return c != 0xFFFF;
  } else {
    if (b0 >= 0xE0 && b0 < 0xF0) {
      if (end - p < 3 || (p[1] & 0xC0u) != 0x80 || (p[2] & 0xC0u) != 0x80) return false;
      unit = ((b0 & 0x0Fu) << 12) | ((p[1] & 0x3Fu) << 6) | (p[2] & 0x3Fu);
      p += 3;
      return unit >= 0x800 && (unit < 0xD800 || unit > 0xDFFF);
    }
    if (b0 >= 0xC2 && b0 < 0xE0) {
      if (end - p < 2 || (p[1] & 0xC0u) != 0x80) return false;
      unit = ((b0 & 0x1Fu) << 6) | (p[1] & 0x3Fu);
      p += 2;
      return true;
    }
    return false;
  }
}

// A text (kWidth 1: EBCDIC bytes) or national (kWidth 2: JEF pairs) value, each character through
// its table, then the padding `pad` (a blank, an ideographic space). The loop keeps what it reads from
// the plan in locals: a store through `out` may alias anything, and would otherwise make the compiler
// load it again for every byte.
template <TextEncoding kEncoding, std::size_t kWidth>
bool writeCharacters(const std::uint16_t* forms, std::uint16_t pad, const Step& step, std::string_view value,
                     std::uint8_t* out) noexcept {
  if (value.empty() && step.component) return false;  // written as 0x00 bytes: a change
  const auto* p = reinterpret_cast<const unsigned char*>(value.data());
  const unsigned char* const end = p + value.size();
  std::uint8_t* const stop = out + kWidth * std::size_t{step.length};
  const auto put = [](std::uint8_t* at, std::uint16_t form) {
    if constexpr (kWidth == 2) *at++ = static_cast<std::uint8_t>(form >> 8);
    *at = static_cast<std::uint8_t>(form);
  };
  for (; p != end; out += kWidth) {
    if (out == stop) return false;
    unsigned unit = *p;
    if (unit < 0x80) {
      ++p;
    } else if (!nextWide<kEncoding>(p, end, unit)) {
      return false;
    }
    const std::uint16_t form = forms[unit];
    if (form == record::PlanTableData::kLeftToBuilder) return false;
    put(out, form);
  }
  for (; out != stop; out += kWidth) put(out, pad);
  return true;
}

// A plain number: an optional "-", digits, an optional decimal separator and more digits. Its digits
// without leading zeros (view into the value) and fraction digits.
struct PlainNumber {
  bool negative = false;
  std::string_view integer;   // without leading zeros
  std::string_view fraction;  // the digits after the separator
};

bool readPlainNumber(std::string_view value, char16_t decimal, PlainNumber& number) noexcept {
  std::size_t i = 0;
  if (!value.empty() && value[0] == '-') {
    number.negative = true;
    i = 1;
  }
  const std::size_t start = i;
  while (i < value.size() && value[i] >= '0' && value[i] <= '9') ++i;
  std::size_t integerEnd = i;
  if (i < value.size() && static_cast<unsigned char>(value[i]) == decimal) {
    const std::size_t point = i++;
    const std::size_t fractionStart = i;
    while (i < value.size() && value[i] >= '0' && value[i] <= '9') ++i;
    number.fraction = value.substr(fractionStart, i - fractionStart);
    if (point == start && number.fraction.empty()) return false;
  } else if (integerEnd == start) {
    return false;
  }
  if (i != value.size()) return false;
  std::size_t first = start;
  while (first < integerEnd && value[first] == '0') ++first;
  number.integer = value.substr(first, integerEnd - first);
  return true;
}

// The digits of a plain number scaled to `scale` places into `digits` (room for an integer part of at
// most 31 digits and 31 places; no leading zeros); false when it has more places than the scale.
bool scaledDigits(const PlainNumber& number, std::int32_t scale, char* digits, std::size_t& count) noexcept {
  const auto places = static_cast<std::size_t>(scale);
  if (number.fraction.size() > places || number.integer.size() > static_cast<std::size_t>(kMaxDecimalDigits))
    return false;
  count = 0;
  for (const char c : number.integer) digits[count++] = c;
  for (const char c : number.fraction) digits[count++] = c;
  for (std::size_t i = number.fraction.size(); i < places; ++i) digits[count++] = '0';
  std::size_t first = 0;
  while (first < count && digits[first] == '0') ++first;
  std::memmove(digits, digits + first, count - first);
  count -= first;
  return true;
}

void writeZonedDigits(const char* digits, std::size_t count, bool negative, std::uint32_t width,
                      std::uint8_t* out) noexcept {
  std::memset(out, 0xF0, width - count);
  for (std::size_t i = 0; i < count; ++i) out[width - count + i] = static_cast<std::uint8_t>(0xF0 | (digits[i] - '0'));
  if (negative) out[width - 1] = static_cast<std::uint8_t>(0xD0 | (out[width - 1] & 0x0F));
}

// `count` digits right-aligned in `bytes` bytes of nibbles, then the sign nibble `sign` (or none).
void writePackedDigits(const char* digits, std::size_t count, int sign, std::uint32_t bytes,
                       std::uint8_t* out) noexcept {
  const auto digitAt = [&](std::size_t& left) -> unsigned {
    return left == 0 ? 0u : static_cast<unsigned>(digits[--left] - '0');
  };
  std::size_t left = count;
  std::uint32_t at = bytes;
  if (sign >= 0) {
    const unsigned low = static_cast<unsigned>(sign);
    out[--at] = static_cast<std::uint8_t>(digitAt(left) << 4 | low);
  }
  while (at > 0) {
    const unsigned low = digitAt(left);
    out[--at] = static_cast<std::uint8_t>(digitAt(left) << 4 | low);
  }
}

// Copies `count` ASCII digits to `out` as zoned bytes (zone F), eight at a time; false at a byte that is
// no digit. `nonZero` gathers the digits' bits.
bool copyZonedDigits(const char* digits, std::size_t count, std::uint8_t* out, unsigned& nonZero) noexcept {
  constexpr std::uint64_t kHigh = 0xF0F0F0F0F0F0F0F0;
  constexpr std::uint64_t kAsciiZeros = 0x3030303030303030;
  std::size_t i = 0;
  std::uint64_t bits = 0;
  for (; i + 8 <= count; i += 8) {
    std::uint64_t eight;
    std::memcpy(&eight, digits + i, 8);
    // Each byte 0x30..0x39: its high nibble 3, and still 3 once 6 is added to its low nibble.
    if ((eight & kHigh) != kAsciiZeros || ((eight + 0x0606060606060606) & kHigh) != kAsciiZeros) return false;
    bits |= eight & ~kHigh;
    eight |= kHigh;
    std::memcpy(out + i, &eight, 8);
  }
  for (; i < count; ++i) {
    const unsigned digit = static_cast<unsigned char>(digits[i]) - unsigned{'0'};
    if (digit > 9) return false;
    bits |= digit;
    out[i] = static_cast<std::uint8_t>(0xF0 | digit);
  }
  nonZero = bits != 0 ? 1u : 0u;
  return true;
}

// A component number as most are written: an optional "-" and digits that fit the field, in one pass.
// Others (blanks, a "+", a sign behind, separators, an exponent) are the builder's.
bool writeComponentNumber(const Steps& plan, const Step& step, std::string_view value, std::uint8_t* out) noexcept {
  const char* digits = value.data();
  std::size_t count = value.size();
  const bool negative = count > 0 && digits[0] == '-';
  if (negative) {
    if (!plan.convertSign) return false;
    ++digits;
    --count;
  }
  // The builder keeps leading zeros within the width; more characters than that are a cut to look at.
  if (count == 0 || count > step.length) return false;
  if (step.kernel == Kernel::componentZoned) {
    const std::size_t pad = step.bytes - count;
    for (std::size_t i = 0; i < pad; ++i) out[i] = 0xF0;
    unsigned nonZero = 0;
    if (!copyZonedDigits(digits, count, out + pad, nonZero)) return false;
    // The zoned encoder is given the value's exact text, which is "0" for a negative zero.
    if (negative && nonZero != 0) out[step.bytes - 1] = static_cast<std::uint8_t>(0xD0 | (out[step.bytes - 1] & 0x0F));
    return true;
  }
  std::size_t first = 0;
  while (first < count && digits[first] == '0') ++first;
  for (std::size_t i = first; i < count; ++i)
    if (static_cast<unsigned char>(digits[i]) - unsigned{'0'} > 9) return false;
  if (count - first > step.capacity) return false;
  // The packed encoder is given the formatted text, whose "-" makes even a zero negative.
  writePackedDigits(digits + first, count - first, plan.convertSign ? (negative ? 0xD : 0xC) : -1, step.bytes, out);
  return true;
}

// A typed number (zoned, packed, binary): a plain number scaled to the field's places.
bool writeTypedNumber(const Steps& plan, const Step& step, std::string_view value, std::uint8_t* out) noexcept {
  PlainNumber number;
  if (!readPlainNumber(value, plan.decimal, number)) return false;
  // Typed numbers hold at most 31 digits, scaled.
  char digits[2 * kMaxDecimalDigits + 2];
  std::size_t count = 0;
  if (!scaledDigits(number, step.scale, digits, count)) return false;
  if (number.negative && !step.isSigned) return false;
  if (count > step.capacity) return false;
  const bool zero = count == 0;
  switch (step.kernel) {
    case Kernel::zoned:
      writeZonedDigits(digits, count, number.negative && !zero, step.bytes, out);
      return true;
    case Kernel::packed:
      writePackedDigits(digits, count, step.isSigned ? (number.negative && !zero ? 0xD : 0xC) : 0xF, step.bytes, out);
      return true;
    default: {
      std::uint64_t magnitude = 0;
      for (std::size_t i = 0; i < count; ++i) magnitude = magnitude * 10 + static_cast<unsigned>(digits[i] - '0');
      const std::uint64_t bits = number.negative ? ~magnitude + 1 : magnitude;
      for (std::uint32_t i = 0; i < step.bytes; ++i)
        out[i] = static_cast<std::uint8_t>(bits >> (8 * (step.bytes - 1 - i)));
      return true;
    }
  }
}

}  // namespace

struct EncodePlan::Steps : Plan {};

EncodePlan::EncodePlan(const Layout& layout, const RecordOptions& options, const PlanTables& tables,
                       TextEncoding encoding) {
  const bool convertSign = options.convertSign;
  if (tables.data().text.empty()) throw Error(errors::kInvalidCall, "the plan tables were made for decode plans only");
  steps_ = base::guarded([&] {
    auto plan = std::make_unique<Steps>(Steps{Plan{{}, {}, tables}});
    plan->forms = &plan->tables.data();
    plan->convertSign = convertSign;
    plan->input = encoding;
    plan->decimal = number_text::localeSeparators().decimal;
    std::uint32_t column = 0;
    for (const LayoutField& field : layout.fields) {
      if (field.role == FieldRole::overlay) continue;
      Step step{Kernel::text, field.kind == FieldKind::component, static_cast<std::uint32_t>(field.offset),
                static_cast<std::uint32_t>(field.size), static_cast<std::uint32_t>(field.length), column, 0,
                field.scale, field.isSigned};
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
              step.capacity = step.length;
              break;
            default:
              step.kernel = Kernel::componentPacked;
              step.capacity = static_cast<std::uint32_t>(record::digitCapacity(field, convertSign));
              break;
          }
          break;
        case FieldKind::text:
          step.kernel = Kernel::text;
          break;
        case FieldKind::national:
          step.kernel = Kernel::national;
          break;
        case FieldKind::zoned:
          step.kernel = Kernel::zoned;
          step.capacity = step.length;
          break;
        case FieldKind::packed:
          step.kernel = Kernel::packed;
          step.capacity = step.length;
          break;
        case FieldKind::binary:
          step.kernel = Kernel::binary;
          step.capacity = step.length;
          break;
        case FieldKind::filler:
          break;
      }
      if (field.role == FieldRole::constant) {
        // Its bytes never change: the builder writes them once here.
        RecordBuilder builder(Layout{{field}, field.size}, options, plan->forms->gaiji);
        ByteString bytes;
        builder.append({}, bytes);
        step.kernel = Kernel::constant;
        step.column = static_cast<std::uint32_t>(plan->constants.size());
        plan->constants.insert(plan->constants.end(), bytes.begin(), bytes.end());
      } else {
        ++column;
      }
      plan->steps.push_back(step);
    }
    plan->columns = column;
    return std::unique_ptr<const Steps>(std::move(plan));
  });
}

EncodePlan::~EncodePlan() = default;
EncodePlan::EncodePlan(EncodePlan&&) noexcept = default;
EncodePlan& EncodePlan::operator=(EncodePlan&&) noexcept = default;

bool EncodePlan::encode(std::span<const std::string_view> values, std::uint8_t* record) const noexcept {
  const Steps& plan = *steps_;
  if (values.size() != plan.columns) return false;
  const bool utf8 = plan.input == TextEncoding::utf8;
  const record::PlanTableData& forms = *plan.forms;
  for (const Step& step : plan.steps) {
    std::uint8_t* const out = record + step.offset;
    switch (step.kernel) {
      case Kernel::text:
        if (!(utf8 ? writeCharacters<TextEncoding::utf8, 1>(forms.text.data(), forms.blank, step, values[step.column], out)
                   : writeCharacters<TextEncoding::cp932, 1>(forms.text.data(), forms.blank, step, values[step.column],
                                                          out)))
          return false;
        break;
      case Kernel::national:
        if (!(utf8 ? writeCharacters<TextEncoding::utf8, 2>(forms.jef.data(), forms.pad, step, values[step.column], out)
                   : writeCharacters<TextEncoding::cp932, 2>(forms.jef.data(), forms.pad, step, values[step.column],
                                                          out)))
          return false;
        break;
      case Kernel::constant:
        std::memcpy(out, plan.constants.data() + step.column, step.bytes);
        break;
      case Kernel::componentZoned:
      case Kernel::componentPacked:
        if (!writeComponentNumber(plan, step, values[step.column], out)) return false;
        break;
      default:
        if (!writeTypedNumber(plan, step, values[step.column], out)) return false;
        break;
    }
  }
  return true;
}

}  // namespace quor
