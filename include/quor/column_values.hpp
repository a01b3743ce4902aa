#pragma once
// What the values of a column are once RecordDecoder has read them, for callers that hold them as
// typed values rather than texts (the Python package's columns): text, a whole number, or a decimal
// number with places after its point.

#include <cstddef>
#include <cstdint>

#include "quor/layout.hpp"
#include "quor/record.hpp"

namespace quor {

enum class ValueKind : std::uint8_t {
  text,     // text and national fields: any text
  integer,  // numbers without places: "-123", at most `digits` digits and a sign
  decimal,  // numbers with `scale` places: "-1.50", at most `digits` digits in all
};

struct ColumnValues {
  ValueKind kind = ValueKind::text;
  std::size_t digits = 0;  // numbers: the most digits a value read back has
  std::int32_t scale = 0;  // decimal: the places after the point, always written
};

// The values of `field` (a column of a layout) read back with `options`: a component number field is
// an integer of the digits its bytes hold, a typed one an integer, or a decimal when it has a scale
// (decimal scaling counted: PIC 9(3)PPP an integer of 6 digits, PIC VPP9(3) a decimal of 5 places).
// Floats, edited pictures and numbers read with their zeros kept are texts, exactly as read.
ColumnValues columnValues(const LayoutField& field, const RecordOptions& options);

}  // namespace quor
