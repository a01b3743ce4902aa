#pragma once
// What a layout field is to the code that writes and reads it: the kind a component field's format
// code stands for, a packed field's sign nibble, and the digits a number field holds. The record
// builder's, the decoder's and the plans' one answer.

#include <algorithm>
#include <cstddef>
#include <string_view>

#include "numeric/packed.hpp"
#include "quor/layout.hpp"

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

// The sign nibble of a packed field: a component field's C/D with `convertSign` and none without, a
// typed field's C/D when signed and F when not.
inline numeric::PackedSign packedSignOf(const LayoutField& field, bool convertSign) noexcept {
  if (field.kind == FieldKind::component) return convertSign ? numeric::PackedSign::signedCD : numeric::PackedSign::none;
  return field.isSigned ? numeric::PackedSign::signedCD : numeric::PackedSign::unsignedF;
}

// The digits a number field holds: its length, or for a component packed field the fewer its bytes
// hold (an even length loses its lead digit to the sign nibble).
inline std::size_t digitCapacity(const LayoutField& field, bool convertSign) noexcept {
  const auto length = static_cast<std::size_t>(field.length);
  if (field.kind == FieldKind::component && field.format == setPackNumeric)
    return std::min(length, numeric::packedDigits(field.length, convertSign));
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
