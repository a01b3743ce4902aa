#pragma once
// Reading the gaiji mapping file: its bytes, in code page 932.

#include <optional>
#include <string>
#include <string_view>

namespace quor::character {

// The whole content of the file at `path`, or nothing when the file cannot be opened. A read that
// fails in the middle of the file ends the reading: the content then stops after the last line end
// read before the failure, so no line is seen cut short.
std::optional<std::string> readGaijiBytes(std::u16string_view path);

}  // namespace quor::character
