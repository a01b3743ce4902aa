#pragma once
// Where and why a field's bytes are no valid data: what a decoder reports instead of a value.

#include <cstddef>

namespace quor::base {

struct DecodeFault {
  std::size_t offset = 0;      // the first byte concerned, from the start of the field
  std::size_t length = 1;      // the bytes concerned
  const char* reason = "";     // what is wrong, in words: "digit nibble above 9"
};

}  // namespace quor::base
