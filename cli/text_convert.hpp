#pragma once
// Small conversions between the tool's UTF-8 world (arguments, file names, messages) and the
// library's UTF-16 texts.

#include <cstddef>
#include <string>
#include <string_view>

namespace quor::cli {

// UTF-8 to UTF-16. Throws UsageError naming `what` for text that is not valid UTF-8.
std::u16string toUtf16(std::string_view text, std::string_view what);

}  // namespace quor::cli
