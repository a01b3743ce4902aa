#pragma once
// What a layout field is to the code that writes and reads it: the kind a component field's format
// code stands for, a packed field's sign nibble, and the digits a number field holds. The record
// builder's, the decoder's and the plans' one answer.

#include <algorithm>
#include <cstddef>
#include <string_view>

#include "numeric/binary.hpp"
#include "numeric/floating.hpp"
#include "numeric/packed.hpp"
#include "numeric/zoned.hpp"
#include "quor/layout.hpp"
#include "quor/record.hpp"

namespace quor::record {

// The kind a field is written as: a component field's by its format code.
inline FieldKind writtenKind(const LayoutField& field) noexcept {
  if (field.kind != FieldKind::component) return field.kind;
  switch (field.format) {
    case setNumeric:
      return FieldKind::zoned;
    case setPackNumeric:
      return FieldKind::packed;
    case setNCharacter:
      return FieldKind::national;
    default:
      return FieldKind::text;
  }
}

inline bool isNumberKind(FieldKind kind) noexcept {
  return kind == FieldKind::zoned || kind == FieldKind::packed || kind == FieldKind::binary;
}

// Where a typed zoned field keeps its sign: nowhere when unsigned, else as its placement says.
inline numeric::ZonedSign zonedSignOf(const LayoutField& field) noexcept {
  if (!field.isSigned) return numeric::ZonedSign::none;
  switch (field.sign) {
    case SignPlacement::leading:
      return numeric::ZonedSign::leading;
    case SignPlacement::trailingSeparate:
      return numeric::ZonedSign::trailingSeparate;
    case SignPlacement::leadingSeparate:
      return numeric::ZonedSign::leadingSeparate;
    default:
      return numeric::ZonedSign::trailing;
  }
}

inline numeric::FloatEncoding floatEncodingOf(const LayoutField& field) noexcept {
  return field.floatFormat == FloatFormat::ieee ? numeric::FloatEncoding::ieee : numeric::FloatEncoding::hexadecimal;
}

// True for a typed number field whose scale is decimal scaling (P): below 0 or beyond its digits.
inline bool isDecimalScaled(const LayoutField& field) noexcept {
  return field.scale < 0 || field.scale > field.length;
}

// True when the decoder writes the field's value with the picture's width, leading zeros kept: an
// unsigned whole-number zoned, packed or binary field, when the options keep zeros.
inline bool keepsZeros(const LayoutField& field, const RecordOptions& options) noexcept {
  return options.keepZeros && !field.isSigned && field.scale <= 0 &&
         (field.kind == FieldKind::zoned || field.kind == FieldKind::packed || field.kind == FieldKind::binary);
}

// The width the decoder writes such a field's value with, leading zeros kept (0 for any other field):
// the picture's digits and those of its decimal scaling.
inline std::size_t keptZerosWidth(const LayoutField& field, const RecordOptions& options) noexcept {
  if (!keepsZeros(field, options)) return 0;
  return static_cast<std::size_t>(field.length) + static_cast<std::size_t>(-field.scale);
}

// True when the record plans write and read a column of this field as the builder and decoder do: all
// but edited pictures and JUSTIFIED RIGHT, which they decline (every record of such a layout is left to
// the builder and decoder).
inline bool planTakes(const LayoutField& field) noexcept {
  return field.kind != FieldKind::edited && field.kind != FieldKind::editedText && !field.justifiedRight;
}

// The sign nibble of a packed field: a component field's C/D with `convertSign` and none without, a
// typed field's C/D when signed and F when not.
inline numeric::PackedSign packedSignOf(const LayoutField& field, bool convertSign) noexcept {
  if (field.kind == FieldKind::component) return convertSign ? numeric::PackedSign::signedCD : numeric::PackedSign::none;
  return field.isSigned ? numeric::PackedSign::signedCD : numeric::PackedSign::unsignedF;
}

// The digits a number field holds: its length, or for a component packed field the fewer its bytes
// hold (an even length loses its lead digit to the sign nibble); a binary field of the full range
// whatever its bytes hold.
inline std::size_t digitCapacity(const LayoutField& field, bool convertSign) noexcept {
  const auto length = static_cast<std::size_t>(field.length);
  if (field.kind == FieldKind::component && field.format == setPackNumeric)
    return std::min(length, numeric::packedDigits(field.length, convertSign));
  if (field.kind == FieldKind::binary && field.range == BinaryRange::full) return numeric::kBinaryDigitsRoom;
  return length;
}

// True when number digits read from a field (ASCII, leading zeros allowed) hold more significant digits
// than the field's `capacity`: a digit where the encoder writes only a leading zero, such as the pad
// nibble of a packed field, is a value no encoder writes.
inline bool exceedsDigitCapacity(std::string_view digits, std::size_t capacity) noexcept {
  if (digits.size() <= capacity) return false;
  const std::size_t lead = digits.size() - capacity;
  for (std::size_t i = 0; i < lead; ++i)
    if (digits[i] != '0') return true;
  return false;
}

}  // namespace quor::record
