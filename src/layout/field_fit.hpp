#pragma once
// Whether a component field's encoder can write it at all.

#include <string>

#include "quor/layout.hpp"

namespace quor::layout {

// Why a component number field is longer than its encoder can ever fill (zoned digits, packed
// nibbles), or nothing: "length 32767 is too long for a zoned field (at most 32766)".
std::string fitProblem(const LayoutField& field);

}  // namespace quor::layout
