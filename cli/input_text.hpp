#pragma once
// The text of one input line in the encoding the user named: UTF-8 (the default) or code page 932,
// the encoding of CSV files saved by Japanese Windows programs.

#include <string>
#include <string_view>

#include "utf8.hpp"

namespace quor::cli {

enum class InputEncoding { utf8, cp932 };

// Decodes one line (without its line end) into `out`, reusing its storage. On an invalid byte
// sequence the result is not ok and names the byte offset where it starts; `out` is then unspecified.
DecodeResult decodeLine(std::string_view bytes, InputEncoding encoding, std::u16string& out);

// Code page 932 bytes to UTF-16 as Windows reads them (0x8160 is U+FF5E), except that a byte or pair
// without a character is an error here instead of a substitute: such a line is not trusted as data.
DecodeResult decodeCp932(std::string_view bytes, char16_t* out) noexcept;

}  // namespace quor::cli
