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

// Why a constant's own bytes cannot stand in for it, or nothing.
std::string constantProblem(const LayoutField& field) {
  if (!field.constantText.empty()) {
    if (field.role != FieldRole::constant || (field.kind != FieldKind::text && field.kind != FieldKind::national))
      return "only a text or national constant has a text of its own (constantText)";
    if (!field.constantBytes.empty()) return "a constant has bytes or a text of its own, not both";
  }
  if (field.constantBytes.empty()) return {};
  if (field.role != FieldRole::constant)
    return "only a constant has bytes of its own (constantBytes); this field's role is not constant";
  if (field.constantBytes.size() == field.size) return {};
  return std::to_string(field.constantBytes.size()) + " constant bytes for a field of " + std::to_string(field.size);
}

bool isWholeNumberColumn(const LayoutField& field) {
  return field.role == FieldRole::column && field.scale == 0 &&
         (field.kind == FieldKind::zoned || field.kind == FieldKind::packed || field.kind == FieldKind::binary);
}

// The innermost element of a varying table a field belongs to: the table's index + 1 (0: none) and the
// element.
struct Element {
  std::size_t table = 0;
  std::size_t element = 0;
  friend bool operator==(const Element&, const Element&) = default;
};

// Checks the varying tables of a layout whose fields are finished, and returns each field's innermost
// element. `refuse(i, problem)` names field i.
template <class Refuse>
std::vector<Element> checkTables(const Layout& layout, Refuse&& refuse) {
  const std::vector<LayoutField>& fields = layout.fields;
  const std::size_t count = fields.size();
  if (layout.tables.size() > count) refuse(0, "more varying tables than fields");
  std::size_t firstOfAll = count;
  for (const VaryingTable& table : layout.tables) firstOfAll = std::min(firstOfAll, table.first);
  for (std::size_t t = 0; t < layout.tables.size(); ++t) {
    const VaryingTable& table = layout.tables[t];
    const std::string name = "varying table " + std::to_string(t + 1) + (table.name.empty() ? "" : " (" + table.name + ")");
    const std::size_t at = std::min(table.first, count - 1);
    if (table.width == 0 || table.most == 0 || table.first >= count || table.most > (count - table.first) / table.width)
      refuse(at, name + ": its " + std::to_string(table.most) + " elements of " + std::to_string(table.width) +
                     " fields from field " + std::to_string(table.first + 1) + " lie beyond the layout's " +
                     std::to_string(count) + " fields");
    if (table.least > table.most)
      refuse(at, name + ": its fewest elements (" + std::to_string(table.least) + ") are more than its most (" +
                     std::to_string(table.most) + ")");
    if (t > 0 && table.first < layout.tables[t - 1].first)
      refuse(at, name + " is listed after a table that starts later: tables are listed in order of their first fields");
    if (table.counter >= firstOfAll)
      refuse(at, name + ": its counter (field " + std::to_string(table.counter + 1) +
                     ") must come before every varying table, so a record's length can be read from its start");
    if (!isWholeNumberColumn(fields[table.counter]))
      refuse(table.counter, "the counter of " + name +
                                " must be a column of whole numbers (zoned, packed or binary, scale 0)");
    for (std::size_t k = 1; k < table.most; ++k)
      for (std::size_t j = 0; j < table.width; ++j) {
        const LayoutField& field = fields[table.first + k * table.width + j];
        const LayoutField& model = fields[table.first + j];
        if (field.size != model.size || field.role != model.role)
          refuse(table.first + k * table.width + j,
                 name + ": element " + std::to_string(k + 1) + " differs from element 1 in this field's size or role");
      }
  }
  // Each field's innermost element, the tables nested one within an element of another.
  std::vector<Element> elements(count);
  std::vector<std::size_t> open;  // tables holding the field at hand, outermost first
  std::size_t next = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const auto end = [&](std::size_t t) { return layout.tables[t].first + layout.tables[t].most * layout.tables[t].width; };
    while (!open.empty() && end(open.back()) <= i) open.pop_back();
    for (; next < layout.tables.size() && layout.tables[next].first == i; ++next) {
      if (!open.empty()) {
        const VaryingTable& outer = layout.tables[open.back()];
        const std::size_t last = end(next) - 1;
        if (end(next) > end(open.back()) || (i - outer.first) / outer.width != (last - outer.first) / outer.width)
          refuse(i, "varying table " + std::to_string(next + 1) + " overlaps varying table " +
                        std::to_string(open.back() + 1) + " other than by lying within one of its elements");
      }
      open.push_back(next);
    }
    if (!open.empty())
      elements[i] = {open.back() + 1, (i - layout.tables[open.back()].first) / layout.tables[open.back()].width};
  }
  // An overlay reads the bytes of fields in its own element: a count that leaves one out leaves the other.
  std::vector<std::size_t> laid;  // the fields that are no overlays, in order
  for (std::size_t i = 0; i < count; ++i)
    if (fields[i].role != FieldRole::overlay) laid.push_back(i);
  std::vector<std::size_t> runEnd(laid.size());  // the last of the laid fields from each on in the same element
  for (std::size_t k = laid.size(); k-- > 0;)
    runEnd[k] = k + 1 < laid.size() && elements[laid[k]] == elements[laid[k + 1]] ? runEnd[k + 1] : k;
  for (std::size_t i = 0; i < count; ++i) {
    const LayoutField& field = fields[i];
    if (field.role != FieldRole::overlay) continue;
    const auto after = std::upper_bound(laid.begin(), laid.end(), field.offset,
                                        [&](std::size_t offset, std::size_t f) { return offset < fields[f].offset + fields[f].size; });
    const auto stop = std::lower_bound(laid.begin(), laid.end(), field.offset + field.size,
                                       [&](std::size_t f, std::size_t end) { return fields[f].offset < end; });
    if (after == laid.end() || after >= stop) continue;
    const auto from = static_cast<std::size_t>(after - laid.begin());
    const auto to = static_cast<std::size_t>(stop - laid.begin()) - 1;
    if (!(elements[laid[from]] == elements[i]) || runEnd[from] < to)
      refuse(i, "an overlay must lie on fields of its own element of a varying table (or, outside every table, on "
                "fields outside every table): a count would leave out the one and not the other");
  }
  return elements;
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
      if (std::string problem = constantProblem(field); !problem.empty()) refuse(i, problem);
      if (field.role == FieldRole::overlay) {
        if (std::string problem = overlayProblem(field, offset); !problem.empty()) refuse(i, problem);
        continue;
      }
      if (field.size > base::kMaxResultBytes - offset) refuse(i, recordCapProblem());
      field.offset = offset;
      offset += field.size;
    }
    layout.recordLength = offset;
    layout.shortestLength = offset;
    if (!layout.varies()) return;
    if (layout.fields.empty()) throw Error(errors::kInvalidCall, "a layout without fields has no varying tables");
    checkTables(layout, refuse);
    // Tables counted by one field hold one count: the fewest all of them can hold.
    std::vector<std::size_t> fewest;
    for (const VaryingTable& table : layout.tables) {
      std::size_t least = table.least;
      std::size_t most = table.most;
      for (const VaryingTable& other : layout.tables)
        if (other.counter == table.counter) {
          least = std::max(least, other.least);
          most = std::min(most, other.most);
        }
      if (least > most)
        refuse(table.counter, "the varying tables this field counts have no count in common (" +
                                  std::to_string(table.least) + " to " + std::to_string(table.most) + " and " +
                                  std::to_string(least) + " to " + std::to_string(most) + ")");
      fewest.push_back(least);
    }
    std::vector<std::size_t> offsets;
    layout.shortestLength = placeFields(layout, fewest, offsets);
  });
}

std::size_t placeFields(const Layout& layout, std::span<const std::size_t> counts, std::vector<std::size_t>& offsets) {
  return base::guarded([&] {
    const std::vector<LayoutField>& fields = layout.fields;
    if (counts.size() != layout.tables.size()) throw Error(errors::kSubscript);
    offsets.assign(fields.size(), 0);
    for (std::size_t t = 0; t < counts.size(); ++t) {
      const VaryingTable& table = layout.tables[t];
      if (counts[t] < table.least || counts[t] > table.most) throw Error(errors::kSubscript);
      std::fill(offsets.begin() + static_cast<std::ptrdiff_t>(table.first + counts[t] * table.width),
                offsets.begin() + static_cast<std::ptrdiff_t>(table.first + table.most * table.width), kAbsentField);
    }
    // The bytes left out before each point of the longest record, for the overlays: (end, bytes), the
    // ends rising.
    std::vector<std::pair<std::size_t, std::size_t>> gaps;
    std::size_t left = 0;
    std::size_t at = 0;
    for (std::size_t i = 0; i < fields.size(); ++i) {
      const LayoutField& field = fields[i];
      const bool overlay = field.role == FieldRole::overlay;
      if (offsets[i] == kAbsentField) {
        if (overlay) continue;
        left += field.size;
        if (!gaps.empty() && gaps.back().first == field.offset)
          gaps.back() = {field.offset + field.size, left};
        else
          gaps.emplace_back(field.offset + field.size, left);
      } else if (overlay) {
        // Its bytes are those of present fields, all in one element (finishLayout): they moved up by the
        // bytes left out before them.
        const auto gap = std::upper_bound(gaps.begin(), gaps.end(), field.offset,
                                          [](std::size_t offset, const auto& g) { return offset < g.first; });
        offsets[i] = field.offset - (gap == gaps.begin() ? 0 : std::prev(gap)->second);
      } else {
        offsets[i] = at;
        at += field.size;
      }
    }
    return at;
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
