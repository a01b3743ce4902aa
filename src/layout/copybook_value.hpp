#pragma once
// The bytes a copybook's VALUE clause gives an item that takes no value of its own (a FILLER), written
// as the item's kind writes them.

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

// The bytes of `field` (a text, national, zoned, packed or binary field; its size set) holding the
// value of `clause`: text padded with blanks, national text with ideographic spaces, a number exact to
// the field's digits and scale; ALL and the figurative constants (SPACE, ZERO, QUOTE, LOW-VALUE,
// HIGH-VALUE) fill the field. Empty, with `problem` saying why, when the field cannot hold the value as
// written: too long, a character without a single-byte (or JEF) form, more digits or decimal places
// than the field, a sign in an unsigned field, a literal of a class the field does not take.
std::vector<std::uint8_t> valueBytes(const LayoutField& field, const ValueClause& clause, std::string& problem);

// The bytes of a group of `size` bytes holding `clause`, as an alphanumeric item of that size holds it.
std::vector<std::uint8_t> groupValueBytes(std::size_t size, const ValueClause& clause, std::string& problem);

}  // namespace quor::layout
