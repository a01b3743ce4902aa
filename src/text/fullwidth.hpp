#pragma once
// The full-width form of a text, as the field formatter fills double-byte fields.

#include <string>
#include <string_view>

namespace quor::text {

// Every character with a full-width counterpart replaced by it: U+0020 -> U+3000, U+0021..U+007E ->
// U+FF01..U+FF5E, the half-width katakana and punctuation U+FF61..U+FF9F -> their full-width forms.
// A half-width katakana followed by a half-width voiced (U+FF9E) or semi-voiced (U+FF9F) sound mark
// becomes the one precomposed katakana where code page 932 has one (U+FF76 U+FF9E -> U+30AC); a mark
// that cannot join becomes U+309B / U+309C. Everything else stays as it is.
std::u16string toFullWidth(std::u16string_view text);

// The same, appended to `out` (whose storage a caller may reuse from call to call).
void appendFullWidth(std::u16string_view text, std::u16string& out);

}  // namespace quor::text
