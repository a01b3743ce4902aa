#pragma once
// Text forms at the edges of the library: UTF-8 and code page 932 bytes read into UTF-16, and UTF-16
// written as UTF-8. The readers are strict: a byte sequence without a character is an error, never
// guessed at, so a line that is not valid text is not taken as data.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quor {

// The bytes texts are held in outside the library, read from and written to: UTF-8, or code page 932
// (Shift-JIS as Windows writes it). Every reader and writer of the library takes this one choice.
enum class TextEncoding : std::uint8_t { utf8, cp932 };

// What a reader made of its bytes.
struct TextDecodeResult {
  std::size_t length = 0;       // UTF-16 units written
  std::size_t errorOffset = 0;  // byte offset of the first invalid sequence, when !ok
  bool ok = true;
};

// UTF-8 to UTF-16 into `out`, which must have room for bytes.size() units (UTF-16 never needs more
// units than UTF-8 has bytes). Stops at the first invalid sequence: an overlong form, a surrogate, a
// value above U+10FFFF, a stray or missing continuation byte. ASCII runs are copied eight bytes at a
// time.
TextDecodeResult decodeUtf8(std::string_view bytes, char16_t* out) noexcept;

// Code page 932 (Windows Shift-JIS) to UTF-16 into `out` (room for bytes.size() units), as Windows
// reads it (0x8160 is U+FF5E, 0x5C is "\"), except that a byte or byte pair without a character stops
// the reading instead of becoming a substitute.
TextDecodeResult decodeCp932(std::string_view bytes, char16_t* out) noexcept;

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD. Throws quor::Error 7 when memory runs out.
std::string toUtf8(std::u16string_view text);

// A character of the private use area (U+E000..U+F8FF), where sites put their user-defined characters
// (gaiji).
constexpr bool isUserDefined(char32_t c) noexcept {
  return c >= 0xE000 && c <= 0xF8FF;
}

// The items of a comma-separated list as the component's list operations cut it: at every ",", items
// taken as they stand (no trimming, no quoting), the empty text a list of no items, "A,,B" three
// items. Views into `list`; the forms with `items` put them there (emptied first, its storage reused).
// Throws quor::Error 7 when memory runs out.
std::vector<std::u16string_view> listItems(std::u16string_view list);
void listItems(std::u16string_view list, std::vector<std::u16string_view>& items);
void listItems(std::string_view list, std::vector<std::string_view>& items);
// The same with at most `most` items kept; returns the number of items the list has.
std::size_t listItems(std::string_view list, std::vector<std::string_view>& items, std::size_t most);

// Appends `text` as code page 932 bytes, as Windows writes it (best fit included); a character without
// any form becomes "?". Returns the number of characters written as another character. Throws
// quor::Error 7 when memory runs out.
std::size_t appendCp932(std::u16string_view text, std::string& out);

}  // namespace quor
