#pragma once
// The field formatter: brings the value of one record field into the shape its encoder expects.
// Numbers get leading zeros (or keep their rightmost digits), single-byte text gets trailing blanks (or
// keeps its first characters), double-byte text is made full width and filled with ideographic spaces
// (or cut). A value that fails its rule, and a format without a rule, become the empty text. It never
// fails, and it is where the record builder learns how a value is written other than it reads.

#include <cstdint>
#include <string>
#include <string_view>

#include "quor/record.hpp"
#include "text/padded_text.hpp"

namespace quor::record {

// The formatted value of `value` in a field of `length` characters and format code `format`, numbers
// written with a sign when `sign` is set. The text is a view of `value` or of `storage`, valid while
// both are. When `change` is not null it receives how the value will be written other than it reads
// (Change::none when the formatter writes it as it stands; the encoders may find more).
text::PaddedText formatField(std::u16string_view value, std::int32_t length, std::int32_t format, bool sign,
                             std::u16string& storage, ValueChange* change);

}  // namespace quor::record
