#pragma once
// What a copybook's VALUE clause gives an item that takes no value of its own (a FILLER): bytes as the
// item's kind writes them, or characters the record builder writes on the run's host page.

#include <cstdint>
#include <string>
#include <vector>

#include "quor/layout.hpp"

namespace quor::layout {

// A VALUE clause's operand: literals and figurative constants as written ("'AB'", "X'00'", "SPACES",
// "-12.5"), more than one when joined by &; `all` when ALL comes before them.
struct ValueClause {
  bool all = false;
  std::vector<std::string> parts;
  std::size_t line = 0;
};

// What a VALUE clause gives an item: its bytes, or, for text and national items given characters, its
// text (written on the run's host page by the record builder, which also pads it).
struct ConstantValue {
  std::vector<std::uint8_t> bytes;
  std::u16string text;
};

// The value of `clause` in `field` (a text, national, zoned, packed or binary field; its size set):
// characters of alphanumeric and national literals as text (ALL repeating them, SPACE, ZERO and QUOTE
// filling the item), hexadecimal literals as their bytes (in a text item padded with blanks, 0x40),
// LOW-VALUE and HIGH-VALUE as 0x00 and 0xFF bytes, a number as the bytes of its kind exact to the
// field's digits and scale. Nothing, with `problem` saying why, when the item cannot hold the value as
// written: more characters or bytes than the item, more digits or decimal places, a sign in an
// unsigned item, a literal of a class the item does not take, text joined with hexadecimal.
ConstantValue valueOf(const LayoutField& field, const ValueClause& clause, std::string& problem);

// The value of a group of `size` bytes holding `clause`, as an alphanumeric item of that size holds it:
// a literal's characters, padded with blanks to one a byte, as text; the rest as valueOf gives them.
ConstantValue groupValueOf(std::size_t size, const ValueClause& clause, std::string& problem);

}  // namespace quor::layout
