// What a layout knows of its fields: their sizes, offsets and columns.

#include <algorithm>

#include "base/api_guard.hpp"
#include "base/limits.hpp"
#include "layout/field_fit.hpp"
#include "numeric/binary.hpp"
#include "numeric/edited.hpp"
#include "numeric/packed.hpp"
#include "quor/error.hpp"
#include "quor/layout.hpp"

namespace quor {

static_assert(kMaxLayoutFieldLength == base::kInt16Max);

namespace layout {

// A numeric field longer than its encoder can ever fill could never be encoded, so a layout refuses it
// rather than every record.
std::string fitProblem(const LayoutField& field) {
  if (field.kind != FieldKind::component) return {};
  const bool zoned = field.format == setNumeric;
  if (!zoned && field.format != setPackNumeric) return {};
  const std::int32_t most = zoned ? base::kMaxZonedWidth : base::kMaxPackedNibbles;
  if (field.length <= most) return {};
  return "length " + std::to_string(field.length) + " is too long for a " + (zoned ? "zoned" : "packed") +
         " field (at most " + std::to_string(most) + ")";
}

}  // namespace layout

namespace {

std::string nameOf(const LayoutField& field, std::size_t index) {
  std::string text = field.origin.empty() ? std::string() : field.origin + ": ";
  text += "field " + std::to_string(index + 1);
  if (!field.name.empty()) text += " (" + field.name + ")";
  return text;
}

// Why no encoder can write the field's kind, length and scale, or nothing.
std::string sizeProblem(const LayoutField& field) {
  const auto between = [](std::int32_t value, std::int32_t low, std::int32_t high) {
    return value >= low && value <= high;
  };
  switch (field.kind) {
    case FieldKind::component:
    case FieldKind::text:
    case FieldKind::national:
    case FieldKind::filler:
      if (!between(field.length, 1, kMaxLayoutFieldLength))
        return "length " + std::to_string(field.length) + " is not from 1 to " + std::to_string(kMaxLayoutFieldLength);
      if (field.kind == FieldKind::component && !between(field.format, setNumeric, setPackNumeric))
        return "format code " + std::to_string(field.format) + " is not 0..3";
      return layout::fitProblem(field);
    case FieldKind::zoned:
    case FieldKind::packed:
    case FieldKind::binary: {
      const std::int32_t most = field.kind == FieldKind::binary ? kMaxBinaryDigits : kMaxDecimalDigits;
      if (!between(field.length, 1, most))
        return std::to_string(field.length) + " digits: a " +
               (field.kind == FieldKind::zoned ? "zoned" : field.kind == FieldKind::packed ? "packed" : "binary") +
               " field holds 1 to " + std::to_string(most);
      // Decimal scaling (P) places the digits at most kMaxDecimalDigits places beyond either end.
      if (!between(field.scale, -kMaxDecimalDigits, field.length + kMaxDecimalDigits))
        return "scale " + std::to_string(field.scale) + " is not from -" + std::to_string(kMaxDecimalDigits) +
               " to " + std::to_string(field.length + kMaxDecimalDigits) + " (the digits and " +
               std::to_string(kMaxDecimalDigits) + " places of decimal scaling)";
      return {};
    }
    case FieldKind::float4:
    case FieldKind::float8:
      if (field.scale != 0) return "a float field has no scale";
      return {};
    case FieldKind::edited:
    case FieldKind::editedText: {
      if (field.scale != 0) return "an edited field takes its scale from its picture";
      std::string problem;
      const auto picture = numeric::readEditedPicture(field.picture, problem);
      if (!picture)
        return "picture '" + field.picture + "' is no edited picture" + (problem.empty() ? "" : ": " + problem);
      if (picture->numeric != (field.kind == FieldKind::edited))
        return "picture '" + field.picture + "' is " + (picture->numeric ? "numeric" : "alphanumeric") +
               "-edited, not " + (picture->numeric ? "alphanumeric" : "numeric") + "-edited";
      if (field.length != static_cast<std::int32_t>(picture->positions.size()))
        return "length " + std::to_string(field.length) + " is not the " +
               std::to_string(picture->positions.size()) + " characters of picture '" + field.picture + "'";
      return {};
    }
  }
  return "kind " + std::to_string(static_cast<int>(field.kind)) + " is no field kind";
}

// Why the field's attributes do not fit its kind, or nothing: each is refused on a kind it does not
// apply to, since the maker meant something the field would not do.
std::string attributeProblem(const LayoutField& field) {
  const bool zoned = field.kind == FieldKind::zoned;
  if (field.sign != SignPlacement::trailing) {
    if (static_cast<unsigned>(field.sign) > static_cast<unsigned>(SignPlacement::leadingSeparate))
      return "sign placement " + std::to_string(static_cast<int>(field.sign)) + " is no sign placement";
    if (!zoned || !field.isSigned) return "a sign placement is for signed zoned fields only";
  }
  if (field.positiveZone != kPositiveZoneC && field.positiveZone != kPositiveZoneF)
    return "positive zone " + std::to_string(field.positiveZone) + " is not C or F";
  if (field.range != BinaryRange::digits) {
    if (field.range != BinaryRange::full) return "binary range " + std::to_string(static_cast<int>(field.range)) + " is no range";
    if (field.kind != FieldKind::binary) return "a full binary range is for binary fields only";
  }
  if (field.floatFormat != FloatFormat::hexadecimal && field.floatFormat != FloatFormat::ieee)
    return "float format " + std::to_string(static_cast<int>(field.floatFormat)) + " is no float format";
  if (field.justifiedRight && field.kind != FieldKind::text && field.kind != FieldKind::national)
    return "JUSTIFIED RIGHT is for text and national fields only";
  if (field.blankWhenZero && !zoned && field.kind != FieldKind::edited)
    return "BLANK WHEN ZERO is for zoned and numeric-edited fields only";
  if (!field.picture.empty() && field.kind != FieldKind::edited && field.kind != FieldKind::editedText)
    return "a picture is for edited fields only";
  return {};
}

std::string problemOf(const LayoutField& field) {
  std::string problem = sizeProblem(field);
  return problem.empty() ? attributeProblem(field) : problem;
}

// Why the field cannot take its role, or nothing. A filler is bytes of its own, so it takes no value
// and redefines nothing; a component field is written from a value by the component's rules, which
// have no value for a constant (a packed field of no value fails).
std::string roleProblem(const LayoutField& field) {
  switch (field.role) {
    case FieldRole::column:
    case FieldRole::overlay:
      if (field.kind == FieldKind::filler)
        return std::string("a filler takes no value and redefines nothing: its role must be constant, not ") +
               (field.role == FieldRole::column ? "column" : "overlay");
      return {};
    case FieldRole::constant:
      if (field.kind == FieldKind::component)
        return "a component field is written from a value: its role must be column or overlay, not constant";
      return {};
  }
  return "role " + std::to_string(static_cast<int>(field.role)) + " is no field role";
}

// Why an overlay does not lie within the `laid` bytes of the fields before it, or nothing.
std::string overlayProblem(const LayoutField& field, std::size_t laid) {
  if (laid == 0) return "an overlay before any field: there are no bytes to redefine";
  if (field.offset <= laid && field.size <= laid - field.offset) return {};
  return "an overlay of " + std::to_string(field.size) + (field.size == 1 ? " byte" : " bytes") +
         " at offset " + std::to_string(field.offset) + " lies beyond the " + std::to_string(laid) +
         " bytes of the fields before it";
}

std::string recordCapProblem() {
  return "the record would be longer than " + std::to_string(base::kMaxResultBytes) + " bytes (64 MiB)";
}

}  // namespace

std::size_t fieldSize(const LayoutField& field) {
  const auto length = static_cast<std::size_t>(std::max(field.length, 0));
  switch (field.kind) {
    case FieldKind::component:
      switch (field.format) {
        case setNCharacter:
          return 2 * length;
        case setPackNumeric:
          return numeric::packedBytes(length, numeric::PackedSign::none);
        default:
          return length;
      }
    case FieldKind::text:
    case FieldKind::filler:
      return length;
    case FieldKind::zoned:
      return length + (field.sign == SignPlacement::trailingSeparate || field.sign == SignPlacement::leadingSeparate ? 1 : 0);
    case FieldKind::national:
      return 2 * length;
    case FieldKind::packed:
      return numeric::packedBytes(length, field.isSigned ? numeric::PackedSign::signedCD : numeric::PackedSign::unsignedF);
    case FieldKind::binary:
      return numeric::binaryBytes(length);
    case FieldKind::float4:
      return 4;
    case FieldKind::float8:
      return 8;
    case FieldKind::edited:
    case FieldKind::editedText:
      return length;
  }
  return 0;
}

void finishLayout(Layout& layout) {
  base::guarded([&] {
    const auto refuse = [&](std::size_t i, const std::string& problem) {
      throw Error(errors::kInvalidCall, nameOf(layout.fields[i], i) + ": " + problem);
    };
    // Every size is at most 2 x kMaxLayoutFieldLength and `offset` stays within the cap, so no sum wraps.
    std::size_t offset = 0;
    for (std::size_t i = 0; i < layout.fields.size(); ++i) {
      LayoutField& field = layout.fields[i];
      if (std::string problem = problemOf(field); !problem.empty()) refuse(i, problem);
      if (std::string problem = roleProblem(field); !problem.empty()) refuse(i, problem);
      field.size = fieldSize(field);
      if (field.role == FieldRole::overlay) {
        if (std::string problem = overlayProblem(field, offset); !problem.empty()) refuse(i, problem);
        continue;
      }
      if (field.size > base::kMaxResultBytes - offset) refuse(i, recordCapProblem());
      field.offset = offset;
      offset += field.size;
    }
    layout.recordLength = offset;
  });
}

std::size_t columnsWithin(const Layout& layout, std::size_t bytes) {
  std::size_t count = 0;
  for (const LayoutField& field : layout.fields) {
    if (field.role != FieldRole::column) continue;
    if (field.offset + field.size > bytes) break;  // columns lie in order: the rest are further on
    ++count;
  }
  return count;
}

std::optional<std::size_t> fieldCutBy(const Layout& layout, std::size_t bytes) {
  for (std::size_t i = 0; i < layout.fields.size(); ++i) {
    const LayoutField& field = layout.fields[i];
    if (field.role != FieldRole::overlay && field.offset < bytes && bytes < field.offset + field.size)
      return i;
  }
  return std::nullopt;
}

std::vector<std::size_t> Layout::columns() const {
  return base::guarded([&] {
    std::vector<std::size_t> out;
    for (std::size_t i = 0; i < fields.size(); ++i)
      if (fields[i].role == FieldRole::column) out.push_back(i);
    return out;
  });
}

bool Layout::componentOnly() const {
  return std::all_of(fields.begin(), fields.end(), [](const LayoutField& field) {
    return field.kind == FieldKind::component && field.role == FieldRole::column;
  });
}

std::u16string Layout::lengthList() const {
  std::u16string list;
  for (const LayoutField& field : fields) {
    if (!list.empty()) list += u',';
    for (const char c : std::to_string(field.length)) list += static_cast<char16_t>(c);
  }
  return list;
}

std::u16string Layout::formatList() const {
  std::u16string list;
  for (const LayoutField& field : fields) {
    if (!list.empty()) list += u',';
    list += static_cast<char16_t>(u'0' + static_cast<int>(field.format));
  }
  return list;
}

std::vector<std::string> Layout::columnNames() const {
  return base::guarded([&] {
    std::vector<std::string> names;
    for (const LayoutField& field : fields) {
      if (field.role != FieldRole::column) continue;
      names.push_back(field.name.empty() ? "field " + std::to_string(names.size() + 1) : field.name);
    }
    return names;
  });
}

std::string Layout::describe(std::size_t index) const {
  std::size_t column = 0;
  for (std::size_t i = 0; i < index && i < fields.size(); ++i)
    if (fields[i].role == FieldRole::column) ++column;
  std::string text = "field " + std::to_string(column + 1);
  if (index < fields.size() && !fields[index].name.empty()) text += " (" + fields[index].name + ")";
  return text;
}

}  // namespace quor
