#pragma once
// Reading the gaiji mapping file: its bytes, in code page 932, as one UTF-16 text.

#include <optional>
#include <string>
#include <string_view>

namespace quor::character {

// The whole text of the file at `path`, decoded from code page 932 (line ends kept as they stand), or
// nothing when the file cannot be opened. A read that fails in the middle of the file ends the reading:
// the text then stops after the last line end read before the failure, so no line is seen cut short.
std::optional<std::u16string> readGaijiText(std::u16string_view path);

}  // namespace quor::character
