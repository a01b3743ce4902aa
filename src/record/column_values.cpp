// What the values of a column are once read back: the kind, digits and scale a decoded text has.

#include "quor/column_values.hpp"

#include "record/field_kind.hpp"

namespace quor {

ColumnValues columnValues(const LayoutField& field, const RecordOptions& options) {
  switch (record::writtenKind(field)) {
    case FieldKind::zoned:
    case FieldKind::packed:
    case FieldKind::binary: {
      // Leading zeros kept make the value a text of the picture's width.
      if (record::keepsZeros(field, options)) break;
      const std::int32_t scale = field.kind == FieldKind::component ? 0 : field.scale;
      const std::size_t digits = record::digitCapacity(field, options.convertSign);
      // Decimal scaling: PIC 9(3)PPP reads as a whole number of 6 digits, PIC VPP9(3) as 5 places.
      if (scale < 0) return {ValueKind::integer, digits + static_cast<std::size_t>(-scale), 0};
      if (scale > field.length) return {ValueKind::decimal, static_cast<std::size_t>(scale), scale};
      return {scale > 0 ? ValueKind::decimal : ValueKind::integer, digits, scale};
    }
    // A float's shortest text and an edited picture's value are kept as read: texts.
    case FieldKind::component:
    case FieldKind::text:
    case FieldKind::national:
    case FieldKind::filler:
    case FieldKind::float4:
    case FieldKind::float8:
    case FieldKind::edited:
    case FieldKind::editedText:
      break;
  }
  return {};
}

}  // namespace quor
