// What the values of a column are once read back: the kind, digits and scale a decoded text has.

#include "quor/column_values.hpp"

#include "record/field_kind.hpp"

namespace quor {

ColumnValues columnValues(const LayoutField& field, const RecordOptions& options) {
  switch (record::writtenKind(field)) {
    case FieldKind::zoned:
    case FieldKind::packed:
    case FieldKind::binary: {
      const std::int32_t scale = field.kind == FieldKind::component ? 0 : field.scale;
      return {scale > 0 ? ValueKind::decimal : ValueKind::integer, record::digitCapacity(field, options.convertSign),
              scale};
    }
    case FieldKind::component:
    case FieldKind::text:
    case FieldKind::national:
    case FieldKind::filler:
      break;
  }
  return {};
}

}  // namespace quor
